#include "app/mainform.h"
#include "app/taboutbox.h"
#include "testsupport.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {

QList<QMdiSubWindow*> windowsNamed(const TMainForm& main, const QString& name)
{
    QList<QMdiSubWindow*> found;
    for (QMdiSubWindow* sub : main.mdiArea()->subWindowList())
        if (sub->widget() && sub->widget()->objectName() == name)
            found << sub;
    return found;
}

// The main window over a fresh book, with a fake messages service.
struct Frame
{
    // Shows the frame and waits until it is active.
    bool shown()
    {
        main.show();
        return QTest::qWaitForWindowActive(&main);
    }

    TestBook book;
    FakeMessages messages;
    TMainForm main{messages, book.path()};
};

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void frameAsDesigned();
    void clockCaption();
    void childWindowsOpenOnce_data();
    void childWindowsOpenOnce();
    void aboutPanel();
    void aboutPanelOverAMaximisedWindow();
    void functionWindowFrames();
    void textInBlue();
    void enterOnAFocusedButtonPressesIt_data();
    void enterOnAFocusedButtonPressesIt();
    void aDisabledEntryOpensNothing();
    void aFailedCreationLeavesNoTrace();
};

void TestMainForm::frameAsDesigned()
{
    Frame f;
    TMainForm& main = f.main;
    QCOMPARE(main.objectName(), QStringLiteral("MainForm"));
    QCOMPARE(main.windowTitle(), QStringLiteral("PelmoraVerson1.0--"));
    QCOMPARE(main.width(), 1014);
    QCOMPARE(main.height() - main.menuBar()->sizeHint().height(), 668);
    QCOMPARE(main.minimumSize(), main.maximumSize()); // not resizable
    QVERIFY(!(main.windowFlags() & Qt::WindowMaximizeButtonHint));

    const QStringList captions{"收支管理 ", "分析图表 ", "系统维护", "关 于", "退出程序"};
    const QStringList names{"SZGL", "FXTB", "XTWH", "N1", "app_close"};
    const QList<QAction*> actions = main.menuBar()->actions();
    QCOMPARE(actions.size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(actions[i]->text(), captions[i]);
        QCOMPARE(actions[i]->objectName(), names[i]);
        QVERIFY(!actions[i]->menu()); // acts directly
    }
    QCOMPARE(main.statusPanel(0)->text(), QStringLiteral("用户名："));
    QCOMPARE(main.statusPanel(0)->width(), 60);
    QCOMPARE(main.statusPanel(1)->width(), 100);
    QCOMPARE(main.statusPanel(1)->text(), QString());
    QCOMPARE(main.statusPanel(2)->text(), QString());
    QCOMPARE(main.findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 1000);
    QVERIFY(main.findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
}

void TestMainForm::clockCaption()
{
    QCOMPARE(::clockCaption(QDateTime(QDate(2005, 11, 3), QTime(14, 5, 9))),
             QStringLiteral("Pelmora 2005-11-03 14:05:09"));
    QCOMPARE(::clockCaption(QDateTime(QDate(2005, 11, 4), QTime(0, 0))),
             QStringLiteral("Pelmora 2005-11-04"));
    Frame f;
    TMainForm& main = f.main;
    QVERIFY(main.isHidden());
    // The clock runs from creation, also while the frame is still hidden.
    QTRY_VERIFY_WITH_TIMEOUT(main.windowTitle() != QStringLiteral("PelmoraVerson1.0--"), 2500);
    QVERIFY(main.windowTitle().startsWith(
        QStringLiteral("Pelmora ") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
}

void TestMainForm::childWindowsOpenOnce_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("maximised");
    QTest::newRow("book") << int(TMainForm::SZGL) << "szgl"
                          << "收支管理"
                          << "  收支管理  处于工作状态" << true;
    QTest::newRow("analysis") << int(TMainForm::FXTB) << "fxtb"
                              << "分析图表"
                              << "  分析图表  处于工作状态" << true;
    QTest::newRow("maintenance") << int(TMainForm::XTWH) << "xtwh"
                                 << "参数配置"
                                 << "  参数配置  处于工作状态" << true;
    QTest::newRow("about") << int(TMainForm::N1) << "aboutbox"
                           << "关于Pelmora"
                           << "  关于说明  处于工作状态" << false;
}

void TestMainForm::childWindowsOpenOnce()
{
    QFETCH(int, entry);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, status);
    QFETCH(bool, maximised);
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    QAction* action = main.menuEntry(TMainForm::MenuEntry(entry));

    action->trigger();
    QCOMPARE(windowsNamed(main, name).size(), 1);
    QMdiSubWindow* first = windowsNamed(main, name).first();
    QCOMPARE(first->widget()->windowTitle(), caption);
    QCOMPARE(first->isMaximized(), maximised);
    QVERIFY(first->isVisible());
    QCOMPARE(main.statusPanel(2)->text(), status);
    QVERIFY(f.messages.all().isEmpty());

    // A second choice brings the same window to the front and writes the status again.
    main.menuEntry(TMainForm::N1 == entry ? TMainForm::SZGL : TMainForm::N1)->trigger();
    QVERIFY(main.mdiArea()->activeSubWindow() != first);
    main.statusPanel(2)->clear();
    action->trigger();
    QCOMPARE(windowsNamed(main, name).size(), 1);
    QCOMPARE(windowsNamed(main, name).first(), first);
    QCOMPARE(main.mdiArea()->activeSubWindow(), first);
    QCOMPARE(main.statusPanel(2)->text(), status);

    // Closing destroys the window; the status text stays.
    main.menuEntry(TMainForm::N1 == entry ? TMainForm::SZGL : TMainForm::N1)->trigger();
    const QString otherStatus = main.statusPanel(2)->text();
    QPointer<QWidget> form = first->widget();
    first->close();
    settle();
    QVERIFY(form.isNull());
    QCOMPARE(windowsNamed(main, name).size(), 0);
    QCOMPARE(main.statusPanel(2)->text(), otherStatus);

    // The next choice makes a fresh one.
    action->trigger();
    QCOMPARE(windowsNamed(main, name).size(), 1);
    QVERIFY(windowsNamed(main, name).first()->widget() != form.data());
}

void TestMainForm::aboutPanel()
{
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    main.N1Click();
    QMdiSubWindow* sub = windowsNamed(main, QStringLiteral("aboutbox")).value(0);
    QVERIFY(sub);
    auto* about = qobject_cast<TAboutBox*>(sub->widget());
    QVERIFY(about);
    QCOMPARE(about->size(), QSize(305, 207));
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("ProductName"))->text(),
             QStringLiteral("PelmoraVerson 1.0"));
    QVERIFY(!about->findChild<QLabel*>(QStringLiteral("ProgramIcon"))->pixmap().isNull());
    for (const QLabel* label : about->findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue; // the icon, stretched to its box
        // No glyph clipped; the wrapping label's text on the lines it has room for.
        const QSize need = label->wordWrap()
                               ? QSize(label->width(), label->heightForWidth(label->width()))
                               : label->sizeHint();
        QVERIFY(need.height() <= label->height());
        QVERIFY(need.width() <= label->width());
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::blue));
    }
    QVERIFY(sub->windowFlags() & Qt::FramelessWindowHint);

    // Enter presses OK, which closes and destroys the panel.
    QTRY_VERIFY(about->findChild<QPushButton*>(QStringLiteral("OKButton"))->hasFocus());
    QPointer<TAboutBox> guard(about);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
    QVERIFY(guard.isNull());
    QCOMPARE(main.statusPanel(2)->text(), QStringLiteral("  关于说明  处于工作状态"));
    main.N1Click();
    QCOMPARE(windowsNamed(main, QStringLiteral("aboutbox")).size(), 1);
}

