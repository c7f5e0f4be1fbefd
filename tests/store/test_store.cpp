#include "store/context.h"
#include "store/copynames.h"
#include "store/database.h"
#include "store/listingmodel.h"
#include "store/numbers.h"
#include "store/query.h"
#include "store/readerror.h"
#include "store/sqltext.h"
#include "store/storeerror.h"
#include "store/textfile.h"
#include "store/transaction.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <sqlite3.h>

class TestStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createdBookHasTheTablesInOrder();
    void creationRefusesAnExistingFile();
    void entryNumbersAreNeverReused();
    void openingNeverCreatesOrAcceptsForeignFiles();
    void openingWorksOnceTheFileAppears();
    void pathsWithUriCharacters();
    void readingByPositionAndName();
    void cursorAndGridReadings();
    void aGridListingHoldsNoLockAndAllowsCompaction();
    void aDamagedBookIsNamedWithItsNewestSafetyCopy();
    void aResultReadToItsEndFreesTheBook();
    void valuesWithQuotesAreStoredExactly();
    void boundValuesAreStoredExactly();
    void transactionsAreAllOrNothing();
    void aReadOnlyBookOpensAndReads();
    void conventionsOfTheBook();
    void sumsAreExact();
    void aLockedBookReportsTheEngineMessage();
    void gbkTextFiles();
    void textFileFailuresKeepTheOldFile();
    void textFileOnAFullDisk();
    void textFilePermissions();
};

