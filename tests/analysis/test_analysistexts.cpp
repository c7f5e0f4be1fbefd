#include "analysis/analysissql.h"
#include "analysis/reportlines.h"

#include <QTest>

using namespace analysissql;

class TestAnalysisTexts final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chartStatements();
    void yearStatementsKeepTheirShape();
    void reportStatements();
    void textValuesAreEscaped();
    void categoryLines_data();
    void categoryLines();
    void annualReportWithoutEntries();
    void monthlyReportWithCategories();
};

void TestAnalysisTexts::chartStatements()
{
    const QString c = dateCondition(QDate(2005, 11, 1), QDate(2005, 11, 30));
    QCOMPARE(c, QStringLiteral(" between #2005-11-01# and #2005-11-30#"));
    QCOMPARE(rangeTotalSql(EntryKind::Income, c),
             QStringLiteral(
                 "select sum(srje) from srb where srrq between #2005-11-01# and #2005-11-30#"));
    QCOMPARE(rangeTotalSql(EntryKind::Expense, c),
             QStringLiteral(
                 "select sum(zcje) from zcb where zcrq between #2005-11-01# and #2005-11-30#"));
    QCOMPARE(pieCategoriesSql(EntryKind::Income),
             QStringLiteral("select sz,lb,bmmc from bmb where sz='S'"));
    QCOMPARE(pieCategoriesSql(EntryKind::Expense),
             QStringLiteral("select sz,lb,bmmc from bmb where sz='Z'"));
    QCOMPARE(categoryRangeTotalSql(EntryKind::Income, c, QStringLiteral("03")),
             QStringLiteral("select sum(srje) from srb where srrq between #2005-11-01# and "
                            "#2005-11-30# and srlb='03'"));
    QCOMPARE(categoryRangeTotalSql(EntryKind::Expense, c, QStringLiteral("12")),
             QStringLiteral("select sum(zcje) from zcb where zcrq between #2005-11-01# and "
                            "#2005-11-30# and zclb='12'"));
    QCOMPARE(newestPeriodSql(), QStringLiteral("select max(srsq) from srb"));
    QCOMPARE(oldestPeriodSql(), QStringLiteral("select min(srsq) from srb"));
    QCOMPARE(monthTotalSql(EntryKind::Income, monthKey(QStringLiteral("2005"), 3)),
             QStringLiteral("select sum(srje) from srb where srsq='200503'"));
    QCOMPARE(monthTotalSql(EntryKind::Expense, monthKey(QStringLiteral("2005"), 11)),
             QStringLiteral("select sum(zcje) from zcb where zcsq='200511'"));
}

void TestAnalysisTexts::yearStatementsKeepTheirShape()
{
    // Two blanks after "and"; the year without leading zeros; short typed years.
    QCOMPARE(yearTotalSql(EntryKind::Income, 2005),
             QStringLiteral("select sum(srje) from srb where srsq between '200501' and  '200512'"));
    QCOMPARE(yearTotalSql(EntryKind::Expense, 0),
             QStringLiteral("select sum(zcje) from zcb where zcsq between '001' and  '012'"));
    QCOMPARE(monthKey(QStringLiteral("05"), 1), QStringLiteral("0501"));
    QCOMPARE(monthKey(QStringLiteral("0"), 12), QStringLiteral("012"));
}

void TestAnalysisTexts::reportStatements()
{
    const QString p = QStringLiteral("2005");
    QCOMPARE(reportTotalSql(Period::Annual, EntryKind::Income, p),
             QStringLiteral("Select sum(srje) FROM srb WHERE srsq between '200501' and '200512'"));
    QCOMPARE(reportTotalSql(Period::Annual, EntryKind::Expense, p),
             QStringLiteral("Select sum(zcje) FROM zcb WHERE zcsq between '200501' and '200512'"));
    QCOMPARE(reportCategoriesSql(Period::Annual, EntryKind::Income, p),
             QStringLiteral("Select a.srlb,a.srmc, sum(a.srje) FROM srb as a, bmb as b WHERE "
                            "b.sz='s' and a.srlb=b.lb and a.srsq between '200501' and '200512' "
                            "group by a.srlb,a.srmc;"));
    QCOMPARE(reportCategoriesSql(Period::Annual, EntryKind::Expense, p),
             QStringLiteral("Select a.zclb,a.zcmc, sum(a.zcje) FROM zcb as a, bmb as b WHERE "
                            "b.sz='z' and a.zclb=b.lb and a.zcsq between '200501' and '200512' "
                            "group by a.zclb,a.zcmc;"));
    const QString m = QStringLiteral("200511");
    QCOMPARE(reportTotalSql(Period::Monthly, EntryKind::Income, m),
             QStringLiteral("Select sum(srje) FROM srb WHERE srsq='200511'"));
    QCOMPARE(reportTotalSql(Period::Monthly, EntryKind::Expense, m),
             QStringLiteral("Select sum(zcje) FROM zcb WHERE zcsq='200511'"));
    QCOMPARE(
        reportCategoriesSql(Period::Monthly, EntryKind::Income, m),
        QStringLiteral("Select a.srlb,a.srmc, sum(a.srje) FROM srb as a, bmb as b WHERE "
                       "b.sz='s' and a.srlb=b.lb and a.srsq='200511' group by a.srlb,a.srmc;"));
    QCOMPARE(
        reportCategoriesSql(Period::Monthly, EntryKind::Expense, m),
        QStringLiteral("Select a.zclb,a.zcmc, sum(a.zcje) FROM zcb as a, bmb as b WHERE "
                       "b.sz='z' and a.zclb=b.lb and a.zcsq='200511' group by a.zclb,a.zcmc;"));
}

