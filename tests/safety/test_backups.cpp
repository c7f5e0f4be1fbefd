#include "app/mainform.h"
#include "maintenance/txtwh.h"
#include "safety/backups.h"
#include "safety/journal.h"
#include "safety/safetystate.h"
#include "safety/tbfhf.h"
#include "store/storeerror.h"
#include "store/transaction.h"
#include "testsupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kChildSwitch[] = "--back-up";

// The child: writes manual copies one after another, saying so after each.
int backUpForever(const QString& path)
{
    try {
        Database book(QStringLiteral("child"), path);
        for (;;) {
            writeBackup(book, CopyReason::Manual);
            if (::write(STDOUT_FILENO, "x\n", 2) != 2)
                return 2;
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}

QStringList copiesIn(const TestBook& book)
{
    return QDir(backupFolder(book.path())).entryList(QDir::Files);
}

QString firstCell(const QString& file, const char* sql)
{
    return AnotherProgram(file).column(QString::fromLatin1(sql)).value(0);
}

// Entry counts of both kinds, then the remarks in order.
QString entriesOf(const QString& file)
{
    return firstCell(file, "select (select count(*) from srb) || '/' || (select count(*) from "
                           "zcb) || '/' || (select group_concat(srsm) from srb)");
}

ino_t inodeOf(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

struct CommandRun
{
    int status = -1;
    QString out;
    QString err;
};

CommandRun runPelmora(const QString& folder, const QStringList& arguments)
{
    QProcess child;
    child.setWorkingDirectory(folder);
    child.start(QStringLiteral(PELMORA_BINARY), arguments);
    child.waitForFinished(30000);
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            QString::fromLocal8Bit(child.readAllStandardOutput()),
            QString::fromLocal8Bit(child.readAllStandardError())};
}

} // namespace

class TestBackups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepingRule_data();
    void keepingRule();
    void killDuringBackupLeavesBookAndNoHalfCopy();
    void listShowsTheCopiesFromTheirSummaries();
    void maintenanceWindowOpensTheDialog();
    void restoreRefusesWhatIsNoSoundBook_data();
    void restoreRefusesWhatIsNoSoundBook();
    void restoreReplacesTheBookInPlace();
    void restoreKeepsACopyOfADamagedBook();
    void automaticCopies();
    void commandLine();
};

void TestBackups::keepingRule_data()
{
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QStringList>("removed");
    QStringList daily;
    for (int day = 1; day <= 30; ++day)
        daily
            << QStringLiteral("vandrel-202612%1-120000-auto.mdb").arg(day, 2, 10, QLatin1Char('0'));
    daily << QStringLiteral("vandrel-20261115-120000-auto.mdb")
          << QStringLiteral("vandrel-20261130-080000-auto.mdb");
    QStringList dailyRemoved = daily.mid(0, 20);
    dailyRemoved << QStringLiteral("vandrel-20261115-120000-auto.mdb");
    QTest::newRow("ten days, then one a month") << daily << dailyRemoved;
    QTest::newRow("the newest of a day, by its number")
        << QStringList{QStringLiteral("vandrel-20261208-090000-auto.mdb"),
                       QStringLiteral("vandrel-20261208-120000-auto-2.mdb"),
                       QStringLiteral("vandrel-20261208-120000-auto.mdb")}
        << QStringList{QStringLiteral("vandrel-20261208-090000-auto.mdb"),
                       QStringLiteral("vandrel-20261208-120000-auto.mdb")};
    QStringList monthly;
    for (int month = 0; month < 14; ++month)
        monthly << backupCopyName(QDateTime(QDate(2025, 1, 1).addMonths(month), QTime(9, 0)),
                                  CopyReason::Auto);
    QTest::newRow("twelve months that have one") << monthly << monthly.mid(0, 2);
}

void TestBackups::keepingRule()
{
    QFETCH(QStringList, copies);
    QFETCH(QStringList, removed);
    QList<CopyName> names;
    for (const QString& copy : copies)
        names << *parseCopyName(copy);
    QStringList actual;
    for (qsizetype i : copiesToRemove(names))
        actual << copies.at(i);
    actual.sort();
    removed.sort();
    QCOMPARE(actual, removed);
}

