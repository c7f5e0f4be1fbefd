#include "store/statement.h"

#include "store/database.h"
#include "store/readerror.h"
#include "store/storeerror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

Statement::Statement(Database& database, const QString& text) : m_database(database)
{
    const QVariant handle = database.connection().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 ||
        !(m_db = *static_cast<sqlite3* const*>(handle.constData())))
        throw StoreError(QStringLiteral("the book is not open"));
    const QByteArray sql = text.toUtf8();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, sql.constData(), static_cast<int>(sql.size()),
                                      &m_statement, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    if (!m_statement)
        throw StoreError(QStringLiteral("the statement is empty"));
    // One statement per text, as the SQL module holds it too.
    for (; tail && *tail; ++tail)
        if (!QChar::isSpace(static_cast<uchar>(*tail)) && *tail != ';') {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
            throw StoreError(QStringLiteral("Unable to execute multiple statements at a time"));
        }
    m_columns = sqlite3_column_count(m_statement);
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

void Statement::fail(int code) const
{
    const QSqlError error(QString(), QString::fromUtf8(sqlite3_errmsg(m_db)),
                          QSqlError::StatementError, QString::number(code));
    throw StoreError(storeMessage(error, m_database.path()));
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        sqlite3_reset(m_statement);
        return false;
    }
    sqlite3_reset(m_statement);
    fail(rc);
}

void Statement::reset()
{
    sqlite3_reset(m_statement);
}

QStringList Statement::columnNames() const
{
    QStringList names;
    for (int i = 0; i < m_columns; ++i)
        names << QString::fromUtf8(sqlite3_column_name(m_statement, i));
    return names;
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
            sqlite3_column_bytes(m_statement, column)));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                       sqlite3_column_bytes(m_statement, column)));
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

void Statement::appendRow(QList<QVariant>& values) const
{
    for (int i = 0; i < m_columns; ++i)
        values.append(value(i));
}
