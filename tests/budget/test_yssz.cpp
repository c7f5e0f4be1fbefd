#include "analysis/tfxtb.h"
#include "book/tszgl.h"
#include "budget/budgetlines.h"
#include "budget/budgetmodel.h"
#include "budget/yssz.h"
#include "budgetsample.h"
#include "maintenance/txtwh.h"
#include "samplebook.h"
#include "testsupport.h"
#include "ui/palette.h"

#include <QApplication>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

const QDate kToday = QDate::currentDate();
const QString kThisMonth = budgetlines::monthKey(kToday);

// Expense categories 01 餐饮 and 02 住房 with spending this month; income 01 工资.
void fillBook(TestBook& book)
{
    addCategory(book, QStringLiteral("Z"), QStringLiteral("01"), QStringLiteral("餐饮"));
    addCategory(book, QStringLiteral("Z"), QStringLiteral("02"), QStringLiteral("住房"));
    addCategory(book, QStringLiteral("S"), QStringLiteral("01"), QStringLiteral("工资"));
    addEntry(book, QStringLiteral("Z"), kToday, QStringLiteral("01"), QStringLiteral("餐饮"), 650);
    addEntry(book, QStringLiteral("Z"), kToday, QStringLiteral("02"), QStringLiteral("住房"), 3800);
}

QColor textColour(const QWidget* w)
{
    return w->palette().color(QPalette::WindowText);
}

struct Dialog : WindowFixture<Tyssz>
{
    Dialog()
    {
        fillBook(book);
        create();
    }
    QTableView* grid() { return child<QTableView>("Grid_budget"); }
    QString cell(int row, int column)
    {
        return grid()->model()->index(row, column).data().toString();
    }
    // Types text into a 预算 cell as a user does, then Enter.
    void typeBudget(int row, const QString& text)
    {
        grid()->setCurrentIndex(grid()->model()->index(row, BudgetModel::Budget));
        grid()->edit(grid()->currentIndex());
        auto* editor = grid()->findChild<QLineEdit*>(QStringLiteral("Edit_budget"));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        typeText(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        settle();
    }
};

} // namespace

class TestYssz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gridEditSaveAndReport();
    void closingAndMonthChangeAskWithUnsavedChanges();
    void entryLabelFollowsCategoryDateKindAndBudgets();
    void categoryWithBudgetsGoesOnlyWhenConfirmed();
    void analysisWindowOpensTheDialog();
};

void TestYssz::gridEditSaveAndReport()
{
    Dialog f;
    QVERIFY(f.show());
    QCOMPARE(f.window->windowTitle(), QStringLiteral("预算"));
    QCOMPARE(f.window->objectName(), QStringLiteral("yssz"));
    QCOMPARE(f.child<QDateEdit>("Date_month")->displayFormat(), QStringLiteral("yyyy-MM"));
    QCOMPARE(f.cell(0, BudgetModel::Actual), QStringLiteral("650.00"));
    QCOMPARE(f.cell(2, BudgetModel::Name), QStringLiteral("合计"));

    f.typeBudget(0, QStringLiteral("1.2.3"));
    QCOMPARE(f.infos(), QStringList{QStringLiteral("输入的金额格式非法!")});
    QCOMPARE(f.cell(0, BudgetModel::Budget), QString());
    QVERIFY(!f.window->model()->isModified());

    f.typeBudget(0, QStringLiteral("600.125"));
    QCOMPARE(f.cell(0, BudgetModel::Budget), QStringLiteral("600.12"));
    QCOMPARE(f.cell(0, BudgetModel::Remainder), QStringLiteral("-49.88"));
    // The chart follows the grid: the actual bar of the row over budget is red.
    auto* series = qobject_cast<QHorizontalBarSeries*>(
        f.child<QChartView>("Chart_budget")->chart()->series().value(0));
    QVERIFY(series);
    QCOMPARE(series->barSets().value(0)->at(1), 600.12); // first category on top
    QVERIFY(series->barSets().value(1)->isBarSelected(1));

    QSignalSpy announced(&f.book.context(), &Context::budgetsChanged);
    f.infos().clear();
    f.child<QPushButton>("BitBtn_save")->click();
    QCOMPARE(f.infos(), QStringList{QStringLiteral("预算保存成功！")});
    QCOMPARE(announced.size(), 1);
    QCOMPARE(
        f.book.value(QStringLiteral("select je from yss where lb='01' and yf='%1'").arg(kThisMonth))
            .toLongLong(),
        qint64(60012));
    QVERIFY(!f.window->model()->isModified());

    f.infos().clear();
    f.child<QPushButton>("BitBtn_report")->click();
    QCOMPARE(f.infos(), QStringList{QStringLiteral("预算报表生成完成！")});
    const QByteArray bytes =
        readFile(f.book.dir() + QLatin1Char('/') + kThisMonth + QStringLiteral("预算执行表.txt"));
    QStringDecoder gbk("GBK");
    const QString text = gbk(bytes);
    QVERIFY(text.startsWith(QStringLiteral("*****") + kThisMonth +
                            QStringLiteral("预算执行表*****\r\n")));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 5);
    QVERIFY(text.contains(QStringLiteral("600.12")));
}

