#include "store/listingmodel.h"

#include "store/database.h"
#include "store/readerror.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <limits>

namespace {

// Pages are read by adding a limit clause, which must come before the end.
QString withoutTerminator(QString statement)
{
    while (!statement.isEmpty() &&
           (statement.back().isSpace() || statement.back() == QLatin1Char(';')))
        statement.chop(1);
    return statement;
}

} // namespace

ListingModel::ListingModel(Database& database, QObject* parent)
    : QAbstractTableModel(parent), m_database(database)
{}

int ListingModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ListingModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ListingModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    // A view reads from inside a paint: a failure is reported later, never thrown.
    auto* self = const_cast<ListingModel*>(this);
    try {
        return self->value(index.row(), index.column());
    } catch (const StoreError& e) {
        if (!m_reported) {
            self->m_reported = true;
            Q_EMIT self->readFailed(e.message());
        }
        return {};
    }
}

QVariant ListingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        const auto caption = m_captions.constFind(section);
        if (caption != m_captions.cend())
            return *caption;
        return m_columns.value(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool ListingModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                 int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    m_captions.insert(section, value);
    Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

void ListingModel::show(const QString& statement, qint64 rows, const QVariantList& values)
{
    beginResetModel();
    m_statement = withoutTerminator(statement);
    m_values = values;
    m_pages.clear();
    m_captions.clear();
    m_columns.clear();
    m_rows = 0;
    m_reported = false;
    try {
        Page first = readPage(0);
        const qint64 firstRows = m_columns.isEmpty() ? 0 : first.values.size() / m_columns.size();
        if (firstRows < pageRows) {
            rows = firstRows;
        } else if (rows < 0) {
            Statement count(m_database,
                            QStringLiteral("select count(*) from (\n") + m_statement +
                                QStringLiteral("\n)"),
                            m_values);
            rows = count.step() ? count.value(0).toLongLong() : 0;
        }
        m_rows = static_cast<int>(qMin<qint64>(rows, std::numeric_limits<int>::max()));
        keep(0, std::move(first));
    } catch (...) {
        m_statement.clear();
        m_columns.clear();
        m_pages.clear();
        endResetModel();
        throw;
    }
    endResetModel();
}

void ListingModel::clear()
{
    beginResetModel();
    m_statement.clear();
    m_values.clear();
    m_columns.clear();
    m_pages.clear();
    m_captions.clear();
    m_rows = 0;
    endResetModel();
}

QVariant ListingModel::value(int row, int column)
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns.size())
        return {};
    const Page& p = page(row);
    const qsizetype at = static_cast<qsizetype>(row % pageRows) * m_columns.size() + column;
    return at < p.values.size() ? p.values.at(at) : QVariant();
}

int ListingModel::column(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const ListingModel::Page& ListingModel::page(int row)
{
    const int index = row / pageRows;
    auto kept = m_pages.find(index);
    if (kept == m_pages.end()) {
        Page read;
        try {
            read = readPage(index);
        } catch (const StoreError& e) {
            // Kept as failed, so that repainting does not run the statement again.
            read.failure = e.message();
        }
        keep(index, std::move(read));
        kept = m_pages.find(index);
    }
    kept->used = ++m_tick;
    if (!kept->failure.isEmpty())
        throw StoreError(kept->failure);
    return *kept;
}

ListingModel::Page ListingModel::readPage(int index)
{
    // Runs to its end before it returns, so that nothing stays pending.
    // The limit goes on the statement itself: its order holds for every page.
    Statement statement(m_database,
                        m_statement + QStringLiteral("\nlimit %1 offset %2")
                                          .arg(pageRows)
                                          .arg(static_cast<qint64>(index) * pageRows),
                        m_values);
    if (m_columns.isEmpty())
        m_columns = statement.columnNames();
    Page page;
    page.values.reserve(static_cast<qsizetype>(pageRows) * statement.columnCount());
    while (statement.step())
        statement.appendRow(page.values);
    return page;
}

void ListingModel::keep(int index, Page page)
{
    if (!m_pages.contains(index) && m_pages.size() >= cachedPages) {
        auto oldest = m_pages.begin();
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it)
            if (it->used < oldest->used)
                oldest = it;
        m_pages.erase(oldest);
    }
    page.used = ++m_tick;
    m_pages.insert(index, std::move(page));
}