void TestMainForm::aboutPanelOverAMaximisedWindow()
{
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    const QPoint centre = main.mapToGlobal(main.rect().center());
    auto check = [&](const char* under) {
        QMdiSubWindow* about = windowsNamed(main, QStringLiteral("aboutbox")).value(0);
        QMdiSubWindow* behind = windowsNamed(main, QString::fromLatin1(under)).value(0);
        QVERIFY(about && behind);
        QVERIFY(!about->isMaximized());
        QVERIFY(about->isVisible());
        QVERIFY((about->mapToGlobal(about->rect().center()) - centre).manhattanLength() <= 2);
        QVERIFY(behind->isMaximized());
        QVERIFY(behind->isVisible());
        // The panel, not the window behind it, is what shows at the centre.
        QVERIFY(about->isAncestorOf(QApplication::widgetAt(centre)));
    };
    main.SZGLClick();
    main.N1Click();
    check("szgl");
    main.FXTBClick();
    check("fxtb");
    QVERIFY(windowsNamed(main, QStringLiteral("szgl")).value(0)->isMaximized());
}

void TestMainForm::functionWindowFrames()
{
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    for (auto entry : {TMainForm::SZGL, TMainForm::FXTB, TMainForm::XTWH}) {
        main.menuEntry(entry)->trigger();
        QMdiSubWindow* sub = main.mdiArea()->activeSubWindow();
        const Qt::WindowFlags flags = sub->windowFlags();
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowMaximizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        // Restored, the border does not resize the window.
        sub->showNormal();
        const QSize size = sub->size();
        const QPoint corner(size.width() - 2, size.height() - 2);
        const QPoint inward = corner - QPoint(60, 60);
        QTest::mouseMove(sub, corner); // the frame picks its operation while hovering
        QTest::mousePress(sub, Qt::LeftButton, {}, corner);
        QMouseEvent drag(QEvent::MouseMove, inward, sub->mapToGlobal(inward), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(sub, &drag);
        QTest::mouseRelease(sub, Qt::LeftButton, {}, inward);
        QCOMPARE(sub->size(), size);
        if (entry != TMainForm::XTWH) // laid out in full, with no size of its own
            QCOMPARE(sub->widget()->size(), QSize(1014, 682));
    }
}

void TestMainForm::textInBlue()
{
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    const QStringList red = {QStringLiteral("Label_wait"), QStringLiteral("Label7")};
    for (auto entry : {TMainForm::FXTB, TMainForm::XTWH}) {
        main.menuEntry(entry)->trigger();
        const QWidget* form = main.mdiArea()->activeSubWindow()->widget();
        // Every text the window shows, typed text and list lines included.
        for (const QWidget* w : form->findChildren<QWidget*>()) {
            QPalette::ColorRole role = QPalette::NoRole;
            if (qobject_cast<const QLabel*>(w) || qobject_cast<const QGroupBox*>(w))
                role = QPalette::WindowText;
            else if (qobject_cast<const QAbstractButton*>(w))
                role = QPalette::ButtonText;
            else if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QListWidget*>(w) ||
                     qobject_cast<const QAbstractSpinBox*>(w))
                role = QPalette::Text;
            if (role == QPalette::NoRole || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            const QColor expected = red.contains(w->objectName()) ? Qt::red : Qt::blue;
            QVERIFY2(w->palette().color(QPalette::Active, role) == expected,
                     qPrintable(w->objectName()));
        }
    }
}

void TestMainForm::enterOnAFocusedButtonPressesIt_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("button");
    QTest::newRow("book") << int(TMainForm::SZGL) << "BitBtn_resume";
    QTest::newRow("analysis") << int(TMainForm::FXTB) << "BitBtn3";
    QTest::newRow("maintenance") << int(TMainForm::XTWH) << "BitBtn_userlist";
}