void TestBackups::killDuringBackupLeavesBookAndNoHalfCopy()
{
    TestBook book;
    book.addIncomes(5000, QStringLiteral("'2005-11-05'"), QStringLiteral("n"),
                    QStringLiteral("printf('%080d', n)"));
    book.context().database().close();
    const QByteArray before = readFile(book.path());
    QRandomGenerator random(QRandomGenerator::global()->generate());
    for (int run = 0; run < 5; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kChildSwitch), book.path()});
        QVERIFY(child.waitForReadyRead(20000));
        QThread::usleep(random.bounded(100000));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
    }
    QCOMPARE(readFile(book.path()), before);
    // Every copy under its own name is whole, checked and summarised.
    const QStringList copies = copiesIn(book);
    QVERIFY(copies.size() >= 5);
    for (const QString& name : copies) {
        const QString copy = QDir(backupFolder(book.path())).filePath(name);
        QVERIFY2(parseCopyName(name), qPrintable(name));
        QCOMPARE(firstCell(copy, "pragma quick_check"), QStringLiteral("ok"));
        QCOMPARE(firstCell(copy, "select srbs || '/' || zcbs || '/' || zhrq from bfxx"),
                 QStringLiteral("5000/0/2005-11-05"));
    }
}

void TestBackups::listShowsTheCopiesFromTheirSummaries()
{
    TestBook book;
    book.addIncomes(3);
    Database& db = book.context().database();
    const QDateTime moment(QDate(2026, 12, 8), QTime(15, 30, 12));
    writeBackup(db, CopyReason::Auto, moment);
    book.exec(QStringLiteral("insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) "
                             "values(#2026-12-01#,'01','餐饮',35,'','202612')"));
    const QString manual = writeBackup(db, CopyReason::Manual, moment.addSecs(60));
    // The list reads the summary, not the entries.
    QVERIFY(AnotherProgram(manual).exec("delete from srb"));
    QVERIFY(QFile::copy(
        book.path(),
        QDir(book.dir()).filePath(QStringLiteral("vandrel-backup-20261208-153013.mdb"))));

    Tbfhf dialog(book.context());
    QCOMPARE(dialog.objectName(), QStringLiteral("bfhf"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("备份与恢复"));
    QTableWidget* grid = dialog.Grid_backups;
    auto row = [&](int r) {
        QStringList cells;
        for (int c = 1; c < grid->columnCount(); ++c)
            if (c != 2)
                cells << grid->item(r, c)->text();
        return grid->item(r, 0)->text() + QLatin1Char('|') + cells.join(QLatin1Char('|'));
    };
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(row(0), QStringLiteral("2026-12-08 15:31:12|手动|3|1|2026-12-01"));
    QCOMPARE(row(1), QStringLiteral("2026-12-08 15:30:13|安全副本（旧版）|||"));
    QCOMPARE(row(2), QStringLiteral("2026-12-08 15:30:12|自动|3|0|2005-11-05"));
    QVERIFY(grid->item(0, 2)->text().endsWith(QStringLiteral(" KB")));

    dialog.BitBtn_backupnow->click();
    QCOMPARE(grid->rowCount(), 4);
    const QString made = QFileInfo(grid->item(0, 0)->data(Qt::UserRole).toString()).fileName();
    QVERIFY2(made.endsWith(QStringLiteral("-manual.mdb")), qPrintable(made));
    QCOMPARE(book.messages().infos, QStringList{QStringLiteral("备份完成：") + made});
    QCOMPARE(grid->selectedItems().value(0)->row(), 0);
}

void TestBackups::maintenanceWindowOpensTheDialog()
{
    WindowFixture<Txtwh> f;
    QVERIFY(f.show());
    QPushButton* open = f.child<QPushButton>("BitBtn_backup");
    QCOMPARE(open->text(), QStringLiteral("备份与恢复"));
    QString seen;
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            seen = dialog->objectName() + QLatin1Char('|') + dialog->windowTitle();
            dialog->findChild<QPushButton*>(QStringLiteral("BitBtn_close"))->click();
        }
    });
    open->click();
    QCOMPARE(seen, QStringLiteral("bfhf|备份与恢复"));
}

void TestBackups::restoreRefusesWhatIsNoSoundBook_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    QTest::newRow("damaged") << "damage"
                             << "所选备份已损坏。";
    QTest::newRow("not a database") << "text"
                                    << "所选文件不是本程序的数据库。";
    QTest::newRow("other tables") << "drop table bmb"
                                  << "所选文件不是本程序的数据库。";
    QTest::newRow("trigger") << "create trigger t after insert on srb begin delete from zcb; end"
                             << "所选备份含有本程序没有创建的触发器或视图（t）。";
    QTest::newRow("view") << "create view v as select * from srb"
                          << "所选备份含有本程序没有创建的触发器或视图（v）。";
}

