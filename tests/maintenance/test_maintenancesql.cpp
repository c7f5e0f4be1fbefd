#include "maintenance/maintenancesql.h"
#include "safety/backups.h"
#include "store/copynames.h"
#include "store/numbers.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlQueryModel>
#include <QTest>

namespace {

int rowsIn(const QString& file, const QString& table)
{
    return AnotherProgram(file)
        .column(QStringLiteral("select count(*) from ") + table)
        .value(0)
        .toInt();
}

} // namespace

class TestMaintenanceSql : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoryStatements();
    void userStatements();
    void quotesNeverBreakAStatement();
    void categoryLinesReadBack_data();
    void categoryLinesReadBack();
    void messages();
    void initialisationSteps();
    void safetyCopyNames();
    void safetyCopyHoldsTheBook();
    void safetyCopySkipsTakenNames();
    void safetyCopyFailureLeavesNoFile();
    void safetyCopyWhileAListingIsOpen();
};

void TestMaintenanceSql::categoryStatements()
{
    QCOMPARE(categoryListSql(EntryKind::Income),
             QStringLiteral("select * from bmb where sz='S' order by lb"));
    QCOMPARE(categoryListSql(EntryKind::Expense),
             QStringLiteral("select * from bmb where sz='Z' order by lb"));
    QCOMPARE(categoryCountSql(EntryKind::Income, QStringLiteral("03")),
             QStringLiteral("select count(*) from bmb where sz='S' and lb='03'"));
    QCOMPARE(insertCategorySql(EntryKind::Income, QStringLiteral("03"), QStringLiteral("N")),
             QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','03','N')"));
    QCOMPARE(categoryUseSql(EntryKind::Income, QStringLiteral("03")),
             QStringLiteral("select count(*) from srb where srlb='03'"));
    QCOMPARE(categoryUseSql(EntryKind::Expense, QStringLiteral("03")),
             QStringLiteral("select count(*) from zcb where zclb='03'"));
    QCOMPARE(deleteCategorySql(EntryKind::Expense, QStringLiteral("07")),
             QStringLiteral("delete from bmb where sz='Z' and lb='07'"));
}

void TestMaintenanceSql::userStatements()
{
    QCOMPARE(userListSql(), QStringLiteral("select * from login1"));
    QCOMPARE(userCountSql(QStringLiteral("bob")),
             QStringLiteral("select count(*) from login1 where user1='bob'"));
    QCOMPARE(insertUserSql(QStringLiteral("bob"), QStringLiteral("pw"), QStringLiteral("101")),
             QStringLiteral("insert into login1(user1,pwd1,priv1) values('bob','pw','101')"));
    QCOMPARE(deleteUserSql(QStringLiteral("bob")),
             QStringLiteral("delete from login1 where user1='bob'"));
    QCOMPARE(updatePasswordSql(QStringLiteral("bob "), QStringLiteral(" x")),
             QStringLiteral("update login1 set pwd1=' x' where user1='bob '"));
    QCOMPARE(rightsString(true, false, true), QStringLiteral("101"));
    QCOMPARE(rightsString(false, false, false), QStringLiteral("000"));
    QCOMPARE(rightsString(true, true, true), QStringLiteral("111"));
}

void TestMaintenanceSql::quotesNeverBreakAStatement()
{
    QCOMPARE(insertCategorySql(EntryKind::Income, QStringLiteral("03"), QStringLiteral("a'b")),
             QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','03','a''b')"));
    QCOMPARE(insertUserSql(QStringLiteral("o'n"), QStringLiteral("'"), QStringLiteral("111")),
             QStringLiteral("insert into login1(user1,pwd1,priv1) values('o''n','''','111')"));
    QCOMPARE(updatePasswordSql(QStringLiteral("o'n"), QStringLiteral("p'")),
             QStringLiteral("update login1 set pwd1='p''' where user1='o''n'"));
    QCOMPARE(deleteUserSql(QStringLiteral("'")),
             QStringLiteral("delete from login1 where user1=''''"));
    QCOMPARE(categoryUseSql(EntryKind::Expense, QStringLiteral("0'")),
             QStringLiteral("select count(*) from zcb where zclb='0'''"));
}

void TestMaintenanceSql::categoryLinesReadBack_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("readName");
    textRow("chinese", "S", "01", "工资收入", "工资收入");
    textRow("ascii, eight", "Z", "99", "abcdefgh", "abcdefgh");
    textRow("trailing spaces", "Z", "05", "rent  ", "rent");
    textRow("leading and inner", "S", "10", "  a b", "a b");
    textRow("only spaces", "S", "02", "   ", "");
    textRow("quote", "S", "03", "o'k", "o'k");
    textRow("ideographic space kept inside", "Z", "04", "房　租", "房　租");
}

void TestMaintenanceSql::categoryLinesReadBack()
{
    QFETCH(QString, kind);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, readName);
    const QString chosen = categoryLine(kind, code, name, CategoryLayout::Chosen);
    const QString added = categoryLine(kind, code, name, CategoryLayout::Added);
    QCOMPARE(chosen, kind + QStringLiteral("      ") + code + QStringLiteral("      ") + name);
    QCOMPARE(added, kind + QStringLiteral("    ") + code + QStringLiteral("      ") + name);
    for (const QString& line : {chosen, added}) {
        const CategoryItem item = readCategoryLine(line);
        QCOMPARE(kindLetter(item.kind), kind);
        QCOMPARE(item.code, code);
        QCOMPARE(item.name, readName);
    }
}

