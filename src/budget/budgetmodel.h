#pragma once

#include "budget/budgetlines.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStyledItemDelegate>
#include <functional>

// The budget grid: one row per expense category, then 合计. Only a category's
// 预算 can be edited; over-budget rows show 剩余 and 使用率 in red.
class BudgetModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BudgetModel)

public:
    enum Column
    {
        Code,
        Name,
        Budget,
        Actual,
        Remainder,
        Usage,
        ColumnCount
    };

    explicit BudgetModel(QObject* parent = nullptr);

    // The rows as read from the book; nothing is modified afterwards.
    void setRows(const QList<BudgetRow>& rows);
    const QList<BudgetRow>& rows() const { return m_rows; }
    // Every category's budget from budgets by code; none where a code is missing.
    void fillBudgets(const QHash<QString, qint64>& budgets);
    // Changed since the rows were read or stored.
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A typed budget (text); false, changing nothing, when the amount is refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    BudgetRow rowAt(int row) const;
    void budgetsChanged();

    QList<BudgetRow> m_rows;
    bool m_modified = false;
};

// The 预算 cell's editor: a line edit taking what the amount box takes. A value
// the model refuses is reported through refused() and the cell stays as it was.
class BudgetDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    BudgetDelegate(std::function<void()> refused, QObject* parent = nullptr);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    std::function<void()> m_refused;
};