void TestMainForm::enterOnAFocusedButtonPressesIt()
{
    QFETCH(int, entry);
    QFETCH(QString, button);
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    main.menuEntry(TMainForm::MenuEntry(entry))->trigger();
    auto* target = main.mdiArea()->activeSubWindow()->findChild<QPushButton*>(button);
    QVERIFY(target);
    QSignalSpy clicks(target, &QPushButton::clicked);
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(clicks.size(), 1);
}

void TestMainForm::aDisabledEntryOpensNothing()
{
    Frame f;
    TMainForm& main = f.main;
    main.disableMenuEntry(2);
    QVERIFY(!main.menuEntry(TMainForm::FXTB)->isEnabled());
    QVERIFY(main.menuEntry(TMainForm::FXTB)->isVisible());
    main.menuEntry(TMainForm::FXTB)->trigger();
    QCOMPARE(windowsNamed(main, QStringLiteral("fxtb")).size(), 0);
    QCOMPARE(main.statusPanel(2)->text(), QString());
}

void TestMainForm::aFailedCreationLeavesNoTrace()
{
    Frame f;
    QVERIFY(f.shown());
    TMainForm& main = f.main;
    main.N1Click();
    const QString away = f.book.path() + QStringLiteral(".away");
    QVERIFY(QFile::rename(f.book.path(), away));
    // The book window reads its categories while it is created; that fails here.
    main.SZGLClick();
    QCOMPARE(f.messages.errors.size(), 1);
    QCOMPARE(windowsNamed(main, QStringLiteral("szgl")).size(), 0);
    QCOMPARE(main.statusPanel(2)->text(), QStringLiteral("  关于说明  处于工作状态"));
    QVERIFY(QFile::rename(away, f.book.path()));
    main.SZGLClick();
    QCOMPARE(f.messages.errors.size(), 1);
    QCOMPARE(windowsNamed(main, QStringLiteral("szgl")).size(), 1);
    QCOMPARE(main.statusPanel(2)->text(), QStringLiteral("  收支管理  处于工作状态"));
}

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
