#include "store/query.h"

#include "store/database.h"
#include "store/sqltext.h"
#include "store/storeerror.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>

namespace {

QString engineText(const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

} // namespace

Query::Query(Database& database, const QString& initialText)
    : m_database(database), m_text(initialText), m_model(std::make_unique<QSqlQueryModel>())
{}

Query::~Query() = default;

void Query::setText(const QString& statement)
{
    close();
    m_text = statement;
}

void Query::open()
{
    if (m_open)
        return;
    m_database.ensureOpen();
    m_database.noteStatement(m_text);
    QSqlQuery query(m_database.connection());
    if (!query.exec(toSqliteDialect(m_text)))
        throw StoreError(engineText(query.lastError()));
    m_model->setQuery(std::move(query));
    if (m_model->lastError().isValid())
        throw StoreError(engineText(m_model->lastError()));
    m_open = true;
    m_row = 0;
}

void Query::exec()
{
    close();
    m_database.ensureOpen();
    m_database.noteStatement(m_text);
    QSqlQuery query(m_database.connection());
    if (!query.exec(toSqliteDialect(m_text)))
        throw StoreError(engineText(query.lastError()));
}

void Query::close()
{
    if (!m_open)
        return;
    m_model->clear();
    m_open = false;
    m_row = 0;
}

bool Query::eof() const
{
    if (!m_open)
        return true;
    if (m_row < m_model->rowCount())
        return false;
    while (m_model->canFetchMore()) {
        m_model->fetchMore();
        if (m_row < m_model->rowCount())
            return false;
    }
    return true;
}

bool Query::isEmpty() const
{
    return !m_open || (m_model->rowCount() == 0 && !m_model->canFetchMore());
}

void Query::first()
{
    m_row = 0;
}

void Query::next()
{
    if (!eof())
        ++m_row;
}

bool Query::setRow(int row)
{
    if (row < 0)
        return false;
    m_row = row;
    return !eof();
}

int Query::fieldCount() const
{
    return m_open ? m_model->record().count() : 0;
}

QVariant Query::field(int index) const
{
    if (eof())
        return {};
    return m_model->record(m_row).value(index);
}

QVariant Query::field(const QString& name) const
{
    if (eof())
        return {};
    return m_model->record(m_row).value(name);
}

QString Query::fieldText(int index) const
{
    const QVariant v = field(index);
    return v.isNull() ? QString() : v.toString();
}

QString Query::fieldText(const QString& name) const
{
    const QVariant v = field(name);
    return v.isNull() ? QString() : v.toString();
}