void TestMaintenanceSql::messages()
{
    const CategoryItem income{EntryKind::Income, QStringLiteral("03"), QStringLiteral("工资")};
    QCOMPARE(categoryAddedMessage(income),
             QStringLiteral("增加记录成功！\n收支类型：S\n类别代码：03\n类别名称：工资"));
    QCOMPARE(categoryRemovedMessage(income),
             QStringLiteral("记录删除成功！\n收支类型：S\n类别代码：03\n类别名称：工资"));
    QCOMPARE(categoryInUseMessage(income),
             QStringLiteral("不能删除该类别,因为数据库中有该类型记录！\n收支类型：S\n类别代码：03\n"
                            "类别名称：工资\n请先删除相应收入记录后再试"));
    const CategoryItem expense{EntryKind::Expense, QStringLiteral("01"), QStringLiteral("房租")};
    QVERIFY(categoryInUseMessage(expense).endsWith(QStringLiteral("\n请先删除相应支出记录后再试")));
    QCOMPARE(userAddedMessage(QStringLiteral("bob"), QStringLiteral(" p w")),
             QStringLiteral("用户增加成功\n用户名：bob\n密  码： p w"));
    QCOMPARE(userDeletedMessage(QStringLiteral("bob")), QStringLiteral("删除用户bob成功！"));
    QCOMPARE(compactionDoneMessage(411460403, 205625754),
             QStringLiteral("数据库压缩完成！\n压缩前：392.4 MB\n压缩后：196.1 MB"));
    QCOMPARE(fileSizeText(40960), QStringLiteral("40.0 KB"));
    QCOMPARE(fileSizeText(3LL << 30), QStringLiteral("3.0 GB"));
}

void TestMaintenanceSql::initialisationSteps()
{
    const QList<InitialisationStep>& steps = ::initialisationSteps();
    QCOMPARE(steps.size(), 5);
    const QStringList statements = {
        "delete from srb", "delete from zcb", "delete from bmb", "delete from login1",
        "insert into login1(user1,pwd1,priv1) values('admin','tovek','111')"};
    const QStringList failures = {QStringLiteral("系统初始化失败！清除收入信息出错！"),
                                  QStringLiteral("系统初始化失败！清除支出信息时出错！"),
                                  QStringLiteral("系统初始化失败！清除类别编码信息时出错！"),
                                  QStringLiteral("系统初始化失败！清除登录用户信息时出错！"),
                                  QStringLiteral("系统初始化失败！插入初始用户信息时出错！")};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(steps.at(i).statement, statements.at(i));
        QCOMPARE(steps.at(i).failureMessage, failures.at(i));
    }
}

void TestMaintenanceSql::safetyCopyNames()
{
    const QDateTime moment(QDate(2026, 12, 8), QTime(15, 30, 12));
    QCOMPARE(backupCopyName(moment, CopyReason::Reset),
             QStringLiteral("vandrel-20261208-153012-reset.mdb"));
    QCOMPARE(backupCopyName(moment, CopyReason::Compact, 1),
             QStringLiteral("vandrel-20261208-153012-compact-2.mdb"));
    QCOMPARE(backupCopyName(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)), CopyReason::Older),
             QStringLiteral("vandrel-backup-20270102-030405.mdb"));
    // Both forms read back; anything else is no copy.
    for (const CopyReason reason : {CopyReason::Auto, CopyReason::Reset, CopyReason::Compact,
                                    CopyReason::Restore, CopyReason::Manual, CopyReason::Older}) {
        const std::optional<CopyName> name = parseCopyName(backupCopyName(moment, reason, 9));
        QVERIFY(name);
        QCOMPARE(name->moment, moment);
        QCOMPARE(name->number, 10);
        QCOMPARE(name->reason, reason);
    }
    for (const char* other :
         {"vandrel-20261208-153012-later.mdb", "vandrel-20261308-153012-auto.mdb",
          "vandrel-backup-20261208-153012-auto.mdb", "vandrel.mdb",
          "vandrel-20261208-153012-auto.mdb.txt"})
        QVERIFY2(!parseCopyName(QLatin1String(other)), other);
}

