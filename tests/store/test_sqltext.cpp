#include "store/sqltext.h"
#include "store/storeerror.h"

#include <QTest>

class TestSqlText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void translatesDateLiterals_data();
    void translatesDateLiterals();
    void leavesStatementsWithoutDatesAlone_data();
    void leavesStatementsWithoutDatesAlone();
    void escaping();
    void textThatWouldBreakTheStatementNeverReachesTheEngine();
};

void TestSqlText::translatesDateLiterals_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sqlite");
    QTest::newRow("insert") << QStringLiteral(
                                   "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                   "values(#2005-11-05#,'01','工资',3500,'十一月','200511')")
                            << QStringLiteral(
                                   "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                   "values('2005-11-05','01','工资',3500,'十一月','200511')");
    QTest::newRow("totals")
        << QStringLiteral("select count(*),sum(srje) from srb where srrq between #2005-11-01# and "
                          "#2005-11-30# and srlb='01' and srje=3500")
        << QStringLiteral("select count(*),sum(srje) from srb where srrq between '2005-11-01' and "
                          "'2005-11-30' and srlb='01' and srje=3500");
    QTest::newRow("listing")
        << QStringLiteral("select * from srb where srrq between #2005-11-01# and #2005-11-30# and "
                          "srlb='01' and srje=3500 order by srrq desc")
        << QStringLiteral("select * from srb where srrq between '2005-11-01' and '2005-11-30' and "
                          "srlb='01' and srje=3500 order by srrq desc");
    QTest::newRow("range total")
        << QStringLiteral(
               "select sum(zcje) from zcb where zcrq between #2004-01-01# and #2004-12-31#")
        << QStringLiteral(
               "select sum(zcje) from zcb where zcrq between '2004-01-01' and '2004-12-31'");
    QTest::newRow("category sum") << QStringLiteral("select sum(srje) from srb where srrq between "
                                                    "#2004-01-01# and #2004-12-31# and srlb='03'")
                                  << QStringLiteral("select sum(srje) from srb where srrq between "
                                                    "'2004-01-01' and '2004-12-31' and srlb='03'");
    QTest::newRow("hash inside a remark stays")
        << QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                          "values(#2005-11-05#,'02','餐饮',12.5,'#1 桌 ''#2005-01-01#''','200511')")
        << QStringLiteral(
               "insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
               "values('2005-11-05','02','餐饮',12.5,'#1 桌 ''#2005-01-01#''','200511')");
    QTest::newRow("lone hash outside text")
        << QStringLiteral("select 1 # comment") << QStringLiteral("select 1 # comment");
    QTest::newRow("no date literal across a quote") << QStringLiteral("select 1 # and srsm='a#b'")
                                                    << QStringLiteral("select 1 # and srsm='a#b'");
}

void TestSqlText::translatesDateLiterals()
{
    QFETCH(QString, statement);
    QFETCH(QString, sqlite);
    QCOMPARE(toSqliteDialect(statement), sqlite);
}

void TestSqlText::leavesStatementsWithoutDatesAlone_data()
{
    QTest::addColumn<QString>("statement");
    const char* statements[] = {
        "select * from login1 where user1='admin'",
        "select * from bmb where sz='S' order by lb",
        "select * from bmb where sz='Z' order by lb",
        "delete from srb where uid=17",
        "select sz,lb,bmmc from bmb where sz='S'",
        "select max(srsq) from srb",
        "select min(srsq) from srb",
        "select sum(srje) from srb where srsq='200401'",
        "select sum(zcje) from zcb where zcsq between '200401' and  '200412'",
        "Select sum(srje) FROM srb WHERE srsq between '200501' and '200512'",
        "Select a.srlb,a.srmc, sum(a.srje) FROM srb as a, bmb as b WHERE b.sz='s' and a.srlb=b.lb "
        "and a.srsq between '200501' and '200512' group by a.srlb,a.srmc;",
        "Select a.zclb,a.zcmc, sum(a.zcje) FROM zcb as a, bmb as b WHERE b.sz='z' and a.zclb=b.lb "
        "and a.zcsq='200511' group by a.zclb,a.zcmc;",
        "select count(*) from bmb where sz='S' and lb='03'",
        "insert into bmb(sz,lb,bmmc) values('S','03','N')",
        "delete from bmb where sz='S' and lb='03'",
        "select count(*) from srb where srlb='03'",
        "select count(*) from login1 where user1='li'",
        "insert into login1(user1,pwd1,priv1) values('li','x','101')",
        "delete from login1 where user1='li'",
        "update login1 set pwd1='new' where user1='li'",
        "delete from srb",
        "insert into login1(user1,pwd1,priv1) values('admin','tovek','111')",
    };
    for (const char* s : statements)
        QTest::newRow(s) << QString::fromUtf8(s);
}

void TestSqlText::leavesStatementsWithoutDatesAlone()
{
    QFETCH(QString, statement);
    QCOMPARE(toSqliteDialect(statement), statement);
}

void TestSqlText::escaping()
{
    QCOMPARE(sqlEscape(QStringLiteral("plain 文字")), QStringLiteral("plain 文字"));
    QCOMPARE(sqlEscape(QStringLiteral("' or '1'='1")), QStringLiteral("'' or ''1''=''1"));
    QCOMPARE(sqlEscape(QStringLiteral("it's")), QStringLiteral("it''s"));
    // An escaped value keeps later date literals outside it translatable.
    const QString statement = QStringLiteral("select * from srb where srsm='") +
                              sqlEscape(QStringLiteral("a'#b#")) +
                              QStringLiteral("' and srrq=#2005-11-05#");
    QCOMPARE(toSqliteDialect(statement),
             QStringLiteral("select * from srb where srsm='a''#b#' and srrq='2005-11-05'"));
}

void TestSqlText::textThatWouldBreakTheStatementNeverReachesTheEngine()
{
    // The engine reads a NUL as the statement's end and a lone surrogate as half
    // of a pair with the closing quote.
    for (const char16_t c : {0x0000, 0xD800, 0xDC00}) {
        const QString statement = QStringLiteral("update login1 set pwd1='") +
                                  sqlEscape(QStringLiteral("x") + QChar(c)) +
                                  QStringLiteral("' where user1='admin'");
        QVERIFY_THROWS_EXCEPTION(StoreError, toSqliteDialect(statement));
    }
    const QString pair = QStringLiteral("select '\U0001F600'");
    QCOMPARE(toSqliteDialect(pair), pair);
}

QTEST_APPLESS_MAIN(TestSqlText)
#include "test_sqltext.moc"
