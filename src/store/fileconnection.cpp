#include "store/fileconnection.h"

#include "store/progresswatch.h"
#include "store/readerror.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <QFile>
#include <sqlite3.h>

FileConnection::FileConnection(const QString& path, Access access) : m_path(path), m_access(access)
{
    const int flags = access == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
    if (m_db)
        sqlite3_extended_result_codes(m_db, 1);
    if (rc != SQLITE_OK)
        fail(rc, true);
}

FileConnection::~FileConnection()
{
    sqlite3_close(m_db);
}

void FileConnection::fail(int rc, bool opening) const
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
    const QString engine = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
    if (m_access == Access::NewFile)
        throw StoreError(storeMessage(code, engine, m_path,
                                      opening ? FailedWhile::Opening : FailedWhile::Working),
                         code);
    // A damaged copy is told as such by the callers; a full or failing disk in plain words.
    throw StoreError(isDamagedBook(code) ? engine : storeMessage(code, engine, m_path), code);
}

QList<QVariantList> FileConnection::rows(const QString& text, const QVariantList& values,
                                         const Progress& progress)
{
    Statement statement(*this, text, values);
    QList<QVariantList> result;
    watchProgress(m_db, progress, [&] {
        while (statement.step()) {
            QVariantList row;
            statement.appendRow(row);
            result << row;
        }
    });
    return result;
}

void FileConnection::execute(const QString& text, const QVariantList& values)
{
    Statement statement(*this, text, values);
    while (statement.step()) {
    }
}

void FileConnection::close()
{
    if (sqlite3_close(m_db) != SQLITE_OK)
        fail(SQLITE_BUSY);
    m_db = nullptr;
}
