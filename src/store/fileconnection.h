#pragma once

#include "store/progress.h"

#include <QList>
#include <QString>
#include <QVariant>

struct sqlite3;

// A connection of its own to a database file that is not the open book: a copy
// being checked, read or prepared, or a file being built. Its statements are
// Statements, bound and read as on the book. Failures throw StoreError with
// the engine's extended code and the plain words of storeMessage; a copy's
// damage keeps the engine's own words, which its callers tell as they need.
class FileConnection final
{
public:
    enum class Access
    {
        ReadOnly,
        ReadWrite,
        // A file this program has just made, read-write: its failures are all
        // told as the book's are, one to open it in the engine's words.
        NewFile,
    };

    FileConnection(const QString& path, Access access);
    ~FileConnection();
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;

    const QString& path() const { return m_path; }

    // Every row of one statement, its ? placeholders bound to values in order.
    // progress: told now and then while the statement runs (an integrity check
    // takes seconds); a stop interrupts it and throws Cancelled.
    QList<QVariantList> rows(const QString& text, const QVariantList& values = {},
                             const Progress& progress = {});
    // One statement whose rows are not read.
    void execute(const QString& text, const QVariantList& values = {});
    // Closes the connection now, so that a failure to finish the file is told.
    void close();

    // The engine's connection, only inside the store.
    sqlite3* handle() const { return m_db; }
    // Throws the StoreError for the connection's last failure; rc where the
    // connection itself could not be made.
    [[noreturn]] void fail(int rc) const { fail(rc, false); }

private:
    [[noreturn]] void fail(int rc, bool opening) const;

    QString m_path;
    Access m_access;
    sqlite3* m_db = nullptr;
};
