#include "import/tdrzd.h"

#include "import/batches.h"
#include "import/importjournal.h"
#include "import/previewmodel.h"
#include "store/context.h"
#include "store/messages.h"
#include "store/storeerror.h"
#include "store/transaction.h"
#include "ui/palette.h"
#include "ui/progressdialog.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kNoColumn = -1;

QString columnItem(int column, const QString& name)
{
    return QStringLiteral("第 %1 栏：%2").arg(column + 1).arg(name);
}

} // namespace

Tdrzd::Tdrzd(Context& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_messages(context.messages())
{
    setupControls();
    setupConnections();
    guarded(m_messages, [this] { loadBatches(); });
}

Tdrzd::~Tdrzd()
{
    // The grid outlives the plan it shows while the children go.
    m_model->clear();
}

void Tdrzd::setupControls()
{
    setObjectName(QStringLiteral("drzd"));
    setWindowTitle(QStringLiteral("导入账单"));
    setModal(true);
    resize(960, 640);

    auto* fileLabel = makeLabel(this, "Label_file", QStringLiteral("账单文件："));
    Edit_file = named<QLineEdit>(this, "Edit_file");
    BitBtn_browse =
        makeButton(this, "BitBtn_browse", QStringLiteral("浏览…"), QStyle::SP_DirOpenIcon);
    BitBtn_preview = makeButton(this, "BitBtn_preview", QStringLiteral("预览"),
                                QStyle::SP_FileDialogContentsView);
    BitBtn_preview->setDefault(true);

    // Shown only when the columns of a statement are not known.
    GroupBox_columns = named<QGroupBox>(this, "GroupBox_columns");
    GroupBox_columns->setTitle(
        QStringLiteral("这个账单的格式无法自动识别：请指出各项在哪一栏，然后按“预览”"));
    ComboBox_date = named<QComboBox>(GroupBox_columns, "ComboBox_date");
    ComboBox_amount = named<QComboBox>(GroupBox_columns, "ComboBox_amount");
    ComboBox_direction = named<QComboBox>(GroupBox_columns, "ComboBox_direction");
    ComboBox_text = named<QComboBox>(GroupBox_columns, "ComboBox_text");
    auto* cg = new QHBoxLayout(GroupBox_columns);
    const std::pair<const char*, QComboBox*> roles[] = {{"日期：", ComboBox_date},
                                                        {"金额：", ComboBox_amount},
                                                        {"收支：", ComboBox_direction},
                                                        {"说明：", ComboBox_text}};
    for (const auto& [text, box] : roles) {
        cg->addWidget(new QLabel(QString::fromUtf8(text), GroupBox_columns));
        cg->addWidget(box, 1);
    }
    GroupBox_columns->hide();

    m_model = new PreviewModel(this);
    m_sample = new QStandardItemModel(this);
    m_delegate = new ChoiceDelegate(this);
    Grid_preview = named<QTableView>(this, "Grid_preview");
    Grid_preview->setModel(m_model);
    Grid_preview->setItemDelegate(m_delegate);
    Grid_preview->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_preview->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_preview->setEditTriggers(QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::SelectedClicked);
    Grid_preview->verticalHeader()->setDefaultSectionSize(24);
    Grid_preview->horizontalHeader()->setStretchLastSection(false);

    Label_summary = named<QLabel>(this, "Label_summary");
    Label_summary->setWordWrap(true);
    setTextColour(Label_summary, kWarningRed);
    BitBtn_ok = makeButton(this, "BitBtn_ok", QStringLiteral("导入"), QStyle::SP_DialogOkButton);
    BitBtn_ok->setEnabled(false);

    auto* batchesLabel = makeLabel(this, "Label_batches", QStringLiteral("导入记录："));
    List_batches = named<QListWidget>(this, "List_batches");
    List_batches->setMaximumHeight(120);
    BitBtn_undoimport = makeButton(this, "BitBtn_undoimport", QStringLiteral("撤销导入"),
                                   QStyle::SP_DialogDiscardButton);
    BitBtn_undoimport->setEnabled(false);
    BitBtn_close =
        makeButton(this, "BitBtn_close", QStringLiteral("关闭"), QStyle::SP_DialogCloseButton);

    auto* top = new QHBoxLayout;
    top->addWidget(fileLabel);
    top->addWidget(Edit_file, 1);
    top->addWidget(BitBtn_browse);
    top->addWidget(BitBtn_preview);
    auto* summary = new QHBoxLayout;
    summary->addWidget(Label_summary, 1);
    summary->addWidget(BitBtn_ok, 0, Qt::AlignTop);
    auto* batches = new QGridLayout;
    batches->addWidget(batchesLabel, 0, 0, 1, 2);
    batches->addWidget(List_batches, 1, 0, 2, 1);
    batches->addWidget(BitBtn_undoimport, 1, 1, Qt::AlignTop);
    batches->addWidget(BitBtn_close, 2, 1, Qt::AlignBottom);
    batches->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(GroupBox_columns);
    layout->addWidget(Grid_preview, 1);
    layout->addLayout(summary);
    layout->addLayout(batches);
    setWindowTextBlue(this);
    setTextColour(Label_summary, kWarningRed);
}

void Tdrzd::setupConnections()
{
    connect(BitBtn_browse, &QPushButton::clicked, this, &Tdrzd::BitBtn_browseClick);
    connect(BitBtn_preview, &QPushButton::clicked, this, &Tdrzd::BitBtn_previewClick);
    connect(BitBtn_ok, &QPushButton::clicked, this, &Tdrzd::BitBtn_okClick);
    connect(BitBtn_undoimport, &QPushButton::clicked, this, &Tdrzd::BitBtn_undoimportClick);
    connect(BitBtn_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(List_batches, &QListWidget::currentRowChanged, this, [this] { syncUndoButton(); });
    connect(m_model, &PreviewModel::choicesChanged, this, [this] {
        Label_summary->setText(summaryText(m_plan));
        BitBtn_ok->setEnabled(m_plan.counts.added() > 0);
    });
    // A file typed anew is read anew, its questions asked again.
    connect(Edit_file, &QLineEdit::textEdited, this, [this] {
        forgetPreview();
        GroupBox_columns->hide();
    });
}

void Tdrzd::BitBtn_browseClick()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("选择账单文件"), QFileInfo(Edit_file->text()).path(),
        QStringLiteral("账单文件 (*.csv *.txt *.xlsx *.xls);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    Edit_file->setText(path);
    forgetPreview();
    GroupBox_columns->hide();
    BitBtn_previewClick();
}

void Tdrzd::BitBtn_previewClick()
{
    if (!guarded(m_messages, [this] { preview(); }))
        forgetPreview();
}

void Tdrzd::forgetPreview()
{
    m_statement.reset();
    m_plan = ImportPlan();
    m_choices = ImportChoices();
    m_model->clear();
    Grid_preview->setModel(m_model);
    Label_summary->clear();
    BitBtn_ok->setEnabled(false);
}

void Tdrzd::preview()
{
    const QString path = Edit_file->text().trimmed();
    if (path.isEmpty()) {
        Edit_file->setFocus();
        m_messages.info(QStringLiteral("请选择要导入的账单文件。"));
        return;
    }
    if (path != m_path) {
        m_path = path;
        m_options = ReadOptions();
        GroupBox_columns->hide();
    }
    if (!GroupBox_columns->isHidden() && !chosenColumns())
        return;
    forgetPreview();
    ParsedStatement statement;
    for (int round = 0;; ++round) {
        {
            ProgressDialog progress(this, QStringLiteral("正在读取账单…"));
            statement = readWithRememberedAnswers(m_context.database(), path, m_options,
                                                  progress.progress());
        }
        const OpenQuestions& open = statement.questions;
        if (!open.missingRoles.isEmpty()) {
            showColumnChoice(statement);
            return;
        }
        if (!open.any())
            break;
        if (round > 0)
            throw StoreError(QStringLiteral("无法按给出的答案读取这个账单。"));
        // Each question once; the answers are remembered for the layout with the import.
        if (open.dateOrder)
            m_options.dateOrder = m_messages.ask(QStringLiteral(
                                      "账单中的日期看不出日和月的先后（例如 03/04/2024）。\n"
                                      "按“日/月/年”读取吗？选“否”按“月/日/年”读取。"))
                                      ? DateOrder::DayMonth
                                      : DateOrder::MonthDay;
        if (open.card)
            m_options.card = m_messages.ask(
                QStringLiteral("账单的金额用正负号表示收支，但看不出是不是信用卡账单。\n"
                               "这是信用卡账单吗（消费记为正数，还款和退款记为负数）？"));
    }
    GroupBox_columns->hide();
    m_choices = ImportChoices();
    m_choices.suggest = true;
    {
        ProgressDialog progress(this, QStringLiteral("正在与账本比对…"));
        m_plan = planImport(m_context.database(), statement, m_choices, progress.progress());
    }
    m_statement = std::move(statement);
    showPlan();
}

// The columns the user pointed at; false (with a message) when the date or the
// amount is missing.
bool Tdrzd::chosenColumns()
{
    const auto column = [](const QComboBox* box) {
        return box->currentData().isValid() ? box->currentData().toInt() : kNoColumn;
    };
    if (column(ComboBox_date) == kNoColumn || column(ComboBox_amount) == kNoColumn) {
        (column(ComboBox_date) == kNoColumn ? ComboBox_date : ComboBox_amount)->setFocus();
        m_messages.info(QStringLiteral("请指出日期和金额各在哪一栏。"));
        return false;
    }
    m_options.columns.clear();
    m_options.columns[ColumnRole::Date] = column(ComboBox_date);
    m_options.columns[ColumnRole::Amount] = column(ComboBox_amount);
    m_options.columns[ColumnRole::Direction] = column(ComboBox_direction);
    m_options.columns[ColumnRole::Description] = column(ComboBox_text);
    m_options.columns[ColumnRole::Income] = kNoColumn;
    m_options.columns[ColumnRole::Expense] = kNoColumn;
    return true;
}

void Tdrzd::showColumnChoice(const ParsedStatement& statement)
{
    const std::pair<QComboBox*, QList<ColumnRole>> boxes[] = {
        {ComboBox_date, {ColumnRole::Date}},
        {ComboBox_amount, {ColumnRole::Amount, ColumnRole::Expense, ColumnRole::Income}},
        {ComboBox_direction, {ColumnRole::Direction}},
        {ComboBox_text, {ColumnRole::Description, ColumnRole::Counterpart, ColumnRole::Type}}};
    for (const auto& [box, roles] : boxes) {
        box->clear();
        box->addItem(QStringLiteral("（无）"));
        for (int i = 0; i < statement.header.size(); ++i)
            box->addItem(columnItem(i, statement.header.at(i)), i);
        for (ColumnRole role : roles) {
            const auto it = statement.columns.find(role);
            if (it != statement.columns.end() && it->second >= 0) {
                box->setCurrentIndex(box->findData(it->second));
                break;
            }
        }
    }
    m_sample->clear();
    m_sample->setHorizontalHeaderLabels(statement.header);
    for (const QStringList& cells : statement.sample) {
        QList<QStandardItem*> items;
        for (const QString& cell : cells)
            items << new QStandardItem(cell);
        m_sample->appendRow(items);
    }
    Grid_preview->setModel(m_sample);
    GroupBox_columns->show();
    Label_summary->setText(QStringLiteral("上面是账单的前几行。"));
}

void Tdrzd::showPlan()
{
    Grid_preview->setModel(m_model);
    m_model->show(&*m_statement, &m_plan, &m_choices);
    QHeaderView* header = Grid_preview->horizontalHeader();
    for (int column : {0, 1, 2, 3, 5})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(4, QHeaderView::Stretch);
    Label_summary->setText(summaryText(m_plan));
    BitBtn_ok->setEnabled(m_plan.counts.added() > 0);
}

void Tdrzd::BitBtn_okClick()
{
    guarded(m_messages, [this] { importRows(); });
}

void Tdrzd::importRows()
{
    if (!m_statement || m_plan.counts.added() == 0)
        return;
    if (m_plan.counts.errors > 0 && !m_choices.skipErrors) {
        QString first;
        for (const StatementRow& row : m_statement->rows)
            if (row.kind == RowKind::Error) {
                first = row.error;
                break;
            }
        if (!m_messages.ask(
                QStringLiteral("账单中有 %1 行无法读取（%2）。\n跳过这些行，导入其余的记录吗？")
                    .arg(m_plan.counts.errors)
                    .arg(first)))
            return;
        m_choices.skipErrors = true;
    }
    ImportedBatch imported;
    {
        ProgressDialog progress(this, QStringLiteral("正在导入…"));
        Database& database = m_context.database();
        Transaction transaction(database);
        imported = importStatement(database, m_path, *m_statement, m_options, m_choices,
                                   m_context.currentUser(), progress.progress());
        if (imported.batch > 0)
            recordImport(database, imported.batch);
        transaction.commit();
    }
    const ImportCounts& counts = imported.plan.counts;
    if (counts.income > 0)
        m_context.announceEntries(EntryKind::Income, nullptr);
    if (counts.expense > 0)
        m_context.announceEntries(EntryKind::Expense, nullptr);
    if (imported.madeCategory)
        m_context.announceCategories(nullptr);
    if (counts.added() > 0)
        m_lastImport = Imported{imported.batch, imported.plan.first, imported.plan.last,
                                counts.income > 0, counts.expense > 0};
    forgetPreview();
    Label_summary->setText(summaryText(imported.plan));
    loadBatches();
    m_messages.info(QStringLiteral("导入完成：新增 %1 笔。").arg(counts.added()));
}

void Tdrzd::BitBtn_undoimportClick()
{
    guarded(m_messages, [this] { undoImport(); });
    guarded(m_messages, [this] { loadBatches(); });
}

void Tdrzd::undoImport()
{
    const QListWidgetItem* item = List_batches->currentItem();
    if (!item)
        return;
    const qint64 batch = item->data(Qt::UserRole).toLongLong();
    if (!m_messages.ask(undoQuestion(batchEntries(m_context.database(), batch))))
        return;
    Database& database = m_context.database();
    Transaction transaction(database);
    const BatchEntries undone = undoImportBatch(database, batch);
    recordUndoImport(database, batch, undone);
    transaction.commit();
    if (m_lastImport && m_lastImport->batch == batch)
        m_lastImport.reset();
    if (undone.income)
        m_context.announceEntries(EntryKind::Income, nullptr);
    if (undone.expense)
        m_context.announceEntries(EntryKind::Expense, nullptr);
    // A preview shown now says 重复 for rows that are new again.
    forgetPreview();
    m_messages.info(QStringLiteral("撤销完成：删除 %1 笔记录。").arg(undone.entries));
}

void Tdrzd::loadBatches()
{
    const qint64 current = List_batches->currentItem()
                               ? List_batches->currentItem()->data(Qt::UserRole).toLongLong()
                               : 0;
    List_batches->clear();
    for (const BatchRecord& batch : listBatches(m_context.database())) {
        auto* item = new QListWidgetItem(batchLine(batch), List_batches);
        item->setData(Qt::UserRole, batch.id);
        item->setData(Qt::UserRole + 1, batch.undone);
        if (batch.id == current)
            List_batches->setCurrentItem(item);
    }
    syncUndoButton();
}

void Tdrzd::syncUndoButton()
{
    const QListWidgetItem* item = List_batches->currentItem();
    BitBtn_undoimport->setEnabled(item && !item->data(Qt::UserRole + 1).toBool());
}