void TestYssz::closingAndMonthChangeAskWithUnsavedChanges()
{
    Dialog f;
    addBudget(f.book, QStringLiteral("01"), QStringLiteral("202001"), 100);
    QVERIFY(f.show());
    auto* month = f.child<QDateEdit>("Date_month");
    f.child<QPushButton>("BitBtn_copy")->click();
    QCOMPARE(f.infos(), QStringList{QStringLiteral("上月没有预算！")});
    QVERIFY(!f.window->model()->isModified());
    f.child<QPushButton>("BitBtn_avg")->click();
    QVERIFY(f.window->model()->isModified());

    f.messages().answers = {false, false};
    month->setDate(QDate(2020, 1, 1));
    QCOMPARE(month->date(), QDate(kToday.year(), kToday.month(), 1));
    f.child<QPushButton>("BitBtn_close")->click();
    QVERIFY(f.window->isVisible());
    QCOMPARE(f.messages().questions.size(), 2);

    f.messages().answers = {true};
    month->setDate(QDate(2020, 1, 1));
    QCOMPARE(f.cell(0, BudgetModel::Budget), QStringLiteral("1.00"));
    f.child<QPushButton>("BitBtn_close")->click(); // nothing changed since: no question
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.messages().questions.size(), 3);
}

void TestYssz::entryLabelFollowsCategoryDateKindAndBudgets()
{
    WindowFixture<Tszgl> f;
    fillBook(f.book);
    addBudget(f.book, QStringLiteral("01"), kThisMonth, 80000);
    QVERIFY(f.show());
    auto* label = f.child<QLabel>("Label_budget");
    auto* category = f.child<QComboBox>("ComboBox_lr_lb");
    auto* date = f.child<QDateEdit>("DateTimePicker_lr");
    f.child<QRadioButton>("RadioButton_lr_zc")->click();
    category->setCurrentIndex(0);
    QCOMPARE(label->text(), QStringLiteral("本月预算 800.00，已用 650.00，剩余 150.00"));
    QCOMPARE(textColour(label), kWindowBlue);
    // On the group's title line, at its right end.
    auto* group = f.child<QGroupBox>("GroupBox_lr");
    QVERIFY(label->isVisible());
    QVERIFY(label->geometry().bottom() < f.child<QRadioButton>("RadioButton_lr_sr")->y());
    QVERIFY(label->geometry().right() < group->width());
    QVERIFY(label->x() > group->width() / 2);

    addEntry(f.book, QStringLiteral("Z"), kToday, QStringLiteral("01"), QStringLiteral("餐饮"),
             200);
    f.book.context().announceEntries(EntryKind::Expense, nullptr);
    QCOMPARE(label->text(), QStringLiteral("本月预算 800.00，已用 850.00，超支 50.00"));
    QCOMPARE(textColour(label), kWarningRed);

    date->setDate(kToday.addMonths(-1));
    QCOMPARE(label->text(), QString());
    QVERIFY(!label->isVisible());
    date->setDate(kToday);
    category->setCurrentIndex(1); // 住房: no budget
    QCOMPARE(label->text(), QString());

    addBudget(f.book, QStringLiteral("02"), kThisMonth, 500000);
    f.book.context().announceBudgets(nullptr);
    QCOMPARE(label->text(), QStringLiteral("本月预算 5000.00，已用 3800.00，剩余 1200.00"));

    f.child<QRadioButton>("RadioButton_lr_sr")->click();
    category->setCurrentIndex(0); // 01工资 shares the code of a budgeted expense
    QCOMPARE(label->text(), QString());
}

