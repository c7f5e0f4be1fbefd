#include "book/tszgl.h"
#include "maintenance/txtwh.h"
#include "store/database.h"
#include "store/readerror.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <functional>
#include <sqlite3.h>

namespace {

// --- A disk that fails: the default file system of the engine, one call of
// which fails when the test says so, as the engine's own test suite does it. ---

enum class Fault
{
    Off,
    Once,        // the at-th call fails with the error a failing disk gives, the rest succeed
    Full,        // from the at-th write that grows a file on, every such write fails
    DeleteStuck, // no file can be deleted
};

struct FaultState
{
    Fault kind = Fault::Off;
    int at = 0;
    int calls = 0;
    bool fired = false;

    // Whether this call fails: counted only while a fault is armed.
    bool strikes()
    {
        if (kind != Fault::Once)
            return false;
        if (++calls != at)
            return false;
        fired = true;
        return true;
    }
} g_fault;

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

// The engine gives a book and a journal methods of their own: a copy of each,
// with the write, sync and truncation replaced, goes on the files opened.
struct Methods
{
    const sqlite3_io_methods* real = nullptr;
    sqlite3_io_methods copy{};
};
Methods g_methods[4];

const sqlite3_io_methods* realMethods(const sqlite3_file* file)
{
    for (const Methods& m : g_methods)
        if (file->pMethods == &m.copy)
            return m.real;
    qFatal("a file of unknown methods");
}

int faultWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    if (g_fault.strikes())
        return SQLITE_IOERR_WRITE;
    if (g_fault.kind == Fault::Full) {
        sqlite3_int64 size = 0;
        if (realMethods(file)->xFileSize(file, &size) == SQLITE_OK && offset + amount > size &&
            ++g_fault.calls >= g_fault.at) {
            g_fault.fired = true;
            return SQLITE_FULL;
        }
    }
    return realMethods(file)->xWrite(file, buffer, amount, offset);
}

int faultTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    if (g_fault.strikes())
        return SQLITE_IOERR_TRUNCATE;
    return realMethods(file)->xTruncate(file, size);
}

// Nothing is synced to the platter: what is tested is what the program does
// when a call fails, not what survives a power cut (that is test_crash), and
// hundreds of runs of syncs would take far too long.
int faultSync(sqlite3_file*, int)
{
    if (g_fault.strikes())
        return SQLITE_IOERR_FSYNC;
    return SQLITE_OK;
}

int faultOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    // A journal or a copy that cannot be made on a failing disk.
    if (g_fault.strikes()) {
        file->pMethods = nullptr;
        return SQLITE_CANTOPEN;
    }
    const int rc = g_real->xOpen(g_real, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods)
        return rc;
    for (Methods& m : g_methods) {
        if (!m.real) {
            m.real = file->pMethods;
            m.copy = *file->pMethods;
            m.copy.xWrite = faultWrite;
            m.copy.xTruncate = faultTruncate;
            m.copy.xSync = faultSync;
        }
        if (m.real == file->pMethods) {
            file->pMethods = &m.copy;
            return SQLITE_OK;
        }
    }
    qFatal("too many kinds of files");
}

int faultDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    if (g_fault.kind == Fault::DeleteStuck) {
        g_fault.fired = true;
        return SQLITE_IOERR_DELETE;
    }
    if (g_fault.strikes())
        return SQLITE_IOERR_DELETE;
    return g_real->xDelete(g_real, name, syncDir);
}

void registerFaultVfs()
{
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.zName = "faults";
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = faultOpen;
    g_vfs.xDelete = faultDelete;
    sqlite3_vfs_register(&g_vfs, 1);
}

void arm(Fault kind, int at = 0)
{
    g_fault = FaultState{kind, at};
}

// Whether the run armed fired; the disk is whole again afterwards.
bool disarm()
{
    const bool fired = g_fault.fired;
    g_fault = FaultState{};
    return fired;
}

// --- The book from outside ---

// A journal with content beside the book: it undoes a change the book file
// already holds, so the file alone is not the book the user was told of.
bool hotJournal(const QString& bookPath)
{
    return QFileInfo(bookPath + QStringLiteral("-journal")).size() > 0;
}

