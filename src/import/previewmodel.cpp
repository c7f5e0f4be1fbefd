#include "import/previewmodel.h"

#include "import/entrytexts.h"
#include "ui/palette.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPalette>

namespace {

enum Column
{
    DateColumn,
    KindColumn,
    CategoryColumn,
    AmountColumn,
    RemarkColumn,
    StateColumn,
    Columns
};

} // namespace

PreviewModel::PreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void PreviewModel::show(const ParsedStatement* statement, ImportPlan* plan, ImportChoices* choices)
{
    beginResetModel();
    m_statement = statement;
    m_plan = plan;
    m_choices = choices;
    endResetModel();
}

void PreviewModel::clear()
{
    show(nullptr, nullptr, nullptr);
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_plan ? 0 : static_cast<int>(m_plan->rows.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList captions = {QStringLiteral("日期"), QStringLiteral("收支"),
                                         QStringLiteral("类别"), QStringLiteral("金额"),
                                         QStringLiteral("说明"), QStringLiteral("状态")};
    return captions.value(section);
}

bool PreviewModel::mayBeTaken(int row) const
{
    const RowState state = m_plan->rows.at(row).state;
    return state == RowState::New || state == RowState::PossibleDuplicate ||
           state == RowState::Neutral;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!m_plan || !index.isValid())
        return QVariant();
    const int i = index.row();
    const PlannedRow& planned = m_plan->rows.at(i);
    const StatementRow& row = m_statement->rows.at(i);
    const bool open = mayBeTaken(i) || planned.state == RowState::Duplicate;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case DateColumn:
            return row.date.toString(QStringLiteral("yyyy-MM-dd"));
        case KindColumn:
            return open ? kindWord(planned.kind) : QString();
        case CategoryColumn:
            return open ? planned.code + planned.name : QString();
        case AmountColumn:
            return planned.state == RowState::Error ? QString() : yuanText(row.amountCents);
        case RemarkColumn:
            if (planned.state == RowState::Error)
                return row.error;
            return planned.remark.isEmpty() ? entryRemark(row, m_statement->source).text
                                            : planned.remark;
        case StateColumn:
            return rowStateText(planned.state);
        }
        break;
    case Qt::CheckStateRole:
        if (index.column() == StateColumn &&
            (planned.state == RowState::PossibleDuplicate || planned.state == RowState::Neutral))
            return planned.taken ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::ForegroundRole:
        if (!planned.taken)
            return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
        if (index.column() == CategoryColumn &&
            (planned.from == CategoryFrom::Unsorted || planned.from == CategoryFrom::Suggestion))
            return kWarningRed;
        break;
    case Qt::ToolTipRole:
        if (index.column() == CategoryColumn && mayBeTaken(i)) {
            if (planned.from == CategoryFrom::Suggestion)
                return QStringLiteral("按同一交易对方最常用的类别建议；双击可改");
            if (planned.from == CategoryFrom::Unsorted)
                return QStringLiteral("没有对应的类别，将记入“待分类”；双击可选择类别");
            return QStringLiteral("双击可改；同类的行一起改，下次导入照此分类");
        }
        if (index.column() == StateColumn &&
            (planned.state == RowState::PossibleDuplicate || planned.state == RowState::Neutral))
            return QStringLiteral("勾选后一并导入");
        break;
    case ChoicesRole:
        if (index.column() == KindColumn)
            return QStringList{kindWord(EntryKind::Income), kindWord(EntryKind::Expense)};
        if (index.column() == CategoryColumn) {
            QStringList items;
            for (const BookCategory& category :
                 m_plan->book.categories[planned.kind == EntryKind::Income ? 0 : 1])
                items << category.code + category.name;
            return items;
        }
        break;
    default:
        break;
    }
    return QVariant();
}

Qt::ItemFlags PreviewModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!m_plan || !index.isValid())
        return flags;
    const PlannedRow& planned = m_plan->rows.at(index.row());
    if (index.column() == CategoryColumn && mayBeTaken(index.row()))
        flags |= Qt::ItemIsEditable;
    if (index.column() == KindColumn && planned.state == RowState::Neutral)
        flags |= Qt::ItemIsEditable;
    if (index.column() == StateColumn &&
        (planned.state == RowState::PossibleDuplicate || planned.state == RowState::Neutral))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool PreviewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_plan || !index.isValid() ||
        !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const int i = index.row();
    const PlannedRow& planned = m_plan->rows.at(i);
    if (index.column() == StateColumn && role == Qt::CheckStateRole) {
        m_choices->rows[i].take = value.toInt() == Qt::Checked;
    } else if (index.column() == KindColumn && role == Qt::EditRole) {
        m_choices->rows[i].kind = value.toString() == kindWord(EntryKind::Income)
                                      ? EntryKind::Income
                                      : EntryKind::Expense;
    } else if (index.column() == CategoryColumn && role == Qt::EditRole) {
        const QString code = value.toString().left(2);
        if (code.isEmpty() || code == planned.code)
            return false;
        const CategoryRule rule = ruleFor(m_statement->rows.at(i), planned.kind, code);
        m_choices->rules.removeIf([&](const CategoryRule& r) {
            return r.kind == rule.kind && r.match == rule.match && r.pattern == rule.pattern;
        });
        m_choices->rules.append(rule);
    } else {
        return false;
    }
    replan();
    return true;
}

void PreviewModel::replan()
{
    applyChoices(*m_plan, *m_statement, *m_choices);
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, Columns - 1));
    Q_EMIT choicesChanged();
}

QWidget* ChoiceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const
{
    auto* box = new QComboBox(parent);
    box->addItems(index.data(PreviewModel::ChoicesRole).toStringList());
    connect(box, &QComboBox::activated, this, [this, box] {
        auto* self = const_cast<ChoiceDelegate*>(this);
        Q_EMIT self->commitData(box);
        Q_EMIT self->closeEditor(box);
    });
    return box;
}

void ChoiceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = static_cast<QComboBox*>(editor);
    box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
}

void ChoiceDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const
{
    const auto* box = static_cast<QComboBox*>(editor);
    if (box->currentIndex() >= 0)
        model->setData(index, box->currentText(), Qt::EditRole);
}
