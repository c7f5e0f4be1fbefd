#include "store/statement.h"

#include "store/database.h"
#include "store/fileconnection.h"
#include "store/readerror.h"
#include "store/storeerror.h"

#include <QDate>
#include <QStringDecoder>
#include <cstring>
#include <sqlite3.h>

Statement::Statement(Database& database, const QString& text, const QVariantList& values)
    : m_database(&database), m_db(database.handle())
{
    // A book left unsettled by a failed write is settled before it is used again.
    if (database.unsettled())
        database.settle();
    prepare(text, values);
}

Statement::Statement(FileConnection& file, const QString& text, const QVariantList& values)
    : m_file(&file), m_db(file.handle())
{
    prepare(text, values);
}

void Statement::prepare(const QString& text, const QVariantList& values)
{
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
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values.at(i));
}

void Statement::bind(int index, const QVariant& value)
{
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        rc = sqlite3_bind_int64(m_statement, index, value.toLongLong());
        break;
    case QMetaType::Double:
        rc = sqlite3_bind_double(m_statement, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(m_statement, index, bytes.constData(),
                                 static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDate:
        rc = bindText(index, value.toDate().toString(Qt::ISODate));
        break;
    default:
        rc = value.isNull() ? sqlite3_bind_null(m_statement, index)
                            : bindText(index, value.toString());
        break;
    }
    if (rc != SQLITE_OK)
        fail(rc);
}

int Statement::bindText(int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text64(m_statement, index, utf8.constData(),
                               static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

void Statement::fail(int rc) const
{
    if (m_file)
        m_file->fail(rc);
    const int code = sqlite3_extended_errcode(m_db);
    const QString text = QString::fromUtf8(sqlite3_errmsg(m_db));
    // Read before: settling runs a statement of its own.
    m_database->noteFailure(code);
    throw StoreError(storeMessage(code, text, m_database->path()), code);
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

void Statement::reset(const QVariantList& values)
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values.at(i));
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

qint64 Statement::integerValue(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double Statement::realValue(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

void Statement::textValue(int column, QString& out) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    // As QString::fromUtf8 reads it: a leading byte order mark is kept.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    out.resize(utf8.requiredSpace(size));
    const QChar* end = utf8.appendToBuffer(out.data(), QByteArrayView(bytes, size));
    out.truncate(end - out.constData());
}

void Statement::textBytes(int column, QByteArray& out) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    out.resize(size);
    if (size > 0)
        std::memcpy(out.data(), bytes, static_cast<size_t>(size));
}
