#include "analysis/analysissql.h"
#include "analysis/chartpanel.h"
#include "analysis/tfxtb.h"
#include "book/tszgl.h"
#include "samplebook.h"
#include "store/gbk.h"
#include "store/query.h"
#include "testsupport.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <cmath>
#include <memory>

namespace {

// The analysis window over a fresh book; report files go into the book's folder.
struct Fixture : WindowFixture<Tfxtb>
{
    Fixture() { create().resize(1014, 682); }

    ChartPanel* chart(const char* name) const { return child<ChartPanel>(name); }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }
    QColor colour(const char* name) const
    {
        return child<QLabel>(name)->palette().color(QPalette::WindowText);
    }
    void setRange(const QDate& from, const QDate& to)
    {
        child<QDateEdit>("DateTimePicker1")->setDate(from);
        child<QDateEdit>("DateTimePicker2")->setDate(to);
    }
    void run()
    {
        book.takeStatements();
        child<QPushButton>("BitBtn1")->click();
    }
    bool chartsShown() const
    {
        for (const char* name : {"Chart1", "Chart2", "Chart3", "Chart4", "GroupBox2"}) {
            if (window->findChild<QWidget*>(QLatin1String(name))->isHidden())
                return false;
        }
        return true;
    }
    QByteArray file(const QString& name) const { return readFile(QDir(book.dir()).filePath(name)); }
};

QStringList points(const ChartPanel* chart, int series)
{
    QStringList out;
    for (int i = 0; i < chart->pointCount(series); ++i)
        out << QStringLiteral("%1=%2")
                   .arg(chart->pointLabel(series, i))
                   .arg(chart->pointValue(series, i));
    return out;
}

QStringList monthLabels()
{
    QStringList out;
    for (int m = 1; m <= 12; ++m)
        out << QStringLiteral("%1月=0").arg(m);
    return out;
}

// The file's bytes with the creation time line replaced by a fixed one, after
// checking its form.
QByteArray withFixedTime(QByteArray bytes)
{
    const QByteArray prefix = encodeGbk(QStringLiteral("报告表生成日期："));
    const qsizetype at = bytes.indexOf(prefix);
    if (at < 0)
        return bytes;
    const qsizetype end = bytes.indexOf("\r\n", at);
    const QByteArray stamp = bytes.mid(at + prefix.size(), end - at - prefix.size());
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}( \\d{2}:\\d{2}:\\d{2})?$"));
    if (!form.match(QString::fromLatin1(stamp)).hasMatch())
        return bytes;
    return bytes.replace(at + prefix.size(), stamp.size(), "TIME");
}

QByteArray gbkFile(const QStringList& lines)
{
    QByteArray out;
    for (const QString& line : lines)
        out += encodeGbk(line) + "\r\n";
    return out;
}

} // namespace

class TestTfxtb final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsWithOnlyTheInputs();
    void emptyBook();
    void dateCheckHidesAnEarlierRun();
    void waitLabelShowsWhileStatementsRun();
    void sameDayRangeAndStatements();
    void categoriesWithoutEntriesGiveZeroSlices();
    void typedYearDrivesTheMonthlyChart_data();
    void typedYearDrivesTheMonthlyChart();
    void yearlyChartFollowsIncomeYears();
    void balancesAreRoundedAndColoured();
    void failedYearConversionStopsTheRun();
    void keysOfTheEditBoxes();
    void enterInDatePickersMovesFocus();
    void annualReportWithoutEntries();
    void annualReportWithCategories();
    void monthlyReportAndRepeatedRun();
    void periodChecks_data();
    void periodChecks();
    void enterInReportBoxesRunsTheCharts();
    void labelsShowTheirWholeText();
    void pieMarksStayApart();
    void failedWriteShowsTheSystemMessage();
    void reportLeavesAListingShownElsewhere();
    void reportThatCannotBeCompletedWritesNothing();
};

