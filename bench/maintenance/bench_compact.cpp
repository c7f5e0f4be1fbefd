// Times "压缩数据库" on a copy of the book benchmark's book (1,000,000 entries
// per table) after every second entry was deleted, beside the raw engine doing
// the same work (online backup, then VACUUM) on another such copy.
//
//   QT_QPA_PLATFORM=offscreen bench_compact [book folder] [work folder]
//
// The book is bench_book's (default /tmp/pelmora-bench-book, made there when
// missing) and is only read; the copies live in the work folder (default
// /tmp/pelmora-bench-compact) and are removed at the end.

#include "benchsupport.h"
#include "maintenance/maintenancesql.h"
#include "maintenance/txtwh.h"
#include "store/context.h"
#include "store/database.h"
#include "store/numbers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <cstdio>

namespace {

void backupRaw(sqlite3* source, const QString& target)
{
    sqlite3* copy = openRaw(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
    if (!backup || sqlite3_backup_step(backup, -1) != SQLITE_DONE) {
        std::fprintf(stderr, "backup to %s: %s\n", qPrintable(target), sqlite3_errmsg(copy));
        std::exit(1);
    }
    sqlite3_backup_finish(backup);
    sqlite3_close(copy);
}

// A consistent copy of the book (another benchmark may be writing it) with
// every second entry deleted.
void prepare(const QString& book, const QString& path)
{
    sqlite3* source = openRaw(book, SQLITE_OPEN_READONLY);
    backupRaw(source, path);
    sqlite3_close(source);
    sqlite3* db = openRaw(path);
    execRaw(db, "pragma synchronous=OFF; begin; delete from srb where uid % 2 = 0; "
                "delete from zcb where uid % 2 = 0; commit");
    sqlite3_close(db);
}

QString integrity(const QString& path)
{
    sqlite3* db = openRaw(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* st = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db,
                           "select (select count(*) from srb) || ' + ' || (select count(*) from "
                           "zcb) || ' entries, ' || (select group_concat(integrity_check) from "
                           "pragma_integrity_check)",
                           -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        result = columnText(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

void removeCopies(const QDir& work)
{
    for (const QString& name : work.entryList({QStringLiteral("*.mdb*")}, QDir::Files))
        QFile::remove(work.filePath(name));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString book = benchBook(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                            : QString::fromLatin1(kBenchBookFolder));
    const QDir work(argc > 2 ? QString::fromLocal8Bit(argv[2])
                             : QStringLiteral("/tmp/pelmora-bench-compact"));
    QDir().mkpath(work.path());
    removeCopies(work);
    const QString ours = work.filePath(QString::fromLatin1(kDatabaseFileName));
    const QString raw = work.filePath(QStringLiteral("raw.mdb"));
    QElapsedTimer timer;
    timer.start();
    prepare(book, ours);
    prepare(book, raw);
    std::printf("two copies with every second entry deleted in %.1f s\n\n",
                timer.nsecsElapsed() / 1e9);

    // Through the window: safety copy and VACUUM on the book's own connection.
    const qint64 before = QFileInfo(ours).size();
    double oursMs = 0;
    int errors = 0;
    QString message;
    {
        QuietMessages messages;
        Context context(ours, messages);
        Txtwh window(context);
        window.show();
        QCoreApplication::processEvents();
        timer.restart();
        window.BitBtn_yasuo->click();
        oursMs = timer.nsecsElapsed() / 1e6;
        message = messages.last;
        errors = messages.errors;
    }
    const qint64 after = QFileInfo(ours).size();

    // The raw engine: the same backup and VACUUM.
    sqlite3* db = openRaw(raw);
    execRaw(db, "pragma synchronous=FULL");
    timer.restart();
    backupRaw(db, work.filePath(QStringLiteral("raw-backup.mdb")));
    const double rawCopyMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    execRaw(db, "vacuum");
    const double rawVacuumMs = timer.nsecsElapsed() / 1e6;
    sqlite3_close(db);

    std::printf("compaction of the book after deleting every second entry\n");
    std::printf("  size before        %12s (%lld bytes)\n", qPrintable(fileSizeText(before)),
                static_cast<long long>(before));
    std::printf("  size after         %12s (%lld bytes), %.1f %% of before\n",
                qPrintable(fileSizeText(after)), static_cast<long long>(after),
                100.0 * after / before);
    std::printf("  raw engine after   %12s\n", qPrintable(fileSizeText(QFileInfo(raw).size())));
    std::printf("  ours (copy + VACUUM)       %10.0f ms\n", oursMs);
    std::printf("  raw (backup + VACUUM)      %10.0f ms  (backup %.0f ms, VACUUM %.0f ms)\n",
                rawCopyMs + rawVacuumMs, rawCopyMs, rawVacuumMs);
    std::printf("  ratio                      %10.2fx\n", oursMs / (rawCopyMs + rawVacuumMs));
    std::printf("  message: %s\n", qPrintable(QString(message).replace(QLatin1Char('\n'), " / ")));
    std::printf("  book after: %s\n", qPrintable(integrity(ours)));
    removeCopies(work);
    std::printf("errors shown: %d\n", errors);
    return errors == 0 && message.startsWith(QStringLiteral("数据库压缩完成！")) ? 0 : 1;
}
