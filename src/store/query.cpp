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

bool QueryModel::isWatched() const
{
    return receivers(SIGNAL(modelReset())) > 0;
}

Query::Query(Database& database, const QString& initialText)
    : m_database(database), m_text(initialText), m_model(std::make_unique<QueryModel>())
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
    const bool shown = m_model->isWatched();
    query.setForwardOnly(!shown);
    if (!query.exec(toSqliteDialect(m_text)))
        throw StoreError(engineText(query.lastError()));
    if (shown) {
        m_model->setQuery(std::move(query));
        if (m_model->lastError().isValid())
            throw StoreError(engineText(m_model->lastError()));
    } else {
        m_plainQuery = std::make_unique<QSqlQuery>(std::move(query));
        m_ahead = m_plainQuery->next();
        stepPlain();
    }
    m_open = true;
    m_row = 0;
}

void Query::restartPlain()
{
    // A forward-only cursor cannot go back: run the statement again.
    m_plainQuery->finish();
    if (!m_plainQuery->exec(m_plainQuery->lastQuery()))
        throw StoreError(engineText(m_plainQuery->lastError()));
    m_ahead = m_plainQuery->next();
    stepPlain();
    m_row = 0;
}

void Query::stepPlain()
{
    m_plain = m_ahead;
    if (m_ahead) {
        m_current = m_plainQuery->record();
        m_ahead = m_plainQuery->next();
    } else {
        m_current.clear();
    }
}

int Query::exec()
{
    close();
    m_database.ensureOpen();
    m_database.noteStatement(m_text);
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    if (!query.exec(toSqliteDialect(m_text)))
        throw StoreError(engineText(query.lastError()));
    return query.numRowsAffected();
}

void Query::close()
{
    if (!m_open)
        return;
    if (plain()) {
        m_plainQuery.reset();
        m_plain.reset();
        m_current.clear();
        m_ahead = false;
    } else {
        m_model->clear();
    }
    m_open = false;
    m_row = 0;
}

bool Query::eof() const
{
    if (!m_open)
        return true;
    if (plain())
        return !*m_plain;
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
    if (!m_open)
        return true;
    if (plain())
        return m_row == 0 && !*m_plain;
    return m_model->rowCount() == 0 && !m_model->canFetchMore();
}

void Query::first()
{
    if (plain() && m_row != 0)
        restartPlain();
    m_row = 0;
}

void Query::next()
{
    if (eof())
        return;
    if (plain())
        stepPlain();
    ++m_row;
}

bool Query::setRow(int row)
{
    if (row < 0)
        return false;
    if (plain()) {
        if (row < m_row)
            restartPlain();
        while (m_row < row && !eof())
            next();
        return !eof();
    }
    m_row = row;
    return !eof();
}

int Query::fieldCount() const
{
    if (!m_open)
        return 0;
    return plain() ? m_plainQuery->record().count() : m_model->record().count();
}

QVariant Query::field(int index) const
{
    if (eof())
        return {};
    if (plain())
        return m_current.value(index);
    // One cell, without building the whole row's record.
    return m_model->data(m_model->index(m_row, index));
}

QVariant Query::field(const QString& name) const
{
    if (eof())
        return {};
    if (plain())
        return m_current.value(name);
    return field(m_model->record().indexOf(name));
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