void TestTfxtb::startsWithOnlyTheInputs()
{
    Fixture f;
    QCOMPARE(f.window->objectName(), QStringLiteral("fxtb"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("分析图表"));
    QVERIFY(!f.chartsShown());
    QVERIFY(f.child<QLabel>("Label_wait")->isHidden());
    QCOMPARE(f.child<QDateEdit>("DateTimePicker1")->date(), QDate::currentDate());
    QCOMPARE(f.child<QDateEdit>("DateTimePicker2")->date(), QDate::currentDate());
    QCOMPARE(f.child<QLineEdit>("Edit_bb_month")->maxLength(), 6);
    QCOMPARE(f.child<QPushButton>("BitBtn1")->geometry(), QRect(536, 16, 73, 25));
    QCOMPARE(f.chart("Chart3")->geometry(), QRect(6, 280, 998, 192));
}

void TestTfxtb::emptyBook()
{
    Fixture f;
    f.run();
    QVERIFY(f.book.messages().all().isEmpty());
    QVERIFY(f.chartsShown());
    QVERIFY(f.child<QLabel>("Label_wait")->isHidden());
    QCOMPARE(f.chart("Chart1")->pointCount(Tfxtb::Series1), 0);
    QCOMPARE(f.chart("Chart2")->pointCount(Tfxtb::Series2), 0);
    ChartPanel* months = f.chart("Chart3");
    QCOMPARE(months->titleLines(), QStringList{QStringLiteral("0年收支按月对比图")});
    QCOMPARE(points(months, Tfxtb::Series3), monthLabels());
    QCOMPARE(points(months, Tfxtb::Series4), monthLabels());
    QCOMPARE(months->pointColor(Tfxtb::Series3, 0), QColor(Qt::blue));
    QCOMPARE(months->pointColor(Tfxtb::Series4, 11), QColor(Qt::red));
    // Marks above the bars stand on the white background: not the theme's white.
    QCOMPARE(months->markColor(Tfxtb::Series3), QColor(Qt::black));
    QCOMPARE(months->legendTexts(), (QStringList{QStringLiteral("收入"), QStringLiteral("支出")}));
    ChartPanel* years = f.chart("Chart4");
    QCOMPARE(years->titleLines(), QStringList{QStringLiteral("收支按年对比图")});
    QCOMPARE(points(years, Tfxtb::Series5), QStringList{QStringLiteral("0年=0")});
    QCOMPARE(points(years, Tfxtb::Series6), QStringList{QStringLiteral("0年=0")});
    QCOMPARE(years->seriesTitle(Tfxtb::Series6), QStringLiteral("总支出"));
    QCOMPARE(f.chart("Chart1")->titleLines(), QStringList{QStringLiteral("当期收入情况图")});
    QCOMPARE(f.chart("Chart2")->titleLines(), QStringList{QStringLiteral("当期支出情况图")});

    QCOMPARE(f.label("Label_dq_sr"), QStringLiteral("当期收入合计：0"));
    QCOMPARE(f.label("Label_dq_zc"), QStringLiteral("当期支出合计：0"));
    QCOMPARE(f.label("Label_dq_jcje"), QStringLiteral("当期结存余额：0"));
    QCOMPARE(f.label("Label_year_sr"), QStringLiteral("0年收入总额：0"));
    QCOMPARE(f.label("Label_year_zc"), QStringLiteral("0年支出总额：0"));
    QCOMPARE(f.label("Label_year_jc"), QStringLiteral("0年结存余额：0"));
    QCOMPARE(f.label("Label_count_sr"), QStringLiteral("收入总额：0"));
    QCOMPARE(f.label("Label_count_zc"), QStringLiteral("支出总额：0"));
    QCOMPARE(f.label("Label_count_jc"), QStringLiteral("结存余额：0"));
    for (const char* name : {"Label_dq_jcje", "Label_year_jc", "Label_count_jc"})
        QCOMPARE(f.colour(name), QColor(Qt::blue));

    // One statement per figure: 30, no categories, one year twice, the newest key.
    const QStringList statements = f.book.takeStatements();
    QCOMPARE(statements.size(), 33);
    QVERIFY(statements.contains(
        QStringLiteral("select sum(srje) from srb where srsq between '001' and  '012'")));
    QVERIFY(statements.contains(QStringLiteral("select sum(zcje) from zcb where zcsq='012'")));
    QVERIFY(!f.book.context().ADOQuery1().isOpen());
    QVERIFY(!f.book.context().ADOQuery2().isOpen());
}

void TestTfxtb::dateCheckHidesAnEarlierRun()
{
    Fixture f;
    addCategory(f.book, "S", "01", "工资");
    addEntry(f.book, "S", QDate(2005, 11, 5), "01", "工资", 5000);
    f.setRange(QDate(2005, 11, 1), QDate(2005, 11, 30));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    f.run();
    QVERIFY(f.chartsShown());
    QCOMPARE(f.chart("Chart1")->pointCount(Tfxtb::Series1), 1);

    f.setRange(QDate(2005, 11, 2), QDate(2005, 11, 1));
    f.child<QLineEdit>("Edit_year")->setFocus();
    f.run();
    QCOMPARE(f.book.messages().infos, QStringList{QStringLiteral("起始日期不能大于终止日期！")});
    QVERIFY(f.child<QDateEdit>("DateTimePicker1")->hasFocus());
    QVERIFY(f.book.takeStatements().isEmpty());
    QVERIFY(f.window->findChild<QGroupBox*>(QStringLiteral("GroupBox2"))->isHidden());
    QVERIFY(f.chart("Chart1")->isHidden() && f.chart("Chart4")->isHidden());
    QVERIFY(f.child<QLabel>("Label_wait")->isHidden());
    for (const char* name : {"Chart1", "Chart2"})
        QCOMPARE(f.chart(name)->pointCount(0), 0);
    QCOMPARE(f.chart("Chart3")->pointCount(Tfxtb::Series4), 0);
    QCOMPARE(f.chart("Chart4")->pointCount(Tfxtb::Series5), 0);
    QCOMPARE(f.chart("Chart3")->titleLines(), QStringList{QStringLiteral("收支按月对比图")});
}

void TestTfxtb::waitLabelShowsWhileStatementsRun()
{
    Fixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    f.run(); // a completed run first: its charts must be gone during the next
    auto* wait = f.child<QLabel>("Label_wait");
    int statements = 0;
    int seenWrong = 0;
    f.book.context().database().setStatementLog([&](const QString&) {
        ++statements;
        if (!wait->isVisible() || f.chart("Chart1")->isVisible() ||
            f.window->findChild<QGroupBox*>(QStringLiteral("GroupBox2"))->isVisible())
            ++seenWrong;
    });
    f.child<QPushButton>("BitBtn1")->click();
    QCOMPARE(statements, 33);
    QCOMPARE(seenWrong, 0);
    QVERIFY(!wait->isVisible());
    QVERIFY(f.chart("Chart1")->isVisible());
}

void TestTfxtb::sameDayRangeAndStatements()
{
    Fixture f;
    addCategory(f.book, "S", "01", "工资");
    addCategory(f.book, "S", "02", "奖金");
    addCategory(f.book, "Z", "07", "餐饮");
    addEntry(f.book, "S", QDate(2005, 11, 5), "01", "工资", 5000);
    addEntry(f.book, "S", QDate(2005, 11, 5), "02", "奖金", 1000);
    addEntry(f.book, "S", QDate(2005, 11, 6), "02", "奖金", 999);
    addEntry(f.book, "Z", QDate(2005, 11, 5), "07", "餐饮", 1234.5);
    f.setRange(QDate(2005, 11, 5), QDate(2005, 11, 5));
    f.run();
    QVERIFY(f.book.messages().all().isEmpty());
    QCOMPARE(f.label("Label_dq_sr"), QStringLiteral("当期收入合计：6000"));
    QCOMPARE(f.label("Label_dq_zc"), QStringLiteral("当期支出合计：1234.5"));
    QCOMPARE(f.label("Label_dq_jcje"), QStringLiteral("当期结存余额：4765.5"));
    QCOMPARE(points(f.chart("Chart1"), Tfxtb::Series1),
             (QStringList{QStringLiteral("工资=5000"), QStringLiteral("奖金=1000")}));
    // Marks are percentages, the legend names the categories.
    QCOMPARE(f.chart("Chart1")->pointMark(Tfxtb::Series1, 0), QStringLiteral("83.3%"));
    QCOMPARE(f.chart("Chart1")->legendTexts(),
             (QStringList{QStringLiteral("工资"), QStringLiteral("奖金")}));
    // A second run over other figures redraws the same slices with new marks and names.
    f.book.exec(QStringLiteral("update bmb set bmmc='薪金' where lb='01'"));
    f.book.exec(QStringLiteral("update srb set srje=1000 where srlb='01'"));
    f.run();
    QCOMPARE(f.chart("Chart1")->pointMark(Tfxtb::Series1, 0), QStringLiteral("50.0%"));
    QCOMPARE(f.chart("Chart1")->legendTexts(),
             (QStringList{QStringLiteral("薪金"), QStringLiteral("奖金")}));
    f.book.exec(QStringLiteral("update srb set srje=5000 where srlb='01'"));
    f.book.exec(QStringLiteral("update bmb set bmmc='工资' where lb='01'"));
    f.run();
    QCOMPARE(f.chart("Chart3")->pointValue(Tfxtb::Series3, 10), 6999.0);
    QCOMPARE(f.chart("Chart3")->pointMark(Tfxtb::Series4, 10), QStringLiteral("1234.5"));

    const QString c = QStringLiteral(" between #2005-11-05# and #2005-11-05#");
    QStringList expected = {
        QStringLiteral("select sum(srje) from srb where srrq") + c,
        QStringLiteral("select sz,lb,bmmc from bmb where sz='S'"),
        QStringLiteral("select sum(srje) from srb where srrq") + c +
            QStringLiteral(" and srlb='01'"),
        QStringLiteral("select sum(srje) from srb where srrq") + c +
            QStringLiteral(" and srlb='02'"),
        QStringLiteral("select sum(zcje) from zcb where zcrq") + c,
        QStringLiteral("select sz,lb,bmmc from bmb where sz='Z'"),
        QStringLiteral("select sum(zcje) from zcb where zcrq") + c +
            QStringLiteral(" and zclb='07'"),
        QStringLiteral("select max(srsq) from srb"),
    };
    for (const char* x : {"sr", "zc"}) {
        for (int m = 1; m <= 12; ++m)
            expected << QStringLiteral("select sum(%1je) from %2 where %1sq='2005%3'")
                            .arg(QLatin1String(x), QLatin1String(x[0] == 's' ? "srb" : "zcb"))
                            .arg(m, 2, 10, QLatin1Char('0'));
    }
    expected
        << QStringLiteral("select min(srsq) from srb")
        << QStringLiteral("select max(srsq) from srb")
        << QStringLiteral("select sum(srje) from srb where srsq between '200501' and  '200512'")
        << QStringLiteral("select sum(zcje) from zcb where zcsq between '200501' and  '200512'");
    QCOMPARE(f.book.takeStatements(), expected);
}

void TestTfxtb::categoriesWithoutEntriesGiveZeroSlices()
{
    Fixture f;
    addCategory(f.book, "Z", "09", "交通");
    addCategory(f.book, "Z", "03", "医疗");
    addCategory(f.book, "Z", "05", "教育");
    // A stored code with a quote in it must not break its statement.
    addCategory(f.book, "Z", "0'", "杂项");
    addEntry(f.book, "Z", QDate(2004, 1, 1), "03", "医疗", 80);
    f.setRange(QDate(2005, 1, 1), QDate(2005, 12, 31));
    f.run();
    // One slice per category, in the order the category statement returns them.
    QStringList expected;
    Query list(f.book.context().database(),
               QStringLiteral("select sz,lb,bmmc from bmb where sz='Z'"));
    list.open();
    for (list.first(); !list.eof(); list.next())
        expected << list.fieldText(QStringLiteral("bmmc")) + QStringLiteral("=0");
    QCOMPARE(expected.size(), 4);
    QVERIFY(f.book.messages().errors.isEmpty());
    QCOMPARE(points(f.chart("Chart2"), Tfxtb::Series2), expected);
    // Automatic colours: each slice its own.
    QVERIFY(f.chart("Chart2")->pointColor(0, 0) != f.chart("Chart2")->pointColor(0, 1));
    QCOMPARE(f.chart("Chart1")->pointCount(Tfxtb::Series1), 0);
}

void TestTfxtb::typedYearDrivesTheMonthlyChart_data()
{
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("yearIncome");
    QTest::addColumn<QString>("firstKey");
    QTest::newRow("2004") << "2004"
                          << "2004年收支按月对比图"
                          << "2004年收入总额：300"
                          << "200401";
    QTest::newRow("05") << "05"
                        << "05年收支按月对比图"
                        << "05年收入总额：0"
                        << "0501";
    QTest::newRow("empty") << ""
                           << "2005年收支按月对比图"
                           << "2005年收入总额：700"
                           << "200501";
}

void TestTfxtb::typedYearDrivesTheMonthlyChart()
{
    QFETCH(QString, year);
    QFETCH(QString, title);
    QFETCH(QString, yearIncome);
    QFETCH(QString, firstKey);
    Fixture f;
    addEntry(f.book, "S", QDate(2004, 3, 9), "01", "工资", 300);
    addEntry(f.book, "S", QDate(2005, 2, 9), "01", "工资", 700);
    f.child<QLineEdit>("Edit_year")->setText(year);
    f.run();
    QCOMPARE(f.chart("Chart3")->titleLines(), QStringList{title});
    QCOMPARE(f.label("Label_year_sr"), yearIncome);
    const QStringList statements = f.book.takeStatements();
    QVERIFY(statements.contains(
        QStringLiteral("select sum(srje) from srb where srsq='%1'").arg(firstKey)));
    // The newest key is read for the chart year only when none is typed.
    QCOMPARE(statements.count(QStringLiteral("select max(srsq) from srb")), year.isEmpty() ? 2 : 1);
    QCOMPARE(points(f.chart("Chart4"), Tfxtb::Series5),
             (QStringList{QStringLiteral("2004年=300"), QStringLiteral("2005年=700")}));
}

void TestTfxtb::yearlyChartFollowsIncomeYears()
{
    Fixture f;
    addEntry(f.book, "Z", QDate(2001, 5, 1), "01", "餐饮", 40);
    addEntry(f.book, "Z", QDate(2003, 5, 1), "01", "餐饮", 60);
    addEntry(f.book, "S", QDate(2003, 6, 1), "01", "工资", 100);
    addEntry(f.book, "S", QDate(2005, 6, 1), "01", "工资", 50);
    f.setRange(QDate(2001, 1, 1), QDate(2005, 12, 31));
    f.run();
    QCOMPARE(f.label("Label_dq_zc"), QStringLiteral("当期支出合计：100"));
    QCOMPARE(points(f.chart("Chart4"), Tfxtb::Series6),
             (QStringList{QStringLiteral("2003年=60"), QStringLiteral("2004年=0"),
                          QStringLiteral("2005年=0")}));
    QCOMPARE(f.label("Label_count_sr"), QStringLiteral("收入总额：150"));
    QCOMPARE(f.label("Label_count_zc"), QStringLiteral("支出总额：60"));
    QCOMPARE(f.label("Label_count_jc"), QStringLiteral("结存余额：90"));
}

void TestTfxtb::balancesAreRoundedAndColoured()
{
    Fixture f;
    // Range: 0.3 - 0.1; chart year 2005: 10 - 20.5; all years: 10.3 - 20.6.
    addEntry(f.book, "S", QDate(2006, 1, 1), "01", "工资", 0.3);
    addEntry(f.book, "Z", QDate(2006, 1, 1), "01", "餐饮", 0.1);
    addEntry(f.book, "S", QDate(2005, 1, 1), "01", "工资", 10);
    addEntry(f.book, "Z", QDate(2005, 1, 1), "01", "餐饮", 20.5);
    f.setRange(QDate(2006, 1, 1), QDate(2006, 1, 1));
    f.child<QLineEdit>("Edit_year")->setText(QStringLiteral("2005"));
    f.run();
    QCOMPARE(f.label("Label_dq_jcje"), QStringLiteral("当期结存余额：0.2"));
    QCOMPARE(f.colour("Label_dq_jcje"), QColor(Qt::blue));
    QCOMPARE(f.label("Label_year_jc"), QStringLiteral("2005年结存余额：-10.5"));
    QCOMPARE(f.colour("Label_year_jc"), QColor(Qt::red));
    QCOMPARE(f.label("Label_count_jc"), QStringLiteral("结存余额：-10.3"));
    QCOMPARE(f.colour("Label_count_jc"), QColor(Qt::red));
    QCOMPARE(f.chart("Chart3")->pointMark(Tfxtb::Series4, 0), QStringLiteral("20.5"));
    QCOMPARE(f.chart("Chart4")->pointMark(Tfxtb::Series6, 1), QStringLiteral("0.1"));

    // The next run recolours: a balance back at 0 or above is blue again.
    f.book.exec(QStringLiteral("delete from zcb"));
    f.run();
    // The drawn bars take the new figures.
    QCOMPARE(f.chart("Chart3")->pointMark(Tfxtb::Series4, 0), QStringLiteral("0"));
    QCOMPARE(f.chart("Chart4")->pointMark(Tfxtb::Series6, 1), QStringLiteral("0"));
    QCOMPARE(f.chart("Chart3")->pointMark(Tfxtb::Series3, 0), QStringLiteral("10"));
    QCOMPARE(f.colour("Label_year_jc"), QColor(Qt::blue));
    QCOMPARE(f.colour("Label_count_jc"), QColor(Qt::blue));
    QCOMPARE(f.label("Label_count_jc"), QStringLiteral("结存余额：10.3"));
}

void TestTfxtb::failedYearConversionStopsTheRun()
{
    Fixture f;
    f.book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                               "values(#2005-01-01#,'01','工资',5,'','ab0501')"));
    f.child<QLineEdit>("Edit_year")->setText(QStringLiteral("2005"));
    f.run();
    QCOMPARE(f.book.messages().errors.size(), 1);
    QVERIFY(f.book.messages().errors.first().contains(QStringLiteral("ab05")));
    QVERIFY(!f.child<QLabel>("Label_wait")->isHidden());
    QVERIFY(f.chart("Chart1")->isHidden());
    QVERIFY(f.window->findChild<QGroupBox*>(QStringLiteral("GroupBox2"))->isHidden());
    QCOMPARE(f.chart("Chart3")->pointCount(Tfxtb::Series3), 12);
    QCOMPARE(f.chart("Chart4")->pointCount(Tfxtb::Series5), 0);
    // Both year statements ran before the first conversion failed.
    QCOMPARE(f.book.takeStatements().last(2),
             (QStringList{QStringLiteral("select min(srsq) from srb"),
                          QStringLiteral("select max(srsq) from srb")}));

    // The next run starts from scratch.
    f.book.exec(QStringLiteral("update srb set srsq='200501'"));
    f.book.messages().clear();
    f.run();
    QVERIFY(f.book.messages().all().isEmpty());
    QVERIFY(f.chartsShown());
    QVERIFY(f.child<QLabel>("Label_wait")->isHidden());
    QCOMPARE(f.chart("Chart3")->pointCount(Tfxtb::Series3), 12);
}

