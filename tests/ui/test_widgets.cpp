#include "testsupport.h"
#include "ui/qttranslations.h"
#include "ui/widgets.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class TestWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gbkLimitCountsBytes();
    void refusesWhatTheBookCannotHold();
    void characterFilterActsOnTypingOnly();
    void enterMovesAlongTheTabOrder();
    void enterClicksTheDefaultButton();
    void qtOwnTextsAreChinese();
};

void TestWidgets::gbkLimitCountsBytes()
{
    QLineEdit edit;
    edit.setValidator(new GbkLengthValidator(8, &edit));
    typeText(&edit, QStringLiteral("工资奖金补贴"));
    QCOMPARE(edit.text(), QStringLiteral("工资奖金"));
    edit.clear();
    typeText(&edit, QStringLiteral("ab工资奖金"));
    QCOMPARE(edit.text(), QStringLiteral("ab工资奖")); // 2 + 6 bytes, the last one no longer fits
    edit.clear();
    // Characters without a GBK form cannot be typed or pasted.
    typeText(&edit, QStringLiteral("a\u0E01b"));
    QCOMPARE(edit.text(), QStringLiteral("ab"));
    edit.clear();
    edit.insert(QStringLiteral("\U0001F600"));
    QCOMPARE(edit.text(), QString());
}

void TestWidgets::refusesWhatTheBookCannotHold()
{
    QLineEdit limited;
    limited.setValidator(new GbkLengthValidator(200, &limited));
    QLineEdit unlimited;
    unlimited.setValidator(new GbkLengthValidator(GbkLengthValidator::NoLimit, &unlimited));
    for (QLineEdit* edit : {&limited, &unlimited}) {
        // NUL, line breaks and other controls, lone surrogates: pasted or typed, never taken.
        for (const char16_t c : {0x0000, 0x0009, 0x000A, 0x000D, 0x001B, 0x007F, 0xD800, 0xDC00}) {
            edit->setText(QStringLiteral("ab"));
            edit->insert(QStringLiteral("x") + QChar(c) + QStringLiteral("y"));
            QCOMPARE(edit->text(), QStringLiteral("ab"));
            typeText(edit, QString(QChar(c)));
            QCOMPARE(edit->text(), QStringLiteral("ab"));
        }
        edit->insert(QStringLiteral(" 工资'#%\\"));
        QCOMPARE(edit->text(), QStringLiteral("ab 工资'#%\\"));
    }
    const QString many(150, QChar(0x5DE5)); // 300 bytes
    unlimited.setText(QString());
    unlimited.insert(many);
    QCOMPARE(unlimited.text(), many);
}

void TestWidgets::characterFilterActsOnTypingOnly()
{
    QLineEdit edit;
    installCharFilter(&edit, [](QChar c) { return c.isDigit() || c == QLatin1Char('.'); });
    QTest::keyClicks(&edit, QStringLiteral("1a2-,.3"));
    QCOMPARE(edit.text(), QStringLiteral("12.3"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("12."));
    edit.insert(QStringLiteral("x"));
    QCOMPARE(edit.text(), QStringLiteral("12.x"));
}

void TestWidgets::enterMovesAlongTheTabOrder()
{
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* first = new QLineEdit;
    auto* date = new QDateEdit;
    auto* hidden = new QLineEdit;
    auto* disabled = new QLineEdit;
    auto* last = new QLineEdit;
    for (QWidget* w :
         {static_cast<QWidget*>(first), static_cast<QWidget*>(date), static_cast<QWidget*>(hidden),
          static_cast<QWidget*>(disabled), static_cast<QWidget*>(last)})
        layout->addWidget(w);
    hidden->hide();
    disabled->setEnabled(false);
    for (QWidget* w :
         {static_cast<QWidget*>(first), static_cast<QWidget*>(date), static_cast<QWidget*>(last)})
        installEnterMovesFocus(w);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    first->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(date->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QVERIFY(last->hasFocus()); // hidden and disabled controls are passed over
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(first->hasFocus()); // wrapping at the end
}

void TestWidgets::enterClicksTheDefaultButton()
{
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* edit = new QLineEdit;
    auto* button = new QPushButton(QStringLiteral("查  询"));
    layout->addWidget(edit);
    layout->addWidget(button);
    installEnterClicks(edit, button);
    QSignalSpy clicks(button, &QPushButton::clicked);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(clicks.size(), 1);
    button->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_Enter);
    QCOMPARE(clicks.size(), 1);
}

void TestWidgets::qtOwnTextsAreChinese()
{
    QVERIFY(installQtTranslations(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Pelmora"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
}

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
