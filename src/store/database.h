#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

inline constexpr char kDatabaseFileName[] = "vandrel.mdb";

// One connection to the book's database file. It opens on first use and never
// creates the file: a missing, empty or foreign file is a failed connection.
class Database final
{
public:
    // path: the database file; a relative path is taken in the working directory.
    Database(const QString& connectionName,
             const QString& path = QString::fromLatin1(kDatabaseFileName));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the connection unless it is open; throws StoreError on failure.
    void ensureOpen();
    bool isOpen() const;
    void close();

    QSqlDatabase connection() const;
    const QString& path() const { return m_path; }
    const QString& connectionName() const { return m_name; }

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
    // only, through SQLite's online backup: consistent even while the book is
    // open and read. An existing file is never replaced. Throws StoreError; a
    // partial copy is removed.
    void backupTo(const QString& target);

    // Milliseconds a statement waits for another program's lock before failing.
    static constexpr int busyTimeoutMs = 3000;

private:
    QString m_name;
    QString m_path;
    StatementLog m_log;
};

// The statements that create an empty book with its indexes and the initial user.
QStringList schemaStatements();

// Creates a fresh database file at path, readable by its owner only. Refuses
// an existing file, also one that appears while the book is being built.
// Returns false and sets the error text on failure.
bool createDatabase(const QString& path, QString* error = nullptr);

// Renames from to to in one step that fails when to exists (nothing is ever
// replaced). Returns false and sets the error text on failure.
bool moveIntoPlace(const QString& from, const QString& to, QString* error = nullptr);

// Replaces sum() on a raw SQLite connection by one that adds amounts exactly
// to the cent. Every connection of the program gets it.
bool installExactSum(void* sqliteHandle);