struct Raw
{
    explicit Raw(const QString& path, int flags = SQLITE_OPEN_READONLY)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
    }
    ~Raw() { sqlite3_close(db); }
    QStringList rows(const QString& sql) const
    {
        QStringList out;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr) != SQLITE_OK)
            return {QString::fromUtf8(sqlite3_errmsg(db))};
        while (sqlite3_step(s) == SQLITE_ROW) {
            QStringList fields;
            for (int i = 0; i < sqlite3_column_count(s); ++i)
                fields << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
            out << fields.join(QLatin1Char('|'));
        }
        sqlite3_finalize(s);
        return out;
    }
    Raw(const Raw&) = delete;
    Raw& operator=(const Raw&) = delete;
    sqlite3* db = nullptr;
};

// Every row of every table, the engine's own counters included.
QString contents(const QString& bookPath)
{
    const Raw raw(bookPath);
    QStringList all;
    for (const QString& table : raw.rows(
             QStringLiteral("select name from sqlite_master where type='table' order by name")))
        all << table << raw.rows(QStringLiteral("select * from \"%1\" order by rowid").arg(table));
    return all.join(QLatin1Char('\n'));
}

void copyBook(const QString& from, const QString& to)
{
    const Raw source(from);
    const Raw target(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_exec(target.db, "pragma synchronous=off", nullptr, nullptr, nullptr);
    sqlite3_backup* backup = sqlite3_backup_init(target.db, "main", source.db, "main");
    if (!backup || sqlite3_backup_step(backup, -1) != SQLITE_DONE ||
        sqlite3_backup_finish(backup) != SQLITE_OK)
        qFatal("cannot copy %s: %s", qPrintable(from), sqlite3_errmsg(target.db));
}

// Not the engine's bare words: a household reads Chinese.
bool readable(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7f)
            return true;
    return false;
}

