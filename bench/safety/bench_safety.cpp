// Times the safety net on a copy of the book benchmark's book (1,000,000
// entries per table):
// - a backup beside the sqlite3 shell's .backup of the same file, in the same
//   run (target: the copy at most 1.1 times the shell's), and the check with
//   the summary that follow it;
// - the list of 20 copies of that book as the dialog "备份与恢复" shows it
//   (target: 300 ms), with the copies' pages out of the page cache and in it;
// - undo and redo of a deletion (target: 20 ms each; no listing is shown, so
//   nothing is searched afterwards).
//
//   QT_QPA_PLATFORM=offscreen bench_safety [book folder] [work folder]
//
// The book is bench_book's (default /tmp/pelmora-bench-book, made there when
// missing) and is only read; the work folder (default /tmp/pelmora-bench-safety)
// holds a copy of it and about twenty more, all removed at the end.

#include "benchsupport.h"
#include "safety/backups.h"
#include "safety/entryjournal.h"
#include "safety/journal.h"
#include "safety/safetystate.h"
#include "safety/tbfhf.h"
#include "store/context.h"
#include "store/database.h"
#include "store/transaction.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTableWidget>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kRounds = 5;

void figure(bool met, const char* what, double value, double target)
{
    std::printf("  %-44s %9.1f ms  (target %.0f ms)%s\n", what, value, target,
                met ? "" : "  MISSED");
}