void TestTfxtb::keysOfTheEditBoxes()
{
    Fixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    for (const char* name : {"Edit_year", "Edit_bb_year", "Edit_bb_month"}) {
        auto* edit = f.child<QLineEdit>(name);
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("2a0-0 5."));
        typeText(edit, QStringLiteral("年"));
        QCOMPARE(edit->text(), QStringLiteral("2005"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("200"));
        // Pasted text is held to digits as well.
        edit->clear();
        edit->insert(QStringLiteral("../x"));
        edit->insert(QStringLiteral("20/5"));
        QCOMPARE(edit->text(), QString());
        edit->insert(QStringLiteral("2005"));
        QCOMPARE(edit->text(), QStringLiteral("2005"));
    }
}

void TestTfxtb::enterInDatePickersMovesFocus()
{
    Fixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    auto* picker1 = f.child<QDateEdit>("DateTimePicker1");
    picker1->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(f.child<QPushButton>("BitBtn1")->hasFocus());
    f.child<QDateEdit>("DateTimePicker2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QVERIFY(f.child<QLineEdit>("Edit_year")->hasFocus());
    QVERIFY(f.book.takeStatements().isEmpty());
    // Tab follows the inputs' order, not the screen's.
    f.child<QLineEdit>("Edit_year")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(f.child<QPushButton>("BitBtn2")->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(f.child<QLineEdit>("Edit_bb_year")->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(f.child<QLineEdit>("Edit_bb_month")->hasFocus());
}

void TestTfxtb::annualReportWithoutEntries()
{
    Fixture f;
    f.child<QLineEdit>("Edit_bb_year")->setText(QStringLiteral("2005"));
    f.child<QPushButton>("BitBtn2")->click();
    const QString name = QStringLiteral("2005年度收支情况报告表.txt");
    QCOMPARE(f.book.messages().infos,
             QStringList{QStringLiteral("2005年度报表导出完毕，文件名：") + name});
    const QByteArray expected = gbkFile({
        QStringLiteral("*****2005年度收支情况报告表*****"),
        QString(),
        QStringLiteral("收入代码-收入名称-收入金额-占总收入比例----------"),
        QString(),
        QStringLiteral("------20050101--20051231收入合计：0元"),
        QString(),
        QString(),
        QStringLiteral("支出代码-支出名称-支出金额-占总支出比例----------"),
        QString(),
        QStringLiteral("------20050101--20051231支出合计：0元"),
        QString(),
        QStringLiteral("****************************************"),
        QStringLiteral("2005年度收入－支出＝0元"),
        QStringLiteral("报告表生成日期：TIME"),
        QStringLiteral("****************************************"),
        QString(),
    });
    QCOMPARE(withFixedTime(f.file(name)), expected);
    // The charts are left alone.
    QVERIFY(!f.chartsShown());
}

void TestTfxtb::annualReportWithCategories()
{
    Fixture f;
    addCategory(f.book, "S", "01", "工资");
    addCategory(f.book, "S", "02", "奖金");
    addCategory(f.book, "Z", "01", "餐饮");
    addEntry(f.book, "S", QDate(2005, 1, 10), "01", "工资", 3000);
    addEntry(f.book, "S", QDate(2005, 12, 10), "01", "工资", 2000);
    addEntry(f.book, "S", QDate(2005, 6, 10), "02", "奖金", 1000);
    addEntry(f.book, "S", QDate(2006, 1, 10), "02", "奖金", 777); // another year
    // An income code that is no income category counts in the total only.
    addEntry(f.book, "S", QDate(2005, 6, 10), "09", "其他", 500);
    addEntry(f.book, "Z", QDate(2005, 3, 3), "01", "餐饮", 0.1);
    addEntry(f.book, "Z", QDate(2005, 3, 4), "01", "吃饭", 0.2);
    f.child<QLineEdit>("Edit_bb_year")->setText(QStringLiteral("2005"));
    f.child<QPushButton>("BitBtn2")->click();
    QCOMPARE(f.book.messages().infos.size(), 1);
    const QByteArray expected = gbkFile({
        QStringLiteral("*****2005年度收支情况报告表*****"),
        QString(),
        QStringLiteral("收入代码-收入名称-收入金额-占总收入比例----------"),
        QStringLiteral("---01----工资----5000----76.9230769230769%"),
        QStringLiteral("---02----奖金----1000----15.3846153846154%"),
        QString(),
        QStringLiteral("------20050101--20051231收入合计：6500元"),
        QString(),
        QString(),
        QStringLiteral("支出代码-支出名称-支出金额-占总支出比例----------"),
        QStringLiteral("---01----吃饭----0.2----66.6666666666667%"),
        QStringLiteral("---01----餐饮----0.1----33.3333333333333%"),
        QString(),
        QStringLiteral("------20050101--20051231支出合计：0.3元"),
        QString(),
        QStringLiteral("****************************************"),
        QStringLiteral("2005年度收入－支出＝6499.7元"),
        QStringLiteral("报告表生成日期：TIME"),
        QStringLiteral("****************************************"),
        QString(),
    });
    QCOMPARE(withFixedTime(f.file(QStringLiteral("2005年度收支情况报告表.txt"))), expected);
}

void TestTfxtb::monthlyReportAndRepeatedRun()
{
    Fixture f;
    addCategory(f.book, "S", "01", "工资");
    addCategory(f.book, "Z", "01", "餐饮");
    addEntry(f.book, "S", QDate(2005, 11, 5), "01", "工资", 0.3);
    addEntry(f.book, "Z", QDate(2005, 11, 6), "01", "餐饮", 0.1);
    addEntry(f.book, "Z", QDate(2005, 10, 6), "01", "餐饮", 99);
    const QString name = QStringLiteral("200511月度收支情况报告表.txt");
    QFile old(QDir(f.book.dir()).filePath(name));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();

    f.child<QLineEdit>("Edit_bb_month")->setText(QStringLiteral("200511"));
    f.child<QPushButton>("BitBtn3")->click();
    QCOMPARE(f.book.messages().infos,
             QStringList{QStringLiteral("200511月度报表导出完毕，文件名：") + name});
    const QByteArray expected = gbkFile({
        QStringLiteral("*****200511月度收支情况报告表*****"),
        QString(),
        QStringLiteral("收入代码-收入名称-收入金额-占总收入比例----------"),
        QStringLiteral("---01----工资----0.3----100%"),
        QString(),
        QStringLiteral("------200511收入合计：0.3元"),
        QString(),
        QString(),
        QStringLiteral("支出代码-支出名称-支出金额-占总支出比例----------"),
        QStringLiteral("---01----餐饮----0.1----100%"),
        QString(),
        QStringLiteral("------200511支出合计：0.1元"),
        QString(),
        QStringLiteral("****************************************"),
        QStringLiteral("200511月度收入－支出＝0.2元"),
        QStringLiteral("报告表生成日期：TIME"),
        QStringLiteral("****************************************"),
        QString(),
    });
    // The older, longer file is replaced entirely.
    QCOMPARE(withFixedTime(f.file(name)), expected);
    f.book.exec(QStringLiteral("delete from zcb"));
    f.child<QPushButton>("BitBtn3")->click();
    QVERIFY(f.file(name).contains(encodeGbk(QStringLiteral("200511月度收入－支出＝0.3元"))));
}

void TestTfxtb::periodChecks_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: the report is written
    const QString annual = QStringLiteral("请输入四位数的年度，如2005");
    const QString monthly = QStringLiteral("请输入六位长的月份，如200511");
    QTest::newRow("annual empty") << "Edit_bb_year"
                                  << "BitBtn2"
                                  << "" << annual;
    QTest::newRow("annual short") << "Edit_bb_year"
                                  << "BitBtn2"
                                  << "205" << annual;
    QTest::newRow("annual 0000") << "Edit_bb_year"
                                 << "BitBtn2"
                                 << "0000"
                                 << "";
    QTest::newRow("monthly empty") << "Edit_bb_month"
                                   << "BitBtn3"
                                   << "" << monthly;
    QTest::newRow("monthly year only") << "Edit_bb_month"
                                       << "BitBtn3"
                                       << "2005" << monthly;
    QTest::newRow("monthly 13") << "Edit_bb_month"
                                << "BitBtn3"
                                << "200513"
                                << "";
}

void TestTfxtb::periodChecks()
{
    QFETCH(QString, edit);
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(QString, message);
    Fixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    auto* input = f.window->findChild<QLineEdit*>(edit);
    input->setText(text);
    f.child<QLineEdit>("Edit_year")->setFocus();
    f.book.takeStatements();
    f.window->findChild<QPushButton*>(button)->click();
    const QStringList files = QDir(f.book.dir()).entryList({QStringLiteral("*.txt")});
    if (message.isEmpty()) {
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first().startsWith(text));
        QCOMPARE(f.book.takeStatements().size(), 4);
    } else {
        QCOMPARE(f.book.messages().infos, QStringList{message});
        QVERIFY(input->hasFocus());
        QVERIFY(files.isEmpty());
        QVERIFY(f.book.takeStatements().isEmpty());
    }
}

void TestTfxtb::enterInReportBoxesRunsTheCharts()
{
    Fixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    auto* year = f.child<QLineEdit>("Edit_bb_year");
    year->setText(QStringLiteral("2005"));
    f.child<QLineEdit>("Edit_bb_month")->setText(QStringLiteral("200511"));
    for (const char* name : {"Edit_bb_year", "Edit_bb_month", "Edit_year"}) {
        f.child<QLineEdit>(name)->setFocus();
        f.book.takeStatements();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(f.chartsShown());
        QCOMPARE(f.book.takeStatements().size(), 33);
        f.chart("Chart1")->hide();
    }
    // A chart claims no Enter of its own: the chart button takes it.
    f.chart("Chart3")->setFocus();
    QVERIFY(f.chart("Chart3")->hasFocus());
    f.book.takeStatements();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(f.book.takeStatements().size(), 33);
    QVERIFY(QDir(f.book.dir()).entryList({QStringLiteral("*.txt")}).isEmpty());
    QVERIFY(f.book.messages().all().isEmpty());
}

void TestTfxtb::labelsShowTheirWholeText()
{
    Fixture f;
    fillSampleBook(f.book);
    f.book.exec(QStringLiteral("update srb set srje=srje*100000 where srlb='01'"));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.setRange(QDate(2022, 1, 1), QDate(2026, 12, 31));
    f.run();
    QVERIFY(f.book.messages().all().isEmpty());
    for (QLabel* label : f.window->findChildren<QLabel*>()) {
        if (label->isVisible() || label->objectName() == QLatin1String("Label_wait")) {
            QVERIFY2(label->sizeHint().height() <= label->height(), qPrintable(label->text()));
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
        }
    }
}

void TestTfxtb::pieMarksStayApart()
{
    // Three thin slices side by side at the top, one alone on the right.
    const QList<PieMark> marks = {
        {350, QSizeF(30, 12)}, {354, QSizeF(30, 12)}, {358, QSizeF(30, 12)}, {90, QSizeF(30, 12)}};
    const QPointF centre(200, 110);
    const QRectF bounds(0, 20, 400, 180);
    const QList<PlacedPieMark> placed = placePieMarks(centre, 60, 20, marks, bounds);
    QCOMPARE(placed.size(), 4);
    for (qsizetype i = 0; i < placed.size(); ++i) {
        QVERIFY(bounds.contains(placed[i].text));
        for (qsizetype j = 0; j < i; ++j)
            QVERIFY(!placed[i].text.intersects(placed[j].text));
        // Clear of the pie, pointing away from it.
        const QPointF near = placed[i].text.center() - centre;
        QVERIFY(std::hypot(near.x(), near.y()) > 60);
    }
    // A mark with room hangs on an arm of 20 straight out from its slice.
    QCOMPARE(placed[3].arm.at(0), QPointF(260, 110));
    QCOMPARE(placed[3].arm.at(1), QPointF(280, 110));
    QCOMPARE(placed[3].text, QRectF(280, 98, 30, 12));
}

void TestTfxtb::failedWriteShowsTheSystemMessage()
{
    Fixture f;
    addEntry(f.book, "S", QDate(2005, 1, 1), "01", "工资", 1);
    // A folder where the file should go: it can be neither created nor replaced.
    const QString name = QStringLiteral("2005年度收支情况报告表.txt");
    QVERIFY(QDir(f.book.dir()).mkdir(name));
    f.child<QLineEdit>("Edit_bb_year")->setText(QStringLiteral("2005"));
    f.child<QPushButton>("BitBtn2")->click();
    QVERIFY(f.book.messages().infos.isEmpty());
    QCOMPARE(f.book.messages().errors.size(), 1);
    QVERIFY(!f.book.messages().errors.first().isEmpty());
    QVERIFY(QFileInfo(QDir(f.book.dir()).filePath(name)).isDir());
    // Nothing half-written is left behind.
    const QStringList left = QDir(f.book.dir()).entryList(QDir::Files);
    QCOMPARE(left, QStringList{QStringLiteral("vandrel.mdb")});
}

void TestTfxtb::reportLeavesAListingShownElsewhere()
{
    Fixture f;
    addCategory(f.book, "Z", "02", "住房");
    addEntry(f.book, "Z", QDate(2005, 11, 1), "02", "住房", 1500);
    Tszgl bookWindow(f.book.context());
    bookWindow.findChild<QDateEdit*>(QStringLiteral("DateTimePicker_cx1"))
        ->setDate(QDate(2005, 11, 1));
    bookWindow.findChild<QPushButton*>(QStringLiteral("BitBtn_cx"))->click();
    f.child<QLineEdit>("Edit_bb_month")->setText(QStringLiteral("200511"));
    f.child<QPushButton>("BitBtn3")->click();
    // The report reads on a query object of its own: the book's listing, and
    // its deletion, still stand on the listed entry.
    const auto* grid = bookWindow.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("支出编号"));
    QCOMPARE(grid->model()->index(0, 4).data().toDouble(), 1500.0);
    bookWindow.findChild<QPushButton*>(QStringLiteral("BitBtn_del"))->click();
    QCOMPARE(f.book.value(QStringLiteral("select count(*) from zcb")).toInt(), 0);
}

