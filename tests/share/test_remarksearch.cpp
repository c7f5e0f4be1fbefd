#include "book/booksql.h"
#include "testsupport.h"

#include <QTest>

class TestRemarkSearch final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statements();
    void patterns_data();
    void patterns();
    void everyCharacterMatchesItself_data();
    void everyCharacterMatchesItself();
};

void TestRemarkSearch::statements()
{
    const QDate from(2005, 11, 1);
    const QDate to(2005, 11, 30);
    // Without a remark every statement stays as it was.
    QCOMPARE(searchConditions(EntryKind::Income, from, to, QStringLiteral("01"),
                              QStringLiteral("3500"), QString()),
             searchConditions(EntryKind::Income, from, to, QStringLiteral("01"),
                              QStringLiteral("3500")));
    const QString income =
        searchConditions(EntryKind::Income, from, to, QString(), QString(), QStringLiteral("房租"));
    QCOMPARE(totalsSql(EntryKind::Income, income),
             QStringLiteral("select count(*),sum(srje) from srb where srrq between #2005-11-01# "
                            "and #2005-11-30# and srsm like '%房租%' escape '\\'"));
    const QString expense = searchConditions(EntryKind::Expense, from, to, QStringLiteral("03"),
                                             QString(), QStringLiteral("早餐"));
    QCOMPARE(listingSql(EntryKind::Expense, expense),
             QStringLiteral("select * from zcb where zcrq between #2005-11-01# and #2005-11-30# "
                            "and zclb='03' and zcsm like '%早餐%' escape '\\' order by zcrq desc"));
}

void TestRemarkSearch::patterns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    textRow("percent", "100%", "100\\%");
    textRow("underscore", "a_b", "a\\_b");
    textRow("backslash", "c\\d", "c\\\\d");
    textRow("quote", "O'Neil", "O''Neil");
    textRow("all", "%_\\'", "\\%\\_\\\\''");
}

void TestRemarkSearch::patterns()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QCOMPARE(remarkLikePattern(text), pattern);
}

void TestRemarkSearch::everyCharacterMatchesItself_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");
    textRow("percent", "100%", "100%");
    textRow("underscore", "_", "a_b");
    textRow("backslash", "\\", "c\\d");
    textRow("quote", "'", "O'Neil");
    textRow("hash", "#2005", "#2005-11-01#");
    textRow("ASCII in either case", "PLUMBER", "房租 plumber|Plumber");
    textRow("two Chinese characters", "房租", "房租 plumber");
}

void TestRemarkSearch::everyCharacterMatchesItself()
{
    QFETCH(QString, text);
    QFETCH(QString, found);
    TestBook book;
    const char* remarks[] = {"100%", "1000",   "a_b",     "axb",          "c\\d",
                             "cd",   "O'Neil", "Plumber", "房租 plumber", "#2005-11-01#"};
    QDate date(2005, 11, 1);
    for (const char* remark : remarks) {
        book.exec(insertEntrySql(EntryKind::Expense, date, QStringLiteral("01"),
                                 QStringLiteral("餐饮"), QStringLiteral("1"),
                                 QString::fromUtf8(remark)));
        date = date.addDays(1);
    }
    const QString conditions =
        searchConditions(EntryKind::Expense, QDate(2005, 11, 1), date, QString(), QString(), text);
    // Newest first, as the listing shows them.
    QCOMPARE(book.value(QStringLiteral("select group_concat(zcsm, '|') from (") +
                        listingSql(EntryKind::Expense, conditions) + QStringLiteral(")"))
                 .toString(),
             found);
    QCOMPARE(book.value(totalsSql(EntryKind::Expense, conditions)).toInt(),
             found.count(QLatin1Char('|')) + 1);
}

QTEST_MAIN(TestRemarkSearch)
#include "test_remarksearch.moc"
