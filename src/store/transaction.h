#pragma once

#include <QString>

class Database;

// All or nothing: a transaction that commits only when commit() is called and
// rolls back when it goes out of scope unfinished (a return, a thrown failure).
// The outermost one takes the book's write lock at once (BEGIN IMMEDIATE), so
// that what it reads cannot change before it writes; one opened inside another
// is a savepoint of it.
class Transaction final
{
public:
    // Throws StoreError when the book cannot be locked for writing.
    explicit Transaction(Database& database);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Throws StoreError; the transaction is then rolled back.
    void commit();

private:
    void rollback() noexcept;

    Database& m_database;
    QString m_savepoint; // empty for the outermost transaction
    bool m_open = false;
};

// Many reads that see one state of the book: the file is locked for reading
// once for all of them, not again for each statement (which costs two system
// calls a statement). Writers wait until it ends. Inside a transaction it does
// nothing.
class ReadSnapshot final
{
public:
    // Throws StoreError.
    explicit ReadSnapshot(Database& database);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    Database& m_database;
    bool m_open = false;
};

// Work that changes many rows in one transaction (an import of a statement, its
// undo): the connection keeps up to megabytes of pages in memory meanwhile, so
// that the engine does not write changed pages out early and again later.
// Restores the connection's own limit when it ends.
class LargeCache final
{
public:
    // Throws StoreError.
    LargeCache(Database& database, int megabytes);
    ~LargeCache();
    LargeCache(const LargeCache&) = delete;
    LargeCache& operator=(const LargeCache&) = delete;

private:
    Database& m_database;
    qint64 m_previous = 0;
};
