#pragma once

#include "import/importer.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

// The rows of a previewed statement as the import dialog's grid shows them:
// 日期, 收支, 类别, 金额, 说明, 状态. The user takes a neutral row or a possible
// duplicate in by its check box, gives a neutral row its kind, and chooses a
// row's category, which makes a rule for the rows like it.
class PreviewModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The texts a cell's editor offers.
    static constexpr int ChoicesRole = Qt::UserRole + 1;

    explicit PreviewModel(QObject* parent = nullptr);

    // The statement, plan and choices stay the dialog's; a change here applies
    // the choices to the plan.
    void show(const ParsedStatement* statement, ImportPlan* plan, ImportChoices* choices);
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // The plan changed: rows taken, kinds or categories.
    void choicesChanged();

private:
    bool mayBeTaken(int row) const;
    void replan();

    const ParsedStatement* m_statement = nullptr;
    ImportPlan* m_plan = nullptr;
    ImportChoices* m_choices = nullptr;
};

// A drop-down list of the texts of PreviewModel::ChoicesRole; a choice applies at once.
class ChoiceDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};