void TestAnalysisTexts::textValuesAreEscaped()
{
    // A stored code or a pasted period with a quote must not end the literal.
    const QString c = dateCondition(QDate(2005, 1, 1), QDate(2005, 1, 1));
    QVERIFY(categoryRangeTotalSql(EntryKind::Income, c, QStringLiteral("0'"))
                .endsWith(QStringLiteral("srlb='0'''")));
    QCOMPARE(monthTotalSql(EntryKind::Income, QStringLiteral("2'0501")),
             QStringLiteral("select sum(srje) from srb where srsq='2''0501'"));
    QCOMPARE(reportTotalSql(Period::Monthly, EntryKind::Expense, QStringLiteral("20'511")),
             QStringLiteral("Select sum(zcje) FROM zcb WHERE zcsq='20''511'"));
    QVERIFY(reportCategoriesSql(Period::Annual, EntryKind::Income, QStringLiteral("2'05"))
                .contains(QStringLiteral("between '2''0501' and '2''0512'")));
}

void TestAnalysisTexts::categoryLines_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("sum");
    QTest::addColumn<double>("total");
    QTest::addColumn<QString>("line");
    QTest::newRow("share") << "01"
                           << "工资" << 5000.0 << 6000.0
                           << "---01----工资----5000----83.3333333333333%";
    QTest::newRow("whole") << "02"
                           << "奖金" << 1000.0 << 1000.0 << "---02----奖金----1000----100%";
    QTest::newRow("cents") << "03"
                           << "利息" << 1234.5 << 2469.0 << "---03----利息----1234.5----50%";
    QTest::newRow("zero total") << "04"
                                << "退款" << 0.0 << 0.0 << "---04----退款----0----0.00%";
    // A kind whose total is not above zero gets no computed share.
    QTest::newRow("negative total") << "05"
                                    << "冲账" << -20.0 << -50.0 << "---05----冲账-----20----0.00%";
}

void TestAnalysisTexts::categoryLines()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(double, sum);
    QFETCH(double, total);
    QFETCH(QString, line);
    QCOMPARE(reportlines::categoryLine({code, name, sum}, total), line);
}

void TestAnalysisTexts::annualReportWithoutEntries()
{
    const QStringList expected = {
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
        QStringLiteral("报告表生成日期：2026-03-04"),
        QStringLiteral("****************************************"),
        QString(),
    };
    // At midnight the time of day is left out.
    QCOMPARE(reportlines::lines(Period::Annual, QStringLiteral("2005"), {},
                                QDateTime(QDate(2026, 3, 4), QTime(0, 0))),
             expected);
    QCOMPARE(reportlines::fileName(Period::Annual, QStringLiteral("2005")),
             QStringLiteral("2005年度收支情况报告表.txt"));
    QCOMPARE(reportlines::doneMessage(Period::Annual, QStringLiteral("2005")),
             QStringLiteral("2005年度报表导出完毕，文件名：2005年度收支情况报告表.txt"));
}

void TestAnalysisTexts::monthlyReportWithCategories()
{
    ReportFigures f;
    f.income = 0.3;
    f.expense = 0.1;
    f.incomeRows = {{QStringLiteral("01"), QStringLiteral("工资"), 0.2},
                    {QStringLiteral("01"), QStringLiteral("薪水"), 0.1}};
    f.expenseRows = {{QStringLiteral("07"), QStringLiteral("餐饮"), 0.1}};
    const QStringList lines = reportlines::lines(Period::Monthly, QStringLiteral("200511"), f,
                                                 QDateTime(QDate(2005, 11, 30), QTime(8, 5, 9)));
    const QStringList expected = {
        QStringLiteral("*****200511月度收支情况报告表*****"),
        QString(),
        QStringLiteral("收入代码-收入名称-收入金额-占总收入比例----------"),
        QStringLiteral("---01----工资----0.2----66.6666666666667%"),
        QStringLiteral("---01----薪水----0.1----33.3333333333333%"),
        QString(),
        QStringLiteral("------200511收入合计：0.3元"),
        QString(),
        QString(),
        QStringLiteral("支出代码-支出名称-支出金额-占总支出比例----------"),
        QStringLiteral("---07----餐饮----0.1----100%"),
        QString(),
        QStringLiteral("------200511支出合计：0.1元"),
        QString(),
        QStringLiteral("****************************************"),
        // 0.3 - 0.1 in doubles is 0.19999999999999998: fifteen digits show 0.2.
        QStringLiteral("200511月度收入－支出＝0.2元"),
        QStringLiteral("报告表生成日期：2005-11-30 08:05:09"),
        QStringLiteral("****************************************"),
        QString(),
    };
    QCOMPARE(lines, expected);
    QCOMPARE(reportlines::fileName(Period::Monthly, QStringLiteral("200511")),
             QStringLiteral("200511月度收支情况报告表.txt"));
    QVERIFY(reportlines::periodTextValid(Period::Monthly, QStringLiteral("200513")));
    QVERIFY(reportlines::periodTextValid(Period::Annual, QStringLiteral("0000")));
    QVERIFY(!reportlines::periodTextValid(Period::Annual, QStringLiteral("200")));
    QVERIFY(!reportlines::periodTextValid(Period::Monthly, QString()));
    QCOMPARE(reportlines::periodCheckMessage(Period::Monthly),
             QStringLiteral("请输入六位长的月份，如200511"));
}

QTEST_GUILESS_MAIN(TestAnalysisTexts)
#include "test_analysistexts.moc"