// Entries, categories and users of a book in use.
void seed(TestBook& book)
{
    for (const char* sql : {"insert into bmb(sz,lb,bmmc) values('S','01','工资')",
                            "insert into bmb(sz,lb,bmmc) values('Z','01','房租')",
                            "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                            "values(#2005-11-05#,'01','工资',3500,'十一月','200511')",
                            "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                            "values(#2005-11-20#,'01','工资',12.5,'补发','200511')",
                            "insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                            "values(#2005-11-06#,'01','房租',800,'','200511')",
                            "insert into login1(user1,pwd1,priv1) values('bob','b','110')"})
        book.exec(QString::fromUtf8(sql));
}

enum class Operation
{
    Save,
    Correction,
    Deletion,
    Category,
    Reset,
    Compaction,
};

// An operation of a window: what the user does before the click (not under
// the fault), and the click that writes.
struct Scene
{
    TestBook* book = nullptr;
    std::function<void()> prepare = [] {
    };
    std::function<void()> act;
};

Scene bookScene(WindowFixture<Tszgl>& f, Operation operation)
{
    const auto search = [&f] {
        f.child<QRadioButton>("RadioButton_cx_sr")->click();
        f.child<QDateEdit>("DateTimePicker_cx1")->setDate(QDate(2005, 11, 1));
        f.child<QDateEdit>("DateTimePicker_cx2")->setDate(QDate(2005, 11, 30));
        f.child<QPushButton>("BitBtn_cx")->click();
        QTableView* grid = f.child<QTableView>("DBGrid1");
        grid->setCurrentIndex(grid->model()->index(1, 0));
    };
    const auto fill = [&f](const QString& amount) {
        auto* category = f.child<QComboBox>("ComboBox_lr_lb");
        category->setCurrentIndex(category->findText(QStringLiteral("01工资")));
        f.child<QLineEdit>("Edit_lr_je")->setText(amount);
        f.child<QLineEdit>("Memo_lr_sm")->setText(QStringLiteral("午饭"));
    };
    QPushButton* save = f.child<QPushButton>("BitBtn_save");
    Scene scene;
    scene.book = &f.book;
    switch (operation) {
    case Operation::Save:
        scene.prepare = [=] {
            fill(QStringLiteral("12.5"));
        };
        scene.act = [=] {
            save->click();
        };
        break;
    case Operation::Correction:
        scene.prepare = [=, &f] {
            search();
            f.child<QPushButton>("BitBtn_update")->click();
            fill(QStringLiteral("99"));
        };
        scene.act = [=] {
            save->click();
        };
        break;
    default:
        scene.prepare = search;
        scene.act = [&f] {
            f.child<QPushButton>("BitBtn_del")->click();
        };
        break;
    }
    return scene;
}

Scene maintenanceScene(WindowFixture<Txtwh>& f, Operation operation)
{
    Txtwh& w = *f.window;
    Scene scene;
    scene.book = &f.book;
    switch (operation) {
    case Operation::Category:
        scene.prepare = [&w] {
            w.RadioButton1->click();
            w.Edit_lb->setText(QStringLiteral("07"));
            w.Edit_bmmc->setText(QStringLiteral("交通"));
        };
        scene.act = [&w] {
            w.Button_adduser->click();
        };
        break;
    case Operation::Reset:
        scene.act = [&w] {
            w.BitBtn_csh->click();
        };
        break;
    default:
        scene.act = [&w] {
            w.BitBtn_yasuo->click();
        };
        break;
    }
    return scene;
}

QStringList safetyCopies(const TestBook& book)
{
    return QDir(book.dir()).entryList({QStringLiteral("vandrel-backup-*")}, QDir::Files);
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void explanations_data();
    void explanations();
    void faultsLeaveTheBookWhole_data();
    void faultsLeaveTheBookWhole();
    void hotJournalSettledOnceTheDiskAllows_data();
    void hotJournalSettledOnceTheDiskAllows();

private:
    void runEveryFault(Scene scene, Fault kind, Operation operation);
};

void TestFaults::initTestCase()
{
    registerFaultVfs();
}

void TestFaults::explanations_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("opening");
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("shown");
    const QString journal = QStringLiteral(
        "无法在数据库文件旁建立日志文件（文件夹不能写入或磁盘已满），数据没有保存。");
    QTest::newRow("disk full") << SQLITE_FULL << false << QStringLiteral("database or disk is full")
                               << QStringLiteral(
                                      "磁盘空间已满，数据没有保存。（database or disk is full）");
    QTest::newRow("write error") << SQLITE_IOERR_WRITE << false << QStringLiteral("disk I/O error")
                                 << QStringLiteral(
                                        "磁盘读写出错，数据没有保存。（disk I/O error）");
    QTest::newRow("read error") << SQLITE_IOERR_SHORT_READ << false
                                << QStringLiteral("disk I/O error")
                                << QStringLiteral(
                                       "读取磁盘时出错，数据没有读出。（disk I/O error）");
    QTest::newRow("held by another program")
        << SQLITE_BUSY << false << QStringLiteral("database is locked")
        << QStringLiteral("数据库文件正被另一个程序使用，请稍后再试。（database is locked）");
    QTest::newRow("journal not made")
        << SQLITE_CANTOPEN << false << QStringLiteral("unable to open database file")
        << journal + QStringLiteral("（unable to open database file）");
    QTest::newRow("folder not writable")
        << SQLITE_READONLY_DIRECTORY << false
        << QStringLiteral("attempt to write a readonly database")
        << journal + QStringLiteral("（attempt to write a readonly database）");
    QTest::newRow("read-only book")
        << SQLITE_READONLY << false << QStringLiteral("attempt to write a readonly database")
        << QStringLiteral(
               "数据库文件是只读的，数据没有保存。（attempt to write a readonly database）");
    QTest::newRow("book not opened")
        << SQLITE_CANTOPEN << true << QStringLiteral("unable to open database file")
        << QStringLiteral("unable to open database file");
    QTest::newRow("rejected statement")
        << SQLITE_ERROR << false << QStringLiteral("no such table: bmb")
        << QStringLiteral("no such table: bmb");
}

void TestFaults::explanations()
{
    QFETCH(int, code);
    QFETCH(bool, opening);
    QFETCH(QString, engine);
    QFETCH(QString, shown);
    QCOMPARE(storeMessage(code, engine, QStringLiteral("/nowhere/vandrel.mdb"),
                          opening ? FailedWhile::Opening : FailedWhile::Working),
             shown);
}

void TestFaults::faultsLeaveTheBookWhole_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<Fault>("kind");
    const std::pair<const char*, Operation> operations[] = {
        {"save", Operation::Save},         {"correction", Operation::Correction},
        {"deletion", Operation::Deletion}, {"category", Operation::Category},
        {"reset", Operation::Reset},       {"compaction", Operation::Compaction},
    };
    for (const auto& [name, operation] : operations) {
        QTest::addRow("%s, I/O error", name) << operation << Fault::Once;
        QTest::addRow("%s, disk full", name) << operation << Fault::Full;
    }
}

// Fails the first call of the operation on the disk, then the second, and so on
// until the operation runs through. After each run the book is whole, holds the
// tables as before or as after, never a mix, has no hot journal beside it, and
// the user was told in words a household reads whether the change was made.
void TestFaults::faultsLeaveTheBookWhole()
{
    QFETCH(Operation, operation);
    QFETCH(Fault, kind);
    if (operation <= Operation::Deletion) {
        WindowFixture<Tszgl> f;
        seed(f.book);
        QVERIFY(f.show());
        runEveryFault(bookScene(f, operation), kind, operation);
    } else {
        WindowFixture<Txtwh> f;
        seed(f.book);
        QVERIFY(f.show());
        runEveryFault(maintenanceScene(f, operation), kind, operation);
    }
}

void TestFaults::runEveryFault(Scene scene, Fault kind, Operation operation)
{
    TestBook& book = *scene.book;
    const QString path = book.path();
    const QString snapshot = QDir(book.dir()).filePath(QStringLiteral("before.sqlite"));
    copyBook(path, snapshot);
    const QString before = contents(path);
    const auto restore = [&] {
        copyBook(snapshot, path);
        for (const QString& copy : safetyCopies(book))
            QFile::remove(QDir(book.dir()).filePath(copy));
        book.messages().clear();
        scene.prepare();
    };

    restore();
    scene.act();
    const QStringList done = book.messages().infos + book.messages().errors;
    const QString after = contents(path);
    QVERIFY2(operation == Operation::Compaction || after != before, qPrintable(done.join(u'\n')));

    int faults = 0;
    for (int at = 1;; ++at) {
        restore();
        arm(kind, at);
        scene.act();
        const bool fired = disarm();
        const QString run = QStringLiteral("fault at %1").arg(at);
        // Looked at first: the program's next statement or another connection
        // would roll a hot journal back.
        QVERIFY2(!hotJournal(path), qPrintable(run));
        QCOMPARE(Raw(path).rows(QStringLiteral("pragma integrity_check")),
                 QStringList{QStringLiteral("ok")});
        const QString now = contents(path);
        QVERIFY2(now == before || now == after, qPrintable(run));

        const FakeMessages& messages = book.messages();
        const QStringList shown = messages.infos + messages.errors;
        const QString told = run + u'\n' + shown.join(u'\n') + u'\n' + messages.details.join(u'\n');
        for (const QString& text : shown + messages.details)
            QVERIFY2(text.isEmpty() || readable(text), qPrintable(told));
        const bool success = shown == done;
        // Success is claimed exactly when the change was made.
        if (after != before)
            QVERIFY2(success == (now == after), qPrintable(told));
        if (!success) {
            QVERIFY2(!shown.isEmpty(), qPrintable(told));
            for (const QString& text : done)
                QVERIFY2(!shown.contains(text), qPrintable(told));
        }
        // The copy written before a reset stays when the reset itself fails.
        if (operation == Operation::Reset && !success &&
            !shown.first().startsWith(QStringLiteral("系统初始化未进行")))
            QVERIFY2(!safetyCopies(book).isEmpty(), qPrintable(told));
        if (!fired) {
            QVERIFY2(success, qPrintable(told));
            break;
        }
        ++faults;
    }
    QVERIFY(faults > 0);
}

void TestFaults::hotJournalSettledOnceTheDiskAllows_data()
{
    QTest::addColumn<bool>("closing");
    QTest::newRow("before the next statement") << false;
    QTest::newRow("when the program ends") << true;
}

// The journal cannot be deleted at all for a while: the failed save leaves it
// hot, until the disk allows it to be rolled back and removed.
void TestFaults::hotJournalSettledOnceTheDiskAllows()
{
    QFETCH(bool, closing);
    WindowFixture<Tszgl> f;
    seed(f.book);
    QVERIFY(f.show());
    const QString before = contents(f.book.path());
    Scene save = bookScene(f, Operation::Save);
    save.prepare();

    arm(Fault::DeleteStuck);
    save.act();
    QVERIFY(disarm());
    QVERIFY(f.messages().infos.isEmpty());
    QCOMPARE(f.messages().errors.size(), 1);
    QVERIFY2(f.messages().errors.first().startsWith(QStringLiteral("磁盘读写出错，数据没有保存。")),
             qPrintable(f.messages().errors.first()));
    QVERIFY(hotJournal(f.book.path()));

    if (closing)
        f.book.context().database().close();
    else
        f.book.value(QStringLiteral("select count(*) from bmb"));
    QVERIFY(!hotJournal(f.book.path()));
    QCOMPARE(contents(f.book.path()), before);
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