void TestTfxtb::reportThatCannotBeCompletedWritesNothing()
{
    {
        // A damaged book: the error display says so, and no file appears.
        Fixture f;
        addCategory(f.book, "S", "01", "工资");
        f.book.addIncomes(3000);
        for (const char* index : {"srb_sq_je", "srb_lb_sq_mc_je"})
            QVERIFY(damageLeafPage(f.book.path(), QLatin1String(index)) > 0);
        f.child<QLineEdit>("Edit_bb_year")->setText(QStringLiteral("2005"));
        f.child<QPushButton>("BitBtn2")->click();
        const FakeMessages& shown = f.book.messages();
        QVERIFY(shown.infos.isEmpty());
        QVERIFY2(oneStartingWith(shown.errors, QStringLiteral("数据库文件已损坏")),
                 qPrintable(shown.errors.join(QLatin1Char('\n'))));
        QCOMPARE(QDir(f.book.dir()).entryList(QDir::Files),
                 QStringList{QStringLiteral("vandrel.mdb")});
    }
    FullDisk disk;
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    Fixture f;
    addEntry(f.book, "S", QDate(2005, 11, 5), "01", "工资", 3500);
    const QString name = QStringLiteral("2005年度收支情况报告表.txt");
    disk.fill(name);
    f.book.context().setWorkFolder(disk.path());
    f.child<QLineEdit>("Edit_bb_year")->setText(QStringLiteral("2005"));
    f.child<QPushButton>("BitBtn2")->click();
    f.child<QLineEdit>("Edit_bb_month")->setText(QStringLiteral("200511"));
    f.child<QPushButton>("BitBtn3")->click();
    QVERIFY(f.book.messages().infos.isEmpty());
    QCOMPARE(f.book.messages().errors.size(), 2);
    for (const QString& error : f.book.messages().errors)
        QVERIFY2(error.contains(FullDisk::fullText()), qPrintable(error));
    QCOMPARE(readFile(disk.filePath(name)), FullDisk::older());
    QCOMPARE(disk.files(), QStringList({name, QStringLiteral("filler")}));
}

QTEST_MAIN(TestTfxtb)
#include "test_tfxtb.moc"
