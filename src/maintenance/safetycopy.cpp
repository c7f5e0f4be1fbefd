#include "maintenance/safetycopy.h"

#include "maintenance/maintenancesql.h"
#include "store/database.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <sqlite3.h>

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool pathTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink(); // a dangling link is in the way as well
}

} // namespace

bool copyDatabaseTo(Database& database, const QString& target, QString* error)
{
    try {
        database.ensureOpen();
    } catch (const StoreError& e) {
        return fail(error, e.message());
    }
    const QVariant handle = database.connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return fail(error, QStringLiteral("the book is not an SQLite database"));
    sqlite3* source = *static_cast<sqlite3* const*>(handle.constData());
    if (!source)
        return fail(error, QStringLiteral("the book is not open"));
    if (pathTaken(target))
        return fail(error,
                    QStringLiteral("%1 already exists").arg(QDir::toNativeSeparators(target)));

    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(target.toUtf8().constData(), &copy,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString reason;
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup) {
            reason = QString::fromUtf8(sqlite3_errmsg(copy));
        } else {
            // One step copies every page under one read lock of the book.
            rc = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE)
                reason = QString::fromUtf8(sqlite3_errstr(rc));
            else if (finished != SQLITE_OK)
                reason = QString::fromUtf8(sqlite3_errmsg(copy));
        }
    } else {
        reason =
            copy ? QString::fromUtf8(sqlite3_errmsg(copy)) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    if (sqlite3_close(copy) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("the copy could not be closed");
    if (!reason.isEmpty()) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        return fail(error, reason);
    }
    return true;
}

SafetyCopy writeSafetyCopy(Database& database, const QString& folder, const QDateTime& moment)
{
    const QDir dir(folder);
    SafetyCopy result;
    // Two resets within one second (or leftover files) must never overwrite a copy.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = dir.absoluteFilePath(safetyCopyName(moment, attempt));
        if (pathTaken(path))
            continue;
        result.path = path;
        result.written = copyDatabaseTo(database, path, &result.error);
        return result;
    }
    result.path = dir.absoluteFilePath(safetyCopyName(moment));
    result.error = QStringLiteral("every name for the copy is taken");
    return result;
}
