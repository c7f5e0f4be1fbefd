#include "store/bookcopy.h"

#include "store/database.h"
#include "store/draftfile.h"
#include "store/fileconnection.h"
#include "store/storeerror.h"

#include <sqlite3.h>

void copyPages(sqlite3* destination, sqlite3* source, int busyTimeoutMs, const Progress& progress)
{
    sqlite3_backup* backup = sqlite3_backup_init(destination, "main", source, "main");
    if (!backup)
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(destination)),
                         sqlite3_extended_errcode(destination));
    constexpr int kPagesPerStep = 1024;
    int rc = SQLITE_OK;
    int waited = 0;
    bool stopped = false;
    while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (rc == SQLITE_DONE)
            break;
        const int total = sqlite3_backup_pagecount(backup);
        if (progress && !progress(total - sqlite3_backup_remaining(backup), total)) {
            stopped = true;
            break;
        }
        // Another program writing: wait for it as long as a statement would.
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (waited >= busyTimeoutMs)
                break;
            waited += sqlite3_sleep(20);
        }
    }
    const int finished = sqlite3_backup_finish(backup);
    if (stopped)
        throw Cancelled();
    if (rc != SQLITE_DONE)
        throw StoreError(QString::fromUtf8(sqlite3_errstr(rc)), rc);
    if (finished != SQLITE_OK)
        throw StoreError(QString::fromUtf8(sqlite3_errmsg(destination)),
                         sqlite3_extended_errcode(destination));
}

void copyBookFile(const QString& source, const QString& target, const Progress& progress)
{
    FileConnection from(source, FileConnection::Access::ReadOnly);
    DraftFile copy(temporaryFileBeside(target));
    {
        FileConnection to(copy.path(), FileConnection::Access::ReadWrite);
        copyPages(to.handle(), from.handle(), Database::defaultBusyTimeoutMs, progress);
        to.close();
    }
    copy.moveTo(target);
}

void writeIntoBook(Database& book, const QString& source, const Progress& progress)
{
    if (book.inTransaction())
        throw StoreError(QStringLiteral("the book is in the middle of a change"));
    FileConnection from(source, FileConnection::Access::ReadOnly);
    copyPages(book.handle(), from.handle(), book.busyTimeoutMs(), progress);
}
