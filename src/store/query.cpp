#include "store/query.h"

#include "store/database.h"
#include "store/listingmodel.h"
#include "store/sqltext.h"
#include "store/statement.h"
#include "store/storeerror.h"

Query::Query(Database& database, const QString& initialText)
    : m_database(database), m_text(initialText), m_model(std::make_unique<ListingModel>(database))
{}

Query::~Query() = default;

void Query::setText(const QString& statement, const QVariantList& values)
{
    close();
    m_text = statement;
    m_values = values;
}

void Query::open()
{
    if (isOpen())
        return;
    m_database.ensureOpen();
    m_database.noteStatement(m_text);
    m_cursor = std::make_unique<Statement>(m_database, toSqliteDialect(m_text), m_values);
    m_columns = m_cursor->columnNames();
    m_reading = Reading::Cursor;
    try {
        startCursor();
    } catch (...) {
        close();
        throw;
    }
}

void Query::openForGrid(qint64 rows)
{
    if (isOpen())
        return;
    m_database.ensureOpen();
    m_database.noteStatement(m_text);
    m_model->show(toSqliteDialect(m_text), rows, m_values);
    m_reading = Reading::Grid;
    m_row = 0;
}

void Query::startCursor()
{
    m_row = 0;
    m_ahead = m_cursor->step();
    stepCursor();
}

void Query::stepCursor()
{
    m_onRow = m_ahead;
    m_current.clear();
    if (!m_ahead)
        return;
    m_current.reserve(m_cursor->columnCount());
    m_cursor->appendRow(m_current);
    // A row the engine cannot read ends the result with an error, never quietly.
    m_ahead = m_cursor->step();
}

int Query::exec(const Progress& progress)
{
    close();
    m_database.ensureOpen();
    m_database.noteStatement(m_text);
    return m_database.execute(toSqliteDialect(m_text), m_values, progress);
}

void Query::close()
{
    const Reading was = m_reading;
    m_reading = Reading::None;
    m_row = 0;
    m_cursor.reset();
    m_columns.clear();
    m_current.clear();
    m_onRow = false;
    m_ahead = false;
    // The grid learns of it last, when the query already reads as closed.
    if (was == Reading::Grid)
        m_model->clear();
}

bool Query::eof() const
{
    switch (m_reading) {
    case Reading::Cursor:
        return !m_onRow;
    case Reading::Grid:
        return m_row >= m_model->rowCount();
    case Reading::None:
        break;
    }
    return true;
}

bool Query::isEmpty() const
{
    switch (m_reading) {
    case Reading::Cursor:
        return m_row == 0 && !m_onRow;
    case Reading::Grid:
        return m_model->rowCount() == 0;
    case Reading::None:
        break;
    }
    return true;
}

void Query::first()
{
    if (m_reading == Reading::Cursor && m_row != 0) {
        // A forward-only cursor cannot go back: run the statement again.
        m_cursor->reset();
        startCursor();
    }
    m_row = 0;
}

void Query::next()
{
    if (eof())
        return;
    if (m_reading == Reading::Cursor)
        stepCursor();
    ++m_row;
}

bool Query::setRow(int row)
{
    if (row < 0)
        return false;
    if (m_reading == Reading::Cursor) {
        if (row < m_row)
            first();
        while (m_row < row && !eof())
            next();
        return !eof();
    }
    m_row = row;
    return !eof();
}

int Query::fieldCount() const
{
    switch (m_reading) {
    case Reading::Cursor:
        return static_cast<int>(m_columns.size());
    case Reading::Grid:
        return m_model->columnCount();
    case Reading::None:
        break;
    }
    return 0;
}

QVariant Query::field(int index) const
{
    if (eof())
        return {};
    if (m_reading == Reading::Cursor)
        return m_current.value(index);
    return m_model->value(m_row, index);
}

QVariant Query::field(const QString& name) const
{
    if (eof())
        return {};
    if (m_reading == Reading::Cursor) {
        for (qsizetype i = 0; i < m_columns.size(); ++i)
            if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
                return m_current.value(i);
        return {};
    }
    return m_model->value(m_row, m_model->column(name));
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
