#include "budget/budgetmodel.h"

#include "ui/palette.h"
#include "ui/widgets.h"

#include <QFont>
#include <QLineEdit>

namespace {

constexpr int kAmountMaxLength = 12;

bool isAmountChar(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

} // namespace

BudgetModel::BudgetModel(QObject* parent) : QAbstractTableModel(parent) {}

void BudgetModel::setRows(const QList<BudgetRow>& rows)
{
    beginResetModel();
    m_rows = rows;
    m_modified = false;
    endResetModel();
}

void BudgetModel::fillBudgets(const QHash<QString, qint64>& budgets)
{
    for (BudgetRow& row : m_rows) {
        const auto found = budgets.constFind(row.code);
        const std::optional<qint64> budget =
            found == budgets.constEnd() ? std::nullopt : std::optional<qint64>(*found);
        if (budget != row.budget) {
            row.budget = budget;
            m_modified = true;
        }
    }
    budgetsChanged();
}

void BudgetModel::budgetsChanged()
{
    Q_EMIT dataChanged(index(0, Budget), index(rowCount() - 1, Usage));
}

int BudgetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size()) + 1;
}

int BudgetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

BudgetRow BudgetModel::rowAt(int row) const
{
    return row < m_rows.size() ? m_rows.at(row) : budgetlines::totalRow(m_rows);
}

QVariant BudgetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const BudgetRow row = rowAt(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case Code:
            return row.code;
        case Name:
            return row.name;
        case Budget:
            return row.budget ? budgetlines::centsText(*row.budget) : QString();
        case Actual:
            return budgetlines::centsText(row.actual);
        case Remainder:
            return budgetlines::remainderText(row);
        case Usage:
            return budgetlines::usageText(row);
        }
        return {};
    case Qt::TextAlignmentRole:
        return column >= Budget ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if ((column == Remainder || column == Usage) && budgetlines::isOver(row))
            return kWarningRed;
        return {};
    case Qt::FontRole:
        if (index.row() == m_rows.size()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    return {};
}

QVariant BudgetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const captions[ColumnCount] = {"代码", "类别", "预算",
                                                      "实际", "剩余", "使用率"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(captions[section])
                                                 : QVariant();
}

Qt::ItemFlags BudgetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == Budget && index.row() < m_rows.size())
        f |= Qt::ItemIsEditable;
    return f;
}

bool BudgetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const BudgetInput input = budgetlines::parseBudget(value.toString());
    if (!input.valid)
        return false;
    BudgetRow& row = m_rows[index.row()];
    if (row.budget != input.cents) {
        row.budget = input.cents;
        m_modified = true;
        Q_EMIT dataChanged(this->index(index.row(), Budget), this->index(index.row(), Usage));
        const int total = static_cast<int>(m_rows.size());
        Q_EMIT dataChanged(this->index(total, Budget), this->index(total, Usage));
    }
    return true;
}

BudgetDelegate::BudgetDelegate(std::function<void()> refused, QObject* parent)
    : QStyledItemDelegate(parent), m_refused(std::move(refused))
{}

QWidget* BudgetDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex&) const
{
    auto* edit = named<QLineEdit>(parent, "Edit_budget");
    edit->setFrame(false);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setMaxLength(kAmountMaxLength);
    installCharFilter(edit, isAmountChar);
    return edit;
}

void BudgetDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // Selected by the view, so that a key typed into the cell replaces it.
    static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
}

void BudgetDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const
{
    const QString text = static_cast<QLineEdit*>(editor)->text();
    if (!model->setData(index, text, Qt::EditRole) && m_refused)
        m_refused();
}