// Drops a file's pages from the page cache, so that the next read goes to the disk.
void forget(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void removeCopies(const QDir& work)
{
    QDir(work.filePath(QStringLiteral("backups"))).removeRecursively();
    for (const QString& name : work.entryList({QStringLiteral("*.mdb*")}, QDir::Files))
        QFile::remove(work.filePath(name));
}

// A consistent copy of the book (another benchmark may be writing it).
void copyOf(const QString& book, const QString& path)
{
    sqlite3* source = openRaw(book, SQLITE_OPEN_READONLY);
    sqlite3* copy = openRaw(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
    if (!backup || sqlite3_backup_step(backup, -1) != SQLITE_DONE) {
        std::fprintf(stderr, "copy to %s: %s\n", qPrintable(path), sqlite3_errmsg(copy));
        std::exit(1);
    }
    sqlite3_backup_finish(backup);
    sqlite3_close(copy);
    sqlite3_close(source);
}

double shellBackup(const QString& book, const QString& target)
{
    QProcess shell;
    const double ms = msOf([&] {
        shell.start(QStringLiteral("sqlite3"), {book, QStringLiteral(".backup '%1'").arg(target)});
        shell.waitForFinished(-1);
    });
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3 .backup: %s\n", shell.readAllStandardError().constData());
        std::exit(1);
    }
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString source = benchBook(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                              : QString::fromLatin1(kBenchBookFolder));
    const QDir work(argc > 2 ? QString::fromLocal8Bit(argv[2])
                             : QStringLiteral("/tmp/pelmora-bench-safety"));
    QDir().mkpath(work.path());
    removeCopies(work);
    const QString bookPath = work.filePath(QString::fromLatin1(kDatabaseFileName));
    copyOf(source, bookPath);

    QuietMessages messages;
    Context context(bookPath, messages);
    Database& book = context.database();
    book.ensureOpen();
    std::printf("book: %s, %.1f MB\n\n", qPrintable(bookPath),
                QFileInfo(bookPath).size() / 1048576.0);

    // 1. A backup against the shell's, alternately, the page cache warm for both.
    std::vector<double> shell, copy, checkMs, summaryMs;
    const Progress progress = [](qint64, qint64) {
        return true;
    };
    const QString shellCopy = work.filePath(QStringLiteral("shell.mdb"));
    const QString ourCopy = work.filePath(QStringLiteral("ours.mdb"));
    shellBackup(bookPath, shellCopy); // warms the cache
    QFile::remove(shellCopy);
    for (int round = 0; round < kRounds; ++round) {
        shell.push_back(shellBackup(bookPath, shellCopy));
        QFile::remove(shellCopy);
        // What writeBackup does, step by step: the copy, its check, its summary.
        copy.push_back(msOf([&] { book.backupTo(ourCopy, progress); }));
        QString verdict;
        checkMs.push_back(msOf([&] { verdict = quickCheckFile(ourCopy); }));
        summaryMs.push_back(msOf([&] { writeSummary(ourCopy); }));
        QFile::remove(ourCopy);
        if (verdict != QLatin1String("ok")) {
            std::fprintf(stderr, "check: %s\n", qPrintable(verdict));
            return 1;
        }
    }
    QString made;
    const double whole = msOf([&] { made = writeBackup(book, CopyReason::Manual); });
    const double ratio = median(copy) / median(shell);
    std::printf("backup of the book (median of %d, page cache warm)\n", kRounds);
    std::printf("  sqlite3 shell .backup                       %9.1f ms\n", median(shell));
    std::printf("  our copy (online backup, 1024 pages a step) %9.1f ms  ratio %.2f (target "
                "1.10)%s\n",
                median(copy), ratio, ratio <= 1.1 ? "" : "  MISSED");
    std::printf("  quick_check of the copy                     %9.1f ms\n", median(checkMs));
    std::printf("  summary written into the copy               %9.1f ms\n", median(summaryMs));
    std::printf("  writeBackup as a whole                      %9.1f ms\n\n", whole);

    // 2. The dialog's list of 20 copies of the book.
    const QDir backups(backupFolder(bookPath));
    const QDateTime first = copyMoment(made);
    for (int i = 1; i < 20; ++i)
        if (!QFile::copy(made,
                         backups.filePath(backupCopyName(first.addDays(-i), CopyReason::Auto)))) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(made));
            return 1;
        }
    std::vector<double> cold, warm;
    int rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (const QString& name : backups.entryList(QDir::Files))
            forget(backups.filePath(name));
        cold.push_back(msOf([&] {
            Tbfhf dialog(context);
            rows = dialog.Grid_backups->rowCount();
        }));
        warm.push_back(msOf([&] { Tbfhf dialog(context); }));
    }
    std::printf("list of %d copies of %.1f MB in the dialog (median of %d)\n",
                int(listBackups(bookPath).size()), QFileInfo(made).size() / 1048576.0, kRounds);
    figure(median(cold) <= 300, "pages out of the cache", median(cold), 300);
    figure(median(warm) <= 300, "pages in the cache", median(warm), 300);
    std::printf("\n");

    // 3. Undo and redo of a deletion.
    std::vector<double> undos, redos;
    for (int i = 0; i < 10; ++i) {
        const qint64 uid = 500000 + i;
        {
            Transaction t(book);
            checkGeneration(context);
            const EntrySnapshot before(book, EntryKind::Expense, uid);
            book.execute(QStringLiteral("delete from zcb where uid=?"), {uid});
            recordAction(book, before.deleted());
            t.commit();
        }
        const qint64 number = nextUndo(book)->number;
        StepOutcome undone = StepOutcome::Moved, redone = StepOutcome::Moved;
        undos.push_back(msOf([&] { undone = undoAction(context, number); }));
        redos.push_back(msOf([&] { redone = redoAction(context, number); }));
        if (undone != StepOutcome::Done || redone != StepOutcome::Done) {
            std::fprintf(stderr, "undo or redo did not run\n");
            return 1;
        }
    }
    // For comparison: the deletion alone, as a transaction of its own without the journal.
    std::vector<double> bare;
    for (int i = 0; i < 10; ++i) {
        const qint64 uid = 600000 + i;
        bare.push_back(msOf([&] {
            Transaction t(book);
            book.execute(QStringLiteral("delete from zcb where uid=?"), {uid});
            t.commit();
        }));
    }
    // And the undo's own work: inside an enclosing transaction its commit is a
    // savepoint's release, which syncs nothing.
    std::vector<double> unsynced;
    {
        const qint64 number = nextUndo(book)->number;
        Transaction enclosing(book);
        for (int i = 0; i < 10; ++i)
            unsynced.push_back(msOf([&] {
                                   undoAction(context, number);
                                   redoAction(context, number);
                               }) /
                               2);
    }
    std::printf("undo and redo of a deletion (median of 10, largest)\n");
    std::printf("  %-44s %9.2f ms\n", "the same, without syncing (each)", median(unsynced));
    std::printf("  %-44s %9.1f ms\n", "for comparison: a bare deletion's transaction",
                median(bare));
    figure(median(undos) <= 20, "undo", median(undos), 20);
    std::printf("  %-44s %9.1f ms\n", "undo, largest",
                *std::max_element(undos.begin(), undos.end()));
    figure(median(redos) <= 20, "redo", median(redos), 20);
    std::printf("  %-44s %9.1f ms\n", "redo, largest",
                *std::max_element(redos.begin(), redos.end()));

    context.database().close();
    removeCopies(work);
    std::printf("\nerrors shown: %d\n", messages.errors);
    return messages.errors == 0 && rows == 20 ? 0 : 1;
}