void TestStore::createdBookHasTheTablesInOrder()
{
    TestBook book;
    QStringList columns;
    Query query(book.context().database(), QStringLiteral("pragma table_info(zcb)"));
    for (query.open(); !query.eof(); query.next())
        columns << query.fieldText(QStringLiteral("name"));
    QCOMPARE(columns, QStringList({"uid", "zcrq", "zclb", "zcmc", "zcje", "zcsm", "zcsq"}));
    QCOMPARE(book.value(QStringLiteral("select count(*) from login1")).toInt(), 1);
    QCOMPARE(
        book.value(QStringLiteral("select user1||'/'||pwd1||'/'||priv1 from login1")).toString(),
        QStringLiteral("admin/tovek/111"));
    for (const char* table : {"srb", "zcb", "bmb"})
        QCOMPARE(
            book.value(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt(),
            0);
}

void TestStore::creationRefusesAnExistingFile()
{
    TestBook book;
    const QByteArray before = readFile(book.path());
    QString error;
    try {
        createDatabase(book.path());
    } catch (const StoreError& e) {
        error = e.message();
    }
    QVERIFY(error.contains(QStringLiteral("already exists")));
    QCOMPARE(readFile(book.path()), before);
}

void TestStore::entryNumbersAreNeverReused()
{
    TestBook book;
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-05#,'01','工资',1,'a','200511')"));
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-05#,'01','工资',2,'b','200511')"));
    const int last = book.value(QStringLiteral("select max(uid) from srb")).toInt();
    book.exec(QStringLiteral("delete from srb where uid=%1").arg(last));
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-06#,'01','工资',3,'c','200511')"));
    QCOMPARE(book.value(QStringLiteral("select max(uid) from srb")).toInt(), last + 1);
}

void TestStore::openingNeverCreatesOrAcceptsForeignFiles()
{
    QTemporaryDir dir;
    FakeMessages messages;
    auto refuses = [&](const QString& path) {
        Database db(QStringLiteral("probe"), path);
        bool threw = false;
        try {
            db.ensureOpen();
        } catch (const StoreError& e) {
            threw = !e.message().isEmpty();
        }
        return threw && !db.isOpen();
    };

    const QString missing = dir.filePath(QStringLiteral("vandrel.mdb"));
    QVERIFY(refuses(missing));
    QVERIFY(!QFile::exists(missing));

    writeFile(missing, QByteArray());
    QVERIFY(refuses(missing));
    QCOMPARE(QFileInfo(missing).size(), 0);

    writeFile(missing, QByteArray("Standard Jet DB\0\0 this is not an SQLite file at all", 52));
    QVERIFY(refuses(missing));

    QFile::remove(missing);
    {
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(missing.toUtf8().constData(), &raw), SQLITE_OK);
        sqlite3_exec(raw, "create table other(x)", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }
    QVERIFY(refuses(missing)); // a database, but not a book
}

void TestStore::openingWorksOnceTheFileAppears()
{
    QTemporaryDir dir;
    FakeMessages messages;
    const QString path = dir.filePath(QStringLiteral("vandrel.mdb"));
    Context context(path, messages);
    Query& query = context.ADOQuery1();
    query.setText(QStringLiteral("select * from login1"));
    QVERIFY_THROWS_EXCEPTION(StoreError, query.open());
    QVERIFY(!query.isOpen());
    createDatabase(path);
    query.open();
    QCOMPARE(query.fieldText(QStringLiteral("user1")), QStringLiteral("admin"));
}

void TestStore::pathsWithUriCharacters()
{
    QTemporaryDir dir;
    FakeMessages messages;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a #b?c%20 家")));
    const QString path = dir.filePath(QStringLiteral("a #b?c%20 家/vandrel.mdb"));
    createDatabase(path);
    Context context(path, messages);
    context.ADOQuery1().setText(QStringLiteral("select count(*) from login1"));
    context.ADOQuery1().open();
    QCOMPARE(context.ADOQuery1().field(0).toInt(), 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0); // no stray file beside it
}

void TestStore::readingByPositionAndName()
{
    TestBook book;
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','02','奖金')"));
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('Z','01','餐饮')"));
    Query& query = book.context().ADOQuery1();
    QCOMPARE(query.text(), QStringLiteral("select * from login"));
    query.setText(QStringLiteral("select * from bmb where sz='S' order by lb"));
    query.open();
    QStringList items;
    for (query.first(); !query.eof(); query.next())
        items << query.fieldText(QStringLiteral("lb")) + query.fieldText(QStringLiteral("bmmc"));
    QCOMPARE(items, QStringList({"01工资", "02奖金"}));
    QVERIFY(query.field(0).isNull()); // past the end
    query.first();
    QCOMPARE(query.fieldText(2), QStringLiteral("工资"));
    QCOMPARE(book.takeStatements(), QStringList({"select * from bmb where sz='S' order by lb"}));

    query.setText(QStringLiteral("select sum(srje), max(srsq) from srb"));
    query.open();
    QVERIFY(!query.eof());
    QVERIFY(query.field(0).isNull()); // a sum over no rows stays null
    QCOMPARE(query.fieldText(1), QString());

    query.setText(QStringLiteral("select * from nosuchtable"));
    QVERIFY_THROWS_EXCEPTION(StoreError, query.open());
    QVERIFY(!query.isOpen());
}

void TestStore::cursorAndGridReadings()
{
    TestBook book;
    book.addIncomes(600);
    Query query(book.context().database());
    query.setText(QStringLiteral("select * from srb order by uid"));
    query.open();
    QCOMPARE(query.model()->rowCount(), 0); // a cursor: the grid shows nothing
    QVERIFY(query.setRow(599));
    QCOMPARE(query.field(4).toInt(), 600);
    QVERIFY(query.setRow(5)); // backwards too
    QCOMPARE(query.field(4).toInt(), 6);
    QVERIFY(!query.setRow(600));

    int resets = 0;
    QObject::connect(query.model(), &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    query.setText(QStringLiteral("select * from srb order by uid desc"));
    query.openForGrid(); // counted by the query: more than a page
    QVERIFY(resets > 0);
    QCOMPARE(query.model()->rowCount(), 600);
    QCOMPARE(query.model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("srje"));
    QCOMPARE(query.model()->index(599, 4).data().toInt(), 1);
    QCOMPARE(query.model()->index(0, 4).data().toInt(), 600);
    int rows = 0;
    for (query.first(); !query.eof(); query.next())
        rows += query.field(QStringLiteral("srje")).toInt() == 600 - rows;
    QCOMPARE(rows, 600);
    query.close();
    QCOMPARE(query.model()->rowCount(), 0);
}

void TestStore::aGridListingHoldsNoLockAndAllowsCompaction()
{
    TestBook book;
    book.addIncomes(3000);
    Query query(book.context().database());
    query.setText(QStringLiteral("select * from srb order by uid"));
    query.openForGrid(3000);
    QVERIFY(anotherProgramWritesAtOnce(book.path()));
    QCOMPARE(query.model()->index(1500, 4).data().toInt(), 1501);
    QVERIFY(anotherProgramWritesAtOnce(book.path()));
    // The compaction runs on the same connection while the listing is shown.
    Query vacuum(book.context().database(), QStringLiteral("vacuum"));
    vacuum.exec();
    QCOMPARE(query.model()->index(2999, 4).data().toInt(), 3000);
    QCOMPARE(query.model()->index(1500, 0).data().toInt(), 1501);
}

void TestStore::aDamagedBookIsNamedWithItsNewestSafetyCopy()
{
    TestBook book;
    book.addIncomes(600, QStringLiteral("'2005-11-05'"), QStringLiteral("n"),
                    QStringLiteral("printf('%0200d', n)"));
    for (const char* name :
         {"vandrel-backup-20261208-153012.mdb", "vandrel-backup-20261208-153012-2.mdb",
          "vandrel-backup-20261208-153012-10.mdb", "vandrel-backup-20251231-235959-11.mdb",
          "vandrel-backup-20271231-235959.mdb.txt"})
        writeFile(QDir(book.dir()).filePath(QLatin1String(name)), "copy");
    const QString newest =
        QDir(book.dir()).filePath(QStringLiteral("vandrel-backup-20261208-153012-10.mdb"));
    QCOMPARE(newestSafetyCopy(book.path()), newest);

    QVERIFY(damageLeafPage(book.path(), QStringLiteral("srb")) > 0);
    Query& query = book.context().ADOQuery1();
    query.setText(QStringLiteral("select * from srb order by uid"));
    QString message;
    try {
        for (query.open(); !query.eof(); query.next()) {
        }
    } catch (const StoreError& e) {
        message = e.message();
    }
    QVERIFY2(message.startsWith(QStringLiteral("数据库文件已损坏")), qPrintable(message));
    QVERIFY2(message.contains(newest), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("database disk image is malformed")));
}

void TestStore::aResultReadToItsEndFreesTheBook()
{
    TestBook book;
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','02','奖金')"));
    const auto otherCanWrite = [&book] {
        return anotherProgramWritesAtOnce(book.path());
    };
    Query& query = book.context().ADOQuery1();
    // A handler leaves its one-row result open; another program must still be able to write.
    query.setText(QStringLiteral("select count(*) from bmb where sz='S'"));
    query.open();
    QCOMPARE(query.field(0).toInt(), 2);
    QVERIFY(otherCanWrite());
    // In the middle of a list the statement is still running...
    query.setText(QStringLiteral("select * from bmb where sz='S' order by lb"));
    query.open();
    QCOMPARE(query.fieldText(QStringLiteral("lb")), QStringLiteral("01"));
    QVERIFY(!otherCanWrite());
    // ...and on its last row it is done.
    query.next();
    QCOMPARE(query.fieldText(QStringLiteral("bmmc")), QStringLiteral("奖金"));
    QVERIFY(otherCanWrite());
    query.next();
    QVERIFY(query.eof());
}

void TestStore::valuesWithQuotesAreStoredExactly()
{
    TestBook book;
    const QString name = QStringLiteral("O'Neil");
    const QString remark = QStringLiteral("'); delete from srb; -- 它's");
    book.exec(QStringLiteral(
                  "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(#2005-11-05#,'01','") +
              sqlEscape(name) + QStringLiteral("',1,'") + sqlEscape(remark) +
              QStringLiteral("','200511')"));
    QCOMPARE(book.value(QStringLiteral("select count(*) from srb")).toInt(), 1);
    QCOMPARE(book.value(QStringLiteral("select srsm from srb where srmc='") + sqlEscape(name) +
                        QStringLiteral("'"))
                 .toString(),
             remark);
    const QString attack = QStringLiteral("' or '1'='1");
    QCOMPARE(book.value(QStringLiteral("select count(*) from login1 where user1='") +
                        sqlEscape(attack) + QStringLiteral("'"))
                 .toInt(),
             0);
}

void TestStore::boundValuesAreStoredExactly()
{
    TestBook book;
    Database& db = book.context().database();
    const QString remark = QStringLiteral("'); delete from srb; -- 它's ?");
    const QString insert =
        QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(?,?,?,?,?,?)");
    QCOMPARE(db.execute(insert, {QDate(2005, 11, 5), QStringLiteral("01"), QStringLiteral("工资"),
                                 12.5, remark, QStringLiteral("200511")}),
             1);
    const qint64 uid = db.lastInsertId();
    Query query(db);
    query.setText(QStringLiteral("select srrq, srje, srsm from srb where uid=? and srsm=?"),
                  {uid, remark});
    query.open();
    QCOMPARE(query.fieldText(0) + QLatin1Char('|') + query.fieldText(1) + QLatin1Char('|') +
                 query.fieldText(2),
             QStringLiteral("2005-11-05|12.5|") + remark);
    // A null binds as null; a grid listing binds its values on every page.
    db.execute(insert, {QDate(2005, 11, 6), QStringLiteral("01"), QStringLiteral("工资"), 1,
                        QVariant(), QStringLiteral("200511")});
    query.setText(QStringLiteral("select * from srb where srsm is ? order by uid"), {QVariant()});
    query.openForGrid();
    QCOMPARE(query.model()->rowCount(), 1);
}

void TestStore::transactionsAreAllOrNothing()
{
    TestBook book;
    Database& db = book.context().database();
    const auto add = [&db](const char* code) {
        db.execute(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S',?,'x')"),
                   {QLatin1String(code)});
    };
    const auto codes = [&book] {
        return book
            .value(QStringLiteral("select group_concat(lb, ',') from (select lb from bmb "
                                  "order by lb)"))
            .toString();
    };
    {
        Transaction unfinished(db);
        add("01");
    }
    try {
        Transaction failing(db);
        add("02");
        db.execute(QStringLiteral("insert into nosuchtable values(1)"));
        failing.commit();
    } catch (const StoreError& e) {
        QVERIFY(e.code() != 0);
    }
    QCOMPARE(codes(), QString());
    {
        Transaction outer(db);
        add("03");
        {
            Transaction inner(db); // a savepoint of the outer one
            add("04");
        }
        {
            Transaction inner(db);
            add("05");
            inner.commit();
        }
        outer.commit();
    }
    QCOMPARE(codes(), QStringLiteral("03,05"));
    QVERIFY(!db.inTransaction());
    // The outer transaction holds the write lock from its start.
    Transaction held(db);
    QVERIFY(!anotherProgramWritesAtOnce(book.path()));
}

void TestStore::aReadOnlyBookOpensAndReads()
{
    FullDisk disk; // a medium of its own, mounted read-only once the book is on it
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    const QString path = disk.filePath(QStringLiteral("vandrel.mdb"));
    createDatabase(path);
    QVERIFY(disk.makeReadOnly());
    FakeMessages messages;
    Context context(path, messages, TestBook::busyTimeoutMs);
    Query query(context.database(), QStringLiteral("select user1 from login1"));
    query.open();
    QCOMPARE(query.fieldText(0), QStringLiteral("admin"));
    QVERIFY(context.database().isReadOnly());
    try {
        context.database().execute(QStringLiteral("delete from login1"));
        QFAIL("a read-only book took a write");
    } catch (const StoreError& e) {
        QCOMPARE(e.code() & 0xff, SQLITE_READONLY);
    }
}

void TestStore::conventionsOfTheBook()
{
    TestBook book;
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-05#,'03','利息',12.5,'x','200511')"));
    book.exec(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','03','利息')"));
    // Both ends of a date range count.
    QCOMPARE(
        book.value(QStringLiteral(
                       "select count(*) from srb where srrq between #2005-11-01# and #2005-11-05#"))
            .toInt(),
        1);
    QCOMPARE(
        book.value(QStringLiteral(
                       "select count(*) from srb where srrq between #2005-11-05# and #2005-11-30#"))
            .toInt(),
        1);
    QCOMPARE(
        book.value(QStringLiteral(
                       "select count(*) from srb where srrq between #2005-11-06# and #2005-11-30#"))
            .toInt(),
        0);
    QCOMPARE(book.value(QStringLiteral("select count(*) from srb where srsq='200511'")).toInt(), 1);
    // A code with a leading zero stays two characters.
    QCOMPARE(book.value(QStringLiteral("select lb from bmb where lb='03'")).toString(),
             QStringLiteral("03"));
    // Text comparisons ignore letter case.
    QCOMPARE(book.value(QStringLiteral("select count(*) from bmb where sz='s'")).toInt(), 1);
    QCOMPARE(book.value(QStringLiteral("select count(*) from login1 where user1='ADMIN'")).toInt(),
             1);
    // Amounts come back as numbers; a whole amount too.
    QCOMPARE(book.value(QStringLiteral("select srje from srb")).toDouble(), 12.5);
    QCOMPARE(book.value(QStringLiteral("select sum(srje) from srb where srsq='200511'")).toDouble(),
             12.5);
}

void TestStore::sumsAreExact()
{
    TestBook book;
    // Ten rows of 0.1 already drift in a float total; the program's sum must not.
    book.addIncomes(10, QStringLiteral("'2005-01-01'"), QStringLiteral("0.1"));
    QCOMPARE(book.value(QStringLiteral("select sum(srje) from srb")).toString(),
             QStringLiteral("1"));
    QVERIFY(book.value(QStringLiteral("select total(srje) from srb")).toDouble() != 1.0);
    QVERIFY(book.value(QStringLiteral("select sum(srje) from srb where srje < 0")).isNull());
    // Negative and mixed amounts cancel exactly.
    book.exec(QStringLiteral("delete from srb"));
    for (const char* v : {"0.1", "0.2", "-0.3"})
        book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                 "values(#2005-01-01#,'01','a',%1,'','200501')")
                      .arg(QLatin1String(v)));
    QCOMPARE(book.value(QStringLiteral("select sum(srje) from srb")).toDouble(), 0.0);
    // Amounts at the top of the amount box's range stay exact too.
    for (const char* v : {"99999999999.99", "99999999999.99", "99999999999.99", "0.01"})
        book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                                 "values(#2005-01-02#,'01','a',%1,'','200501')")
                      .arg(QLatin1String(v)));
    QCOMPARE(
        book.value(QStringLiteral("select sum(srje) from srb where srrq=#2005-01-02#")).toDouble(),
        299999999999.98);
}