void TestBackups::restoreRefusesWhatIsNoSoundBook()
{
    QFETCH(QString, how);
    QFETCH(QString, reason);
    TestBook book;
    book.addIncomes(1000, QStringLiteral("'2005-11-05'"), QStringLiteral("n"),
                    QStringLiteral("printf('%0100d', n)"));
    Database& db = book.context().database();
    const QString copy = writeBackup(db, CopyReason::Manual);
    if (how == QLatin1String("damage"))
        QVERIFY(damageLeafPage(copy, QStringLiteral("srb")) > 0);
    else if (how == QLatin1String("text"))
        writeFile(copy, "not a book at all");
    else
        QVERIFY(AnotherProgram(copy).exec(how.toUtf8().constData()));
    book.exec(QStringLiteral("delete from srb where uid > 10"));
    const QString entries = entriesOf(book.path());

    QString message;
    try {
        restoreBook(db, copy);
    } catch (const StoreError& e) {
        message = e.message();
    }
    QCOMPARE(message.section(QLatin1Char('\n'), 0, 0), QStringLiteral("恢复未进行：") + reason);
    QVERIFY(message.contains(QDir::toNativeSeparators(copy)));
    QCOMPARE(entriesOf(book.path()), entries);
    QCOMPARE(copiesIn(book), QStringList{QFileInfo(copy).fileName()});
}

void TestBackups::restoreReplacesTheBookInPlace()
{
    TestBook book;
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-05#,'01','工资',10,'kept','200511')"));
    Database& db = book.context().database();
    const QString copy =
        writeBackup(db, CopyReason::Manual, QDateTime(QDate(2026, 12, 8), QTime(15, 30, 12)));
    // A copy an older version wrote lacks the journal; the book gains it again.
    QVERIFY(AnotherProgram(copy).exec("drop table czrz; pragma user_version=4"));
    book.exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) "
                             "values(#2005-11-06#,'01','工资',20,'later','200511')"));
    {
        Transaction t(db);
        recordAction(db, {QStringLiteral("save"), QStringLiteral("x"), {}, {EntryKind::Income}});
        t.commit();
    }
    book.exec(QStringLiteral("pragma user_version=2"));
    QFile::setPermissions(book.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const ino_t inode = inodeOf(book.path());
    AnotherProgram other(book.path());
    QCOMPARE(other.column(QStringLiteral("select count(*) from srb")), QStringList{"2"});

    // The book window is open in the main window; it lists the old book.
    TMainForm main(book.messages(), book.path());
    main.menuEntry(TMainForm::SZGL)->trigger();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QSignalSpy replaced(&main.context(), &Context::bookReplaced);

    Tbfhf dialog(main.context());
    dialog.BitBtn_restore->click();
    QCOMPARE(book.messages().infos, QStringList{QStringLiteral("请先在列表中选择要恢复的备份。")});
    book.messages().clear();
    dialog.Grid_backups->selectRow(0);
    book.messages().answers = {false};
    dialog.BitBtn_restore->click();
    QCOMPARE(entriesOf(book.path()), QStringLiteral("2/0/kept,later"));
    dialog.BitBtn_restore->click();
    QCOMPARE(book.messages().questions,
             QStringList(2, QStringLiteral("是否用 2026-12-08 15:30:12 的备份替换当前数据库？"
                                           "替换前将自动保存当前数据库的安全副本。")));
    QCOMPARE(book.messages().infos,
             QStringList{QStringLiteral("数据库已恢复到 2026-12-08 15:30:12 的备份。")});
    QCOMPARE(book.messages().errors, QStringList());

    QCOMPARE(entriesOf(book.path()), QStringLiteral("1/0/kept"));
    QCOMPARE(firstCell(book.path(), "select count(*) from czrz"), QStringLiteral("0"));
    QCOMPARE(firstCell(book.path(), "pragma user_version"), QStringLiteral("5"));
    QCOMPARE(firstCell(book.path(), "select count(*) from sqlite_master where name='bfxx'"),
             QStringLiteral("0"));
    // Same file, same mode, and another program's connection reads the copy.
    QCOMPARE(inodeOf(book.path()), inode);
    QCOMPARE(QFile::permissions(book.path()).toInt() & 0x7077, 0x6040);
    QCOMPARE(other.column(QStringLiteral("select srsm from srb")), QStringList{"kept"});
    // The book as it was is kept; the windows that listed it closed.
    const QStringList copies = copiesIn(book);
    QCOMPARE(copies.size(), 2);
    const QString kept = QDir(backupFolder(book.path())).filePath(copies.last());
    QVERIFY2(kept.endsWith(QStringLiteral("-restore.mdb")), qPrintable(kept));
    QCOMPARE(entriesOf(kept), QStringLiteral("2/0/kept,later"));
    QCOMPARE(replaced.size(), 1);
    settle();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 0);
    QCOMPARE(dialog.Grid_backups->rowCount(), 2);
}

