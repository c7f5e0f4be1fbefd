#pragma once

#include "store/progress.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

struct sqlite3;

inline constexpr char kDatabaseFileName[] = "vandrel.mdb";

// One connection to the book's database file. It opens on first use and never
// creates the file: a missing, empty or foreign file is a failed connection.
// Every failure throws StoreError with the engine's message and extended code.
class Database final
{
public:
    // Milliseconds a statement waits for another program's lock before failing.
    static constexpr int defaultBusyTimeoutMs = 3000;

    // path: the database file; a relative path is taken in the working directory.
    explicit Database(const QString& connectionName,
                      const QString& path = QString::fromLatin1(kDatabaseFileName),
                      int busyTimeoutMs = defaultBusyTimeoutMs);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the connection unless it is open. A book that can be written gains
    // the tables this version adds (ensureSchema); a read-only one opens as it is.
    void ensureOpen();
    bool isOpen() const;
    void close();
    // Whether the open book can only be read (a write-protected file).
    bool isReadOnly();

    QSqlDatabase connection() const;
    // The engine's connection; opens the book first.
    sqlite3* handle();
    const QString& path() const { return m_path; }
    const QString& connectionName() const { return m_name; }
    int busyTimeoutMs() const { return m_busyTimeoutMs; }

    // Runs one statement in SQLite's form whose result is not read, with its
    // ? placeholders bound to values in order. Returns the rows it changed.
    // progress: told now and then while the statement runs (a compaction takes
    // seconds); when it says stop, the statement is interrupted, its changes
    // roll back, and Cancelled is thrown.
    int execute(const QString& statement, const QVariantList& values = {},
                const Progress& progress = {});
    // The entry number the last insert on this connection was given.
    qint64 lastInsertId();
    // Whether a transaction is open on the connection.
    bool inTransaction();
    // Whether the book has the table (a read-only book may lack an added one).
    // Asks the connection's schema, no statement.
    bool hasTable(const QString& name);

    // Every statement text, in the program's dialect, is passed to the log
    // before it runs (tests compare them with the expected texts).
    using StatementLog = std::function<void(const QString&)>;
    void setStatementLog(StatementLog log) { m_log = std::move(log); }
    void noteStatement(const QString& statement) const
    {
        if (m_log)
            m_log(statement);
    }

    // Copies the book as it stands into target, a new file readable by its owner
    // only, through SQLite's online backup, a number of pages at a time. The copy
    // is built under a temporary name beside target and appears there only when
    // complete; an existing file is never replaced. Throws StoreError, or
    // Cancelled when progress says stop; nothing is left behind either way.
    void backupTo(const QString& target, const Progress& progress = {});

    // A write that failed on the disk can leave the book file holding part of
    // it, undone only by the hot journal beside it; anything that copies the
    // file alone would copy a change the user was told failed. noteFailure marks
    // the book for settling after such a failure and settles it at once when no
    // transaction is open; settle() reads once on the connection, which rolls
    // the journal back, and keeps the mark while the disk still refuses. It is
    // tried again before the next statement and when the connection closes.
    void noteFailure(int code);
    void settle() noexcept;
    bool unsettled() const { return m_unsettled; }

private:
    QString m_name;
    QString m_path;
    int m_busyTimeoutMs;
    StatementLog m_log;
    bool m_unsettled = false;
};

// The statements that create an empty book with its indexes and the initial user.
QStringList schemaStatements();

// Creates a fresh database file at path, readable by its owner only. Refuses
// an existing file, also one that appears while the book is being built.
// Throws StoreError.
void createDatabase(const QString& path);

// Renames from to to in one step that fails when to exists (nothing is ever
// replaced). Throws StoreError.
void moveIntoPlace(const QString& from, const QString& to);

// A new empty file beside path under a temporary name, readable by its owner
// only, to be moved into place when complete. Throws StoreError.
QString temporaryFileBeside(const QString& path);

// Replaces sum() on a raw SQLite connection by one that adds amounts exactly
// to the cent. Every connection of the program gets it.
bool installExactSum(void* sqliteHandle);