void TestStore::aLockedBookReportsTheEngineMessage()
{
    TestBook book;
    AnotherProgram other(book.path());
    QVERIFY(other.exec("begin exclusive"));
    Query& query = book.context().ADOQuery1();
    query.setText(QStringLiteral("insert into bmb(sz,lb,bmmc) values('S','01','工资')"));
    QElapsedTimer timer;
    timer.start();
    QString message;
    try {
        query.exec();
    } catch (const StoreError& e) {
        message = e.message();
    }
    QVERIFY2(message.contains(QStringLiteral("locked")), qPrintable(message));
    // It waited before giving up.
    QVERIFY(timer.elapsed() >= book.context().database().busyTimeoutMs() / 2);
    QVERIFY(other.exec("rollback"));
    query.exec(); // free again
    QCOMPARE(book.value(QStringLiteral("select count(*) from bmb")).toInt(), 1);
}

void TestStore::gbkTextFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    writeFile(path, QByteArray("an older, longer file that must disappear completely\r\n"));
    writeGbkLines(path,
                  {QStringLiteral("合计 3500.5 元  "), QString(), QStringLiteral("a\U0001F600")});
    QCOMPARE(readFile(path), QByteArray("\xBA\xCF\xBC\xC6 3500.5 \xD4\xAA  \r\n\r\na?\r\n"));
}

