#include "store/transaction.h"

#include "store/database.h"
#include "store/statement.h"
#include "store/storeerror.h"

Transaction::Transaction(Database& database) : m_database(database)
{
    if (database.inTransaction()) {
        static int number = 0;
        m_savepoint = QStringLiteral("inner%1").arg(++number);
        database.execute(QStringLiteral("savepoint ") + m_savepoint);
    } else {
        database.execute(QStringLiteral("begin immediate"));
    }
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

void Transaction::commit()
{
    try {
        m_database.execute(m_savepoint.isEmpty() ? QStringLiteral("commit")
                                                 : QStringLiteral("release ") + m_savepoint);
        m_open = false;
    } catch (const StoreError&) {
        rollback();
        throw;
    }
}

void Transaction::rollback() noexcept
{
    m_open = false;
    try {
        // The engine rolls back by itself after some failures (a full disk, an
        // I/O error): then there is nothing left to undo.
        if (m_database.inTransaction()) {
            if (m_savepoint.isEmpty()) {
                m_database.execute(QStringLiteral("rollback"));
            } else {
                m_database.execute(QStringLiteral("rollback to ") + m_savepoint);
                m_database.execute(QStringLiteral("release ") + m_savepoint);
            }
        }
    } catch (...) {
        // Nothing can be reported from here; the engine undoes an unfinished
        // transaction from its journal at the latest when the book next opens.
    }
    // A write that failed inside the transaction may have left a hot journal.
    m_database.settle();
}

ReadSnapshot::ReadSnapshot(Database& database) : m_database(database)
{
    if (database.inTransaction())
        return;
    database.execute(QStringLiteral("begin"));
    m_open = true;
}

ReadSnapshot::~ReadSnapshot()
{
    if (!m_open || !m_database.inTransaction())
        return;
    try {
        m_database.execute(QStringLiteral("rollback"));
    } catch (...) {
        // A read leaves nothing to undo; the lock goes with the connection.
    }
}

LargeCache::LargeCache(Database& database, int megabytes) : m_database(database)
{
    {
        Statement size(database, QStringLiteral("pragma cache_size"));
        m_previous = size.step() ? size.value(0).toLongLong() : -2000;
    }
    if (-qint64(megabytes) * 1024 < m_previous)
        database.execute(QStringLiteral("pragma cache_size=%1").arg(-qint64(megabytes) * 1024));
}

LargeCache::~LargeCache()
{
    try {
        m_database.execute(QStringLiteral("pragma cache_size=%1").arg(m_previous));
    } catch (...) {
        // The limit only bounds memory; the connection works on with the larger one.
    }
}