void TestBackups::restoreKeepsACopyOfADamagedBook()
{
    TestBook book;
    book.addIncomes(3000, QStringLiteral("'2005-11-05'"), QStringLiteral("n"),
                    QStringLiteral("printf('%0100d', n)"));
    Database& db = book.context().database();
    const QString copy = writeBackup(db, CopyReason::Manual);
    QVERIFY(damageLeafPage(book.path(), QStringLiteral("srb")) > 0);
    const QString kept = restoreBook(db, copy);
    QVERIFY(kept.endsWith(QStringLiteral("-restore.mdb")));
    // It holds the damaged page as the book did.
    QVERIFY(!AnotherProgram(kept).exec("select sum(length(srsm)) from srb not indexed"));
    QCOMPARE(firstCell(book.path(), "pragma integrity_check"), QStringLiteral("ok"));
    QCOMPARE(firstCell(book.path(), "select count(*) from srb"), QStringLiteral("3000"));
}

void TestBackups::automaticCopies()
{
    TestBook book;
    Context& context = book.context();
    auto automatic = [&] {
        return copiesIn(book).filter(QStringLiteral("-auto"));
    };
    // The main window writes one once the user has signed in.
    {
        TMainForm main(book.messages(), book.path());
        main.setUserName(QStringLiteral("admin"));
        QVERIFY(automatic().isEmpty());
        settle();
        QCOMPARE(automatic().size(), 1);
    }
    // The newest automatic copy is less than a day old.
    automaticCopyAfterSignIn(context, nullptr);
    QCOMPARE(automatic().size(), 1);
    QVERIFY(QFile::rename(
        QDir(backupFolder(book.path())).filePath(automatic().first()),
        QDir(backupFolder(book.path()))
            .filePath(backupCopyName(QDateTime::currentDateTime().addDays(-2), CopyReason::Auto))));
    automaticCopyAfterSignIn(context, nullptr);
    QCOMPARE(automatic().size(), 2);

    // At the end, only after a run that changed the book.
    automaticCopyAtExit(context, nullptr);
    QCOMPARE(automatic().size(), 2);
    context.announceCategories(nullptr);
    const QString folder = backupFolder(book.path());
    QVERIFY(QDir(folder).removeRecursively());
    writeFile(folder, "in the way");
    automaticCopyAtExit(context, nullptr);
    QCOMPARE(book.messages().infos.size(), 1);
    QVERIFY2(book.messages().infos.first().startsWith(QStringLiteral("自动备份失败：")),
             qPrintable(book.messages().infos.first()));
    QVERIFY(book.messages().errors.isEmpty());
}

void TestBackups::commandLine()
{
    TestBook book;
    book.addIncomes(2);
    book.context().database().close();
    const CommandRun backup = runPelmora(book.dir(), {QStringLiteral("backup")});
    QCOMPARE(backup.status, 0);
    QVERIFY2(backup.out.startsWith(QStringLiteral("copy written: backups/vandrel-")),
             qPrintable(backup.out));
    const QString copy =
        QDir(book.dir()).filePath(backup.out.trimmed().section(QLatin1Char(' '), 2));
    const CommandRun list = runPelmora(book.dir(), {QStringLiteral("backups")});
    QCOMPARE(list.status, 0);
    QCOMPARE(list.out.trimmed().split(QLatin1Char('\t')).mid(3),
             QStringList({QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("2005-11-05"),
                          QDir(book.dir()).relativeFilePath(copy)}));

    AnotherProgram(book.path()).exec("delete from srb");
    const CommandRun restore = runPelmora(book.dir(), {QStringLiteral("restore"), copy});
    QCOMPARE(restore.status, 0);
    QCOMPARE(entriesOf(book.path()).left(4), QStringLiteral("2/0/"));
    QCOMPARE(runPelmora(book.dir(), {QStringLiteral("restore")}).status, 2);
    const CommandRun refused = runPelmora(book.dir(), {QStringLiteral("restore"), book.dir()});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.startsWith(QStringLiteral("pelmora: 恢复未进行：")),
             qPrintable(refused.err));
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], kChildSwitch) == 0) {
        QCoreApplication app(argc, argv);
        return backUpForever(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestBackups test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_backups.moc"