void TestYssz::categoryWithBudgetsGoesOnlyWhenConfirmed()
{
    WindowFixture<Txtwh> f;
    addCategory(f.book, QStringLiteral("Z"), QStringLiteral("01"), QStringLiteral("餐饮"));
    addCategory(f.book, QStringLiteral("Z"), QStringLiteral("02"), QStringLiteral("住房"));
    addCategory(f.book, QStringLiteral("S"), QStringLiteral("01"), QStringLiteral("工资"));
    addBudget(f.book, QStringLiteral("01"), QStringLiteral("202510"), 100);
    addBudget(f.book, QStringLiteral("01"), QStringLiteral("202511"), 100);
    addBudget(f.book, QStringLiteral("02"), QStringLiteral("202511"), 100);
    QVERIFY(f.show());
    Txtwh& w = *f.window;
    auto count = [&](const char* sql) {
        return f.book.value(QString::fromLatin1(sql)).toInt();
    };

    // An income category of the same code: its budgets are not its own.
    w.RadioButton1->click();
    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click();
    QVERIFY(f.messages().questions.isEmpty());
    QCOMPARE(count("select count(*) from yss"), 3);

    w.RadioButton2->click();
    w.ListBox1->setCurrentRow(0);
    f.messages().answers = {false};
    f.infos().clear();
    w.Button_deluser->click();
    QCOMPARE(f.messages().questions, QStringList{budgetlines::categoryBudgetsQuestion(
                                         QStringLiteral("01"), QStringLiteral("餐饮"), 2)});
    QVERIFY(f.infos().isEmpty());
    QCOMPARE(count("select count(*) from bmb where sz='Z'"), 2);
    QCOMPARE(count("select count(*) from yss"), 3);

    w.ListBox1->setCurrentRow(0);
    w.Button_deluser->click(); // Yes
    QCOMPARE(f.infos().size(), 1);
    QCOMPARE(count("select count(*) from bmb where sz='Z'"), 1);
    QCOMPARE(count("select count(*) from yss where lb='01'"), 0);
    QCOMPARE(count("select count(*) from yss where lb='02'"), 1);
}

void TestYssz::analysisWindowOpensTheDialog()
{
    WindowFixture<Tfxtb> f;
    QVERIFY(f.show());
    auto* button = f.child<QPushButton>("BitBtn_budget");
    QCOMPARE(button->text(), QStringLiteral("预算"));
    auto* summary = f.child<QGroupBox>("GroupBox2");
    QCOMPARE(button->parentWidget(), summary);
    for (const QLabel* label : summary->findChildren<QLabel*>())
        QVERIFY(!label->geometry().intersects(button->geometry()));
    QVERIFY(summary->rect().contains(button->geometry()));

    QString opened;
    QTimer::singleShot(0, f.window.get(), [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            opened = modal->objectName() + QLatin1Char('|') + modal->windowTitle();
            modal->close();
        }
    });
    button->click();
    QCOMPARE(opened, QStringLiteral("yssz|预算"));
}

QTEST_MAIN(TestYssz)
#include "test_yssz.moc"
