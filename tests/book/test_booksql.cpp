#include "book/bookexport.h"
#include "book/booksql.h"

#include <QTest>

// Statement texts and export lines, compared with the texts the book is
// specified to write.
class TestBookSql : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoryLists()
    {
        QCOMPARE(categoryListSql(EntryKind::Income),
                 QStringLiteral("select * from bmb where sz='S' order by lb"));
        QCOMPARE(categoryListSql(EntryKind::Expense),
                 QStringLiteral("select * from bmb where sz='Z' order by lb"));
    }

    void insertStatements()
    {
        QCOMPARE(insertEntrySql(EntryKind::Income, QDate(2005, 11, 5), QStringLiteral("01"),
                                QStringLiteral("工资"), QStringLiteral("3500"),
                                QStringLiteral("十一月")),
                 QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                "values(#2005-11-05#,'01','工资',3500,'十一月','200511')"));
        QCOMPARE(insertEntrySql(EntryKind::Expense, QDate(2006, 1, 31), QStringLiteral("03"),
                                QStringLiteral("餐饮"), QStringLiteral("0.12"),
                                QStringLiteral("午饭")),
                 QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                                "values(#2006-01-31#,'03','餐饮',0.12,'午饭','200601')"));
    }

    void updateStatements()
    {
        QCOMPARE(updateEntrySql(EntryKind::Income, 1234, QDate(2005, 11, 5), QStringLiteral("01"),
                                QStringLiteral("工资"), QStringLiteral("3500"),
                                QStringLiteral("十一月")),
                 QStringLiteral("update srb set srrq=#2005-11-05#,srlb='01',srmc='工资',srje=3500,"
                                "srsm='十一月',srsq='200511' where uid=1234"));
        QCOMPARE(updateEntrySql(EntryKind::Expense, 7, QDate(2006, 1, 31), QStringLiteral("0'"),
                                QStringLiteral("O'K"), QStringLiteral("0.12"),
                                QStringLiteral("it's")),
                 QStringLiteral("update zcb set zcrq=#2006-01-31#,zclb='0''',zcmc='O''K',zcje=0.12,"
                                "zcsm='it''s',zcsq='200601' where uid=7"));
    }

    void quotesAreDoubledInEveryTextValue()
    {
        const QString sql =
            insertEntrySql(EntryKind::Income, QDate(2005, 11, 5), QStringLiteral("0'"),
                           QStringLiteral("O'K"), QStringLiteral("1"), QStringLiteral("it's 'x'"));
        QVERIFY(sql.contains(QStringLiteral("'0''','O''K',1,'it''s ''x''','200511')")));
        QCOMPARE(searchConditions(EntryKind::Income, QDate(2005, 1, 1), QDate(2005, 1, 2),
                                  QStringLiteral("0'"), QString()),
                 QStringLiteral("srrq between #2005-01-01# and #2005-01-02# and srlb='0'''"));
    }

    void searchStatements()
    {
        const QString c =
            searchConditions(EntryKind::Income, QDate(2005, 11, 1), QDate(2005, 11, 30),
                             QStringLiteral("01"), QStringLiteral("3500"));
        QCOMPARE(totalsSql(EntryKind::Income, c),
                 QStringLiteral("select count(*),sum(srje) from srb where srrq between "
                                "#2005-11-01# and #2005-11-30# and srlb='01' and srje=3500"));
        QCOMPARE(listingSql(EntryKind::Income, c),
                 QStringLiteral("select * from srb where srrq between #2005-11-01# and "
                                "#2005-11-30# and srlb='01' and srje=3500 order by srrq desc"));

        const QString plain = searchConditions(EntryKind::Expense, QDate(2005, 11, 5),
                                               QDate(2005, 11, 5), QString(), QString());
        QCOMPARE(totalsSql(EntryKind::Expense, plain),
                 QStringLiteral("select count(*),sum(zcje) from zcb where zcrq between "
                                "#2005-11-05# and #2005-11-05#"));
        QCOMPARE(listingSql(EntryKind::Expense, plain),
                 QStringLiteral("select * from zcb where zcrq between #2005-11-05# and "
                                "#2005-11-05# order by zcrq desc"));
        QCOMPARE(searchConditions(EntryKind::Expense, QDate(2005, 11, 1), QDate(2005, 11, 2),
                                  QString(), QStringLiteral("0.12")),
                 QStringLiteral("zcrq between #2005-11-01# and #2005-11-02# and zcje=0.12"));
    }

    void deleteStatements()
    {
        QCOMPARE(deleteEntrySql(EntryKind::Income, 12),
                 QStringLiteral("delete from srb where uid=12"));
        QCOMPARE(deleteEntrySql(EntryKind::Expense, 3000000000LL),
                 QStringLiteral("delete from zcb where uid=3000000000"));
    }

    void captionsByPosition()
    {
        QCOMPARE(listingCaptions(EntryKind::Income).first(), QStringLiteral("收入编号"));
        QCOMPARE(listingCaptions(EntryKind::Expense).at(4), QStringLiteral("支出金额"));
        QCOMPARE(listingCaptions(EntryKind::Expense).last(), QStringLiteral("所属时期"));
        QCOMPARE(listingCaptions(EntryKind::Income).size(), 7);
    }

    void exportEntryLines()
    {
        ExportEntry e{
            12,   QStringLiteral("2005-11-05"), QStringLiteral("01"), QStringLiteral("工资"),
            3500, QStringLiteral("十一月")};
        QCOMPARE(exportEntryLine(e), QStringLiteral("--12--2005-11-05--01--工资--3500--十一月"));
        e.amount = 12.5;
        e.remark = QStringLiteral("a\r\nb\nc\rd");
        QCOMPARE(exportEntryLine(e), QStringLiteral("--12--2005-11-05--01--工资--12.5--a b c d"));
    }

    void listedDates()
    {
        QCOMPARE(listedDateText(QVariant(QStringLiteral("2005-11-05"))),
                 QStringLiteral("2005-11-05"));
        QCOMPARE(listedDateText(QVariant(QDate(2005, 1, 2))), QStringLiteral("2005-01-02"));
        QCOMPARE(listedDateText(QVariant(QStringLiteral("2005-11-05 00:00:00"))),
                 QStringLiteral("2005-11-05"));
        QCOMPARE(listedDateText(QVariant()), QString());
    }

    void exportLayout()
    {
        const QString name =
            exportFileName(QStringLiteral("收入"), QDate(2005, 11, 1), QDate(2005, 11, 30));
        QCOMPARE(name, QStringLiteral("收入2005-11-01--2005-11-30.txt"));
        const QList<ExportEntry> entries = {{12, QStringLiteral("2005-11-05"), QStringLiteral("01"),
                                             QStringLiteral("工资"), 3500,
                                             QStringLiteral("十一月")},
                                            {9, QStringLiteral("2005-11-02"), QStringLiteral("02"),
                                             QStringLiteral("奖金"), 0.1, QStringLiteral("x")}};
        const QStringList lines = exportLines(
            name, entries, QDateTime(QDate(2005, 12, 1), QTime(9, 5, 7)), QDate(2005, 11, 1),
            QDate(2005, 11, 30), QStringLiteral("合计 3500.1 元  "));
        QCOMPARE(lines.size(), 3 + 2 + 6);
        QCOMPARE(lines[0], name);
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2],
                 QStringLiteral("--编号--日  期--类别--类别名称--金  额--备    注----------"));
        QCOMPARE(lines[4], QStringLiteral("--9--2005-11-02--02--奖金--0.1--x"));
        QCOMPARE(lines[5], QString());
        QCOMPARE(lines[6], QString(44, QLatin1Char('*')));
        QCOMPARE(lines[7], QStringLiteral("导出日期：2005-12-01 09:05:07"));
        QCOMPARE(lines[8], QStringLiteral("日期范围：2005-11-01--2005-11-30"));
        QCOMPARE(lines[9], QStringLiteral("记录合计：2条     合计 3500.1 元  "));
        QCOMPARE(lines[10], lines[6]);

        const QStringList midnight =
            exportLines(name, entries, QDateTime(QDate(2005, 12, 1), QTime(0, 0)),
                        QDate(2005, 11, 1), QDate(2005, 11, 30), QString());
        QCOMPARE(midnight[7], QStringLiteral("导出日期：2005-12-01"));
    }
};

QTEST_GUILESS_MAIN(TestBookSql)
#include "test_booksql.moc"