void TestStore::textFileFailuresKeepTheOldFile()
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("notafolder"));
    writeFile(blocker, QByteArray("x"));
    QVERIFY_THROWS_EXCEPTION(
        StoreError, writeGbkLines(blocker + QStringLiteral("/out.txt"), {QStringLiteral("x")}));
    QCOMPARE(readFile(blocker), QByteArray("x"));
}

void TestStore::textFileOnAFullDisk()
{
    FullDisk disk;
    if (!disk.mounted())
        QSKIP(qPrintable(disk.why()));
    const QString name = QStringLiteral("收入2005-11-01--2005-11-30.txt");
    const QString path = disk.filePath(name);
    disk.fill(name);
    const QStringList before = disk.files();
    // A few lines stay in a buffer until the end; many go out on the way.
    for (int lines : {3, 20000}) {
        QString error;
        try {
            writeGbkLines(path, QStringList(lines, QStringLiteral("--1--2005-11-05--01--工资")));
        } catch (const StoreError& e) {
            error = e.message();
        }
        QVERIFY2(error.contains(FullDisk::fullText()), qPrintable(error));
        QCOMPARE(readFile(path), FullDisk::older());
        QCOMPARE(disk.files(), before);
    }
}

void TestStore::textFilePermissions()
{
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("new.txt"));
    writeGbkLines(fresh, {QStringLiteral("x")});
    QCOMPARE(QFile::permissions(fresh),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    // A file replaced keeps what its owner chose.
    const QString shared = dir.filePath(QStringLiteral("shared.txt"));
    writeFile(shared, "old");
    const auto chosen = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                        QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(shared, chosen));
    writeGbkLines(shared, {QStringLiteral("y")});
    QCOMPARE(QFile::permissions(shared), chosen);
    QCOMPARE(readFile(shared), QByteArray("y\r\n"));
}

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