void TestMaintenanceSql::safetyCopyHoldsTheBook()
{
    TestBook book;
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-05#,'01','工资',12.5,'',  '200511')"));
    const QDateTime moment(QDate(2026, 12, 8), QTime(15, 30, 12));
    const QString copy = writeBackup(book.context().database(), CopyReason::Reset, moment);
    QCOMPARE(
        copy,
        QDir(book.dir()).filePath(QStringLiteral("backups/vandrel-20261208-153012-reset.mdb")));
    QCOMPARE(rowsIn(copy, QStringLiteral("srb")), 1);
    QCOMPARE(rowsIn(copy, QStringLiteral("bmb")), 1);
    QCOMPARE(rowsIn(copy, QStringLiteral("login1")), 1);
    // It holds every password: read and write for the owner, nothing for group and others.
    QCOMPARE(QFile::permissions(copy).toInt() & 0x7077, 0x6000);
    QCOMPARE(QFile::permissions(backupFolder(book.path())).toInt() & 0x7077, 0x7000);
}

void TestMaintenanceSql::safetyCopySkipsTakenNames()
{
    TestBook book;
    const QDateTime moment(QDate(2026, 12, 8), QTime(15, 30, 12));
    const QDir dir(backupFolder(book.path()));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    // A folder and a file already hold the first two names; neither may be touched.
    QVERIFY(dir.mkdir(backupCopyName(moment, CopyReason::Reset)));
    QFile taken(dir.filePath(backupCopyName(moment, CopyReason::Reset, 1)));
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.write("keep");
    taken.close();

    const QString copy = writeBackup(book.context().database(), CopyReason::Reset, moment);
    QCOMPARE(copy, dir.filePath(backupCopyName(moment, CopyReason::Reset, 2)));
    QVERIFY(QFileInfo(dir.filePath(backupCopyName(moment, CopyReason::Reset))).isDir());
    QVERIFY(taken.open(QIODevice::ReadOnly));
    QCOMPARE(taken.readAll(), QByteArray("keep"));
}

void TestMaintenanceSql::safetyCopyFailureLeavesNoFile()
{
    TestBook book;
    const QDir dir(book.dir());
    Database& database = book.context().database();
    // An existing folder in the way, and a folder that does not exist.
    QVERIFY(dir.mkdir(QStringLiteral("inway.mdb")));
    QVERIFY_THROWS_EXCEPTION(StoreError,
                             database.backupTo(dir.filePath(QStringLiteral("inway.mdb"))));
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/copy.mdb"));
    QVERIFY_THROWS_EXCEPTION(StoreError, database.backupTo(missing));
    QVERIFY(!QFileInfo::exists(missing));

    // A file where the folder of the copies belongs.
    writeFile(backupFolder(book.path()), "in the way");
    QVERIFY_THROWS_EXCEPTION(StoreError, writeBackup(book.context().database(), CopyReason::Reset));
    QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("backups"), QStringLiteral("vandrel.mdb")}));
}

void TestMaintenanceSql::safetyCopyWhileAListingIsOpen()
{
    TestBook book;
    book.exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                             "values(#2005-11-05#,'01','房租',10,'','200511')"));
    for (int i = 0; i < 9; ++i)
        book.exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                                 "select zcrq,zclb,zcmc,zcje,zcsm,zcsq from zcb"));
    // A cursor in the middle of a listing keeps its statement running.
    Query listing(book.context().database());
    listing.setText(QStringLiteral("select * from zcb"));
    listing.open();
    QVERIFY(listing.setRow(100));

    const QString copy = writeBackup(book.context().database(), CopyReason::Compact);
    QCOMPARE(rowsIn(copy, QStringLiteral("zcb")), 512);
    QVERIFY(listing.isOpen());
}

QTEST_MAIN(TestMaintenanceSql)
#include "test_maintenancesql.moc"
