#include "book/tszgl.h"

#include "book/bookexport.h"
#include "book/booksql.h"
#include "budget/budgetbook.h"
#include "budget/budgetlabel.h"
#include "import/importjournal.h"
#include "import/tdrzd.h"
#include "safety/entryjournal.h"
#include "safety/safetystate.h"
#include "safety/undocontrol.h"
#include "share/tableexport.h"
#include "share/tablerows.h"
#include "share/tablewriter.h"
#include "store/context.h"
#include "store/listingmodel.h"
#include "store/messages.h"
#include "store/numbers.h"
#include "store/query.h"
#include "store/storeerror.h"
#include "store/textfile.h"
#include "store/transaction.h"
#include "ui/palette.h"
#include "ui/progressdialog.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const int kAmountMaxLength = 12;
const int kRemarkMaxBytes = 200;

bool isAmountChar(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

bool isInteger(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// Amounts and sums are shown as the program writes them everywhere: 3500, 12.5.
class AmountDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override
    {
        if (value.typeId() == QMetaType::Double)
            return numberText(value.toDouble());
        return QStyledItemDelegate::displayText(value, locale);
    }
};

// A typed character in a category list drops the list open.
class DropOnKey final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
                static_cast<QComboBox*>(watched)->showPopup();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// A listed entry as the export writes it: the listing's columns by position.
ExportEntry listedEntry(const Query& rows)
{
    ExportEntry e;
    e.uid = rows.field(0).toLongLong();
    e.date = listedDateText(rows.field(1));
    e.code = rows.fieldText(2);
    e.name = rows.fieldText(3);
    e.amount = rows.field(4).toDouble();
    e.remark = rows.fieldText(5);
    return e;
}

QString kindLabel(EntryKind kind, const char* suffix)
{
    return kindWord(kind) + QString::fromUtf8(suffix);
}

} // namespace

Tszgl::Tszgl(Context& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_messages(context.messages()),
      m_listing(context.database())
{
    setObjectName(QStringLiteral("szgl"));
    setWindowTitle(QStringLiteral("收支管理"));
    // Imports are undone and redone from this window's buttons.
    registerImportJournal();
    setupControls();
    setupTabOrder();
    FormCreate();
    setupConnections();
}

Tszgl::~Tszgl()
{
    disconnect(m_listing.model(), nullptr, this, nullptr);
    DBGrid1->setModel(nullptr);
}

void Tszgl::setupControls()
{
    resize(1014, 682);
    setWindowTextBlue(this);

    // Entry group.
    auto* entry = new QGroupBox(QStringLiteral("收支录入"), this);
    entry->setObjectName(QStringLiteral("GroupBox_lr"));
    GroupBox_lr = entry;
    RadioButton_lr_sr = named<QRadioButton>(entry, "RadioButton_lr_sr");
    RadioButton_lr_sr->setText(QStringLiteral("收入录入"));
    RadioButton_lr_sr->setChecked(true);
    RadioButton_lr_zc = named<QRadioButton>(entry, "RadioButton_lr_zc");
    RadioButton_lr_zc->setText(QStringLiteral("支出录入"));
    Label_lr_rq = makeLabel(entry, "Label_lr_rq", QStringLiteral("收入日期："));
    DateTimePicker_lr = makeDateField(entry, "DateTimePicker_lr");
    Label_lr_lb = makeLabel(entry, "Label_lr_lb", QStringLiteral("收入类别："));
    ComboBox_lr_lb = named<QComboBox>(entry, "ComboBox_lr_lb");
    ComboBox_lr_lb->setMinimumWidth(130);
    ComboBox_lr_lb->installEventFilter(new DropOnKey(ComboBox_lr_lb));
    Label_lr_je = makeLabel(entry, "Label_lr_je", QStringLiteral("收入金额："));
    Edit_lr_je = named<QLineEdit>(entry, "Edit_lr_je");
    Edit_lr_je->setMaxLength(kAmountMaxLength);
    BitBtn_save =
        makeButton(entry, "BitBtn_save", QStringLiteral("保存"), QStyle::SP_DialogSaveButton);
    BitBtn_resume = makeButton(entry, "BitBtn_resume", QStringLiteral("重新输入"),
                               QStyle::SP_DialogResetButton);
    Label_lr_sm = makeLabel(entry, "Label_lr_sm", QStringLiteral("收入说明：( 限100汉字 )"));
    Memo_lr_sm = named<QLineEdit>(entry, "Memo_lr_sm");
    Memo_lr_sm->setValidator(new GbkLengthValidator(kRemarkMaxBytes, Memo_lr_sm));
    BitBtn_update = makeButton(entry, "BitBtn_update", QStringLiteral("修改"),
                               QStyle::SP_FileDialogDetailedView);
    BitBtn_del = makeButton(entry, "BitBtn_del", QStringLiteral("删除"), QStyle::SP_TrashIcon);
    BitBtn_undo = makeButton(entry, "BitBtn_undo", QStringLiteral("撤销"), QStyle::SP_ArrowBack);
    BitBtn_redo = makeButton(entry, "BitBtn_redo", QStringLiteral("重做"), QStyle::SP_ArrowForward);
    Label_budget = makeTitleLineLabel(entry, "Label_budget");

    auto* eg = new QGridLayout(entry);
    eg->addWidget(RadioButton_lr_sr, 0, 0);
    eg->addWidget(Label_lr_rq, 0, 1, Qt::AlignRight);
    eg->addWidget(DateTimePicker_lr, 0, 2);
    eg->addWidget(Label_lr_lb, 0, 3, Qt::AlignRight);
    eg->addWidget(ComboBox_lr_lb, 0, 4);
    eg->addWidget(Label_lr_je, 0, 5, Qt::AlignRight);
    eg->addWidget(Edit_lr_je, 0, 6);
    eg->addWidget(BitBtn_save, 0, 7);
    eg->addWidget(BitBtn_resume, 0, 8);
    eg->addWidget(RadioButton_lr_zc, 1, 0);
    eg->addWidget(Label_lr_sm, 1, 1, 1, 2, Qt::AlignRight);
    eg->addWidget(Memo_lr_sm, 1, 3, 1, 4);
    eg->addWidget(BitBtn_update, 1, 7);
    eg->addWidget(BitBtn_del, 1, 8);
    eg->addWidget(BitBtn_undo, 0, 9);
    eg->addWidget(BitBtn_redo, 1, 9);
    eg->setColumnStretch(10, 1);

    // Query group.
    auto* query = new QGroupBox(QStringLiteral("设定查询条件"), this);
    query->setObjectName(QStringLiteral("GroupBox_cx"));
    RadioButton_cx_sr = named<QRadioButton>(query, "RadioButton_cx_sr");
    RadioButton_cx_sr->setText(QStringLiteral("收入查询"));
    RadioButton_cx_zc = named<QRadioButton>(query, "RadioButton_cx_zc");
    RadioButton_cx_zc->setText(QStringLiteral("支出查询"));
    Label_cx_qsrq = makeLabel(query, "Label_cx_qsrq", QStringLiteral("起止日期："));
    DateTimePicker_cx1 = makeDateField(query, "DateTimePicker_cx1");
    Label2 = makeLabel(query, "Label2", QStringLiteral("--至--"));
    DateTimePicker_cx2 = makeDateField(query, "DateTimePicker_cx2");
    Label_cx_lb = makeLabel(query, "Label_cx_lb", QStringLiteral("收入类别："));
    ComboBox_cx_lb = named<QComboBox>(query, "ComboBox_cx_lb");
    ComboBox_cx_lb->setMinimumWidth(130);
    Label_cx_je = makeLabel(query, "Label_cx_je", QStringLiteral("金额："));
    Edit_cx_je = named<QLineEdit>(query, "Edit_cx_je");
    Edit_cx_je->setMaxLength(kAmountMaxLength);
    BitBtn_cx =
        makeButton(query, "BitBtn_cx", QStringLiteral("查  询"), QStyle::SP_FileDialogContentsView);
    BitBtn_cx->setDefault(true);
    BitBtn_cx_txt =
        makeButton(query, "BitBtn_cx_txt", QStringLiteral("导出数据"), QStyle::SP_DialogSaveButton);
    Label_cx_sm = makeLabel(query, "Label_cx_sm", QStringLiteral("说明包含："));
    Edit_cx_sm = named<QLineEdit>(query, "Edit_cx_sm");
    Edit_cx_sm->setValidator(new GbkLengthValidator(kRemarkMaxBytes, Edit_cx_sm));
    BitBtn_table = makeButton(query, "BitBtn_table", QStringLiteral("导出表格"),
                              QStyle::SP_FileDialogListView);
    BitBtn_import =
        makeButton(query, "BitBtn_import", QStringLiteral("导入账单"), QStyle::SP_DialogOpenButton);
    Label_count = named<QLabel>(query, "Label_count");
    Label_sum = named<QLabel>(query, "Label_sum");
    for (QLabel* l : {Label_count, Label_sum})
        setTextColour(l, kWarningRed);
    DBGrid1 = named<QTableView>(query, "DBGrid1");
    DBGrid1->setModel(m_listing.model());
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setItemDelegate(new AmountDelegate(DBGrid1));
    DBGrid1->verticalHeader()->setDefaultSectionSize(24);

    auto* qg = new QGridLayout(query);
    qg->addWidget(RadioButton_cx_sr, 0, 0);
    qg->addWidget(Label_cx_qsrq, 0, 1, Qt::AlignRight);
    qg->addWidget(DateTimePicker_cx1, 0, 2);
    qg->addWidget(Label2, 0, 3, Qt::AlignCenter);
    qg->addWidget(DateTimePicker_cx2, 0, 4);
    qg->addWidget(Label_cx_lb, 0, 5, Qt::AlignRight);
    qg->addWidget(ComboBox_cx_lb, 0, 6);
    qg->addWidget(Label_cx_je, 0, 7, Qt::AlignRight);
    qg->addWidget(Edit_cx_je, 0, 8);
    qg->addWidget(BitBtn_cx, 0, 9);
    qg->addWidget(BitBtn_cx_txt, 0, 10);
    qg->addWidget(RadioButton_cx_zc, 1, 0);
    auto* totals = new QHBoxLayout;
    totals->addWidget(Label_count);
    totals->addSpacing(40);
    totals->addWidget(Label_sum);
    totals->addStretch(1);
    qg->addLayout(totals, 1, 1, 1, 4);
    qg->addWidget(Label_cx_sm, 1, 5, Qt::AlignRight);
    qg->addWidget(Edit_cx_sm, 1, 6, 1, 3);
    qg->addWidget(BitBtn_import, 1, 9);
    qg->addWidget(BitBtn_table, 1, 10);
    qg->addWidget(DBGrid1, 2, 0, 1, 12);
    qg->setColumnStretch(11, 1);
    qg->setRowStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(entry);
    layout->addWidget(query, 1);

    // Enter in a date field moves on; in an edit box it runs the search (the
    // window's default button), never a save.
    for (QDateEdit* d : {DateTimePicker_lr, DateTimePicker_cx1, DateTimePicker_cx2})
        installEnterMovesFocus(d);
    for (QLineEdit* e : {Edit_lr_je, Memo_lr_sm, Edit_cx_je, Edit_cx_sm})
        installEnterClicks(e, BitBtn_cx);
    for (QLineEdit* e : {Edit_lr_je, Edit_cx_je})
        installCharFilter(e, isAmountChar);
}

void Tszgl::setupTabOrder()
{
    // The query group comes first.
    const QList<QWidget*> order = {
        DateTimePicker_cx1, DateTimePicker_cx2, Edit_cx_je,        Edit_cx_sm,
        BitBtn_cx,          ComboBox_cx_lb,     RadioButton_cx_sr, RadioButton_cx_zc,
        BitBtn_cx_txt,      BitBtn_import,      BitBtn_table,      DBGrid1,
        DateTimePicker_lr,  ComboBox_lr_lb,     Edit_lr_je,        Memo_lr_sm,
        BitBtn_save,        BitBtn_resume,      RadioButton_lr_sr, RadioButton_lr_zc,
        BitBtn_update,      BitBtn_del,         BitBtn_undo,       BitBtn_redo};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Tszgl::setupConnections()
{
    connectChecked(RadioButton_lr_sr, this, [this] { RadioButton_lr_srClick(); });
    connectChecked(RadioButton_lr_zc, this, [this] { RadioButton_lr_zcClick(); });
    connectChecked(RadioButton_cx_sr, this, [this] { RadioButton_cx_srClick(); });
    connectChecked(RadioButton_cx_zc, this, [this] { RadioButton_cx_zcClick(); });
    connect(BitBtn_save, &QPushButton::clicked, this, &Tszgl::BitBtn_saveClick);
    connect(BitBtn_resume, &QPushButton::clicked, this, &Tszgl::BitBtn_resumeClick);
    connect(BitBtn_cx, &QPushButton::clicked, this, &Tszgl::BitBtn_cxClick);
    connect(BitBtn_update, &QPushButton::clicked, this, &Tszgl::BitBtn_updateClick);
    connect(BitBtn_del, &QPushButton::clicked, this, &Tszgl::BitBtn_delClick);
    connect(BitBtn_cx_txt, &QPushButton::clicked, this, &Tszgl::BitBtn_cx_txtClick);
    connect(BitBtn_table, &QPushButton::clicked, this, &Tszgl::BitBtn_tableClick);
    connect(BitBtn_import, &QPushButton::clicked, this, &Tszgl::BitBtn_importClick);
    connectGridSelection();
    new UndoControl(m_context, this, BitBtn_undo, BitBtn_redo);
    connect(ComboBox_lr_lb, &QComboBox::currentIndexChanged, this, &Tszgl::refreshBudgetLabel);
    connect(DateTimePicker_lr, &QDateEdit::dateChanged, this, &Tszgl::refreshBudgetLabel);
    connect(RadioButton_lr_zc, &QRadioButton::toggled, this, &Tszgl::refreshBudgetLabel);
    connect(&m_context, &Context::entriesChanged, this, &Tszgl::refreshBudgetLabel);
    connect(&m_context, &Context::budgetsChanged, this, &Tszgl::refreshBudgetLabel);
    connect(&m_context, &Context::entriesChanged, this, [this](EntryKind kind, QObject* origin) {
        if (origin != this && m_listed && m_listed->kind == kind)
            guarded(m_messages, [this] { refreshListing(); });
    });
    connect(&m_context, &Context::categoriesChanged, this, [this](QObject* origin) {
        if (origin != this)
            guarded(m_messages, [this] { reloadCategoryLists(); });
    });
    connect(&m_context, &Context::bookReplaced, this, [this] {
        leaveEditMode();
        clearEntryInputs();
        hideListing();
        guarded(m_messages, [this] { reloadCategoryLists(); });
    });
    // A page the grid could not read is reported once the paint that asked for it is over.
    connect(
        m_listing.model(), &ListingModel::readFailed, this,
        [this](const QString& message) { m_messages.error(message); }, Qt::QueuedConnection);
}

void Tszgl::FormCreate()
{
    DateTimePicker_cx1->setDate(QDate::currentDate());
    DateTimePicker_cx2->setDate(QDate::currentDate());
    Label_cx_lb->setText(QStringLiteral("收入类别："));
    ComboBox_cx_lb->clear();
    Edit_cx_je->clear();
    setExportsEnabled(false);
    DBGrid1->setEnabled(false);
    DBGrid1->setVisible(false);
    DateTimePicker_lr->setDate(QDate::currentDate());
    BitBtn_update->setEnabled(false);
    BitBtn_del->setEnabled(false);
    loadCategories(ComboBox_lr_lb, EntryKind::Income);
}

EntryKind Tszgl::entryKind() const
{
    return RadioButton_lr_sr->isChecked() ? EntryKind::Income : EntryKind::Expense;
}

EntryKind Tszgl::queryKind() const
{
    // With no query kind chosen the search runs on the expense table.
    return RadioButton_cx_sr->isChecked() ? EntryKind::Income : EntryKind::Expense;
}

void Tszgl::loadCategories(QComboBox* list, EntryKind kind)
{
    Query& q = m_context.ADOQuery1();
    q.setText(categoryListSql(kind));
    q.open();
    QStringList items;
    for (q.first(); !q.eof(); q.next())
        items << q.fieldText(QStringLiteral("lb")) + q.fieldText(QStringLiteral("bmmc"));
    list->addItems(items);
    list->setCurrentIndex(-1);
}

void Tszgl::clearEntryInputs()
{
    DateTimePicker_lr->setDate(QDate::currentDate());
    ComboBox_lr_lb->setCurrentIndex(-1);
    Edit_lr_je->clear();
    Memo_lr_sm->clear();
}

void Tszgl::showEntryKindLabels(EntryKind kind)
{
    Label_lr_rq->setText(kindLabel(kind, "日期："));
    Label_lr_lb->setText(kindLabel(kind, "类别："));
    Label_lr_je->setText(kindLabel(kind, "金额："));
    Label_lr_sm->setText(kindLabel(kind, "说明：( 限100汉字 )"));
}

void Tszgl::switchEntryKind(EntryKind kind)
{
    hideGrid();
    BitBtn_del->setEnabled(false);
    syncUpdateButton();
    showEntryKindLabels(kind);
    DateTimePicker_lr->setDate(QDate::currentDate());
    ComboBox_lr_lb->clear();
    Edit_lr_je->clear();
    Memo_lr_sm->clear();
    guarded(m_messages, [&] { loadCategories(ComboBox_lr_lb, kind); });
}

void Tszgl::RadioButton_lr_srClick()
{
    switchEntryKind(EntryKind::Income);
}

void Tszgl::RadioButton_lr_zcClick()
{
    switchEntryKind(EntryKind::Expense);
}

std::optional<Tszgl::EntryInput> Tszgl::checkedEntry()
{
    const QString item = ComboBox_lr_lb->currentText();
    if (item.isEmpty() || item == QStringLiteral("选择类别")) {
        ComboBox_lr_lb->setFocus();
        m_messages.info(QStringLiteral("必须选择收入类别！"));
        return std::nullopt;
    }
    if (Edit_lr_je->text().isEmpty()) {
        Edit_lr_je->setFocus();
        m_messages.info(QStringLiteral("必须选择收入金额！"));
        return std::nullopt;
    }
    // The rounded text is what gets stored and what the box shows afterwards:
    // one longer than the box (a pasted 1e14) would be cut there and a later
    // save would store the cut amount, so it is refused.
    const auto amount = parseAmount(Edit_lr_je->text());
    const QString amountText = amount ? numberText(*amount) : QString();
    if (!amount || amountText.size() > kAmountMaxLength) {
        Edit_lr_je->setFocus();
        m_messages.info(QStringLiteral("输入的金额格式非法!"));
        return std::nullopt;
    }
    Edit_lr_je->setText(amountText);
    if (Memo_lr_sm->text().isEmpty()) {
        Memo_lr_sm->setFocus();
        m_messages.info(QStringLiteral("必须填写备注说明！"));
        return std::nullopt;
    }
    return EntryInput{DateTimePicker_lr->date(), item.left(2), item.mid(2), amountText,
                      Memo_lr_sm->text()};
}

void Tszgl::BitBtn_saveClick()
{
    guarded(m_messages, [&] {
        const std::optional<EntryInput> entry = checkedEntry();
        if (!entry)
            return;
        if (m_editUid) {
            saveCorrection(*entry);
            return;
        }
        Query& q = m_context.ADOQuery1();
        q.setText(insertEntrySql(entryKind(), entry->date, entry->code, entry->name,
                                 entry->amountText, entry->remark));
        Database& db = m_context.database();
        Transaction transaction(db);
        q.exec();
        recordAction(db, entrySaved(db, entryKind(), db.lastInsertId()));
        transaction.commit();
        m_context.announceEntries(entryKind(), this);
        m_messages.info(QStringLiteral("数据保存成功！"));
        clearEntryInputs();
    });
}

void Tszgl::saveCorrection(const EntryInput& entry)
{
    Query& q = m_context.ADOQuery1();
    q.setText(updateEntrySql(m_editKind, *m_editUid, entry.date, entry.code, entry.name,
                             entry.amountText, entry.remark));
    Database& db = m_context.database();
    int corrected = 0;
    {
        Transaction transaction(db);
        checkGeneration(m_context);
        const EntrySnapshot before(db, m_editKind, *m_editUid);
        if ((corrected = q.exec()) == 1) {
            recordAction(db, before.corrected(db));
            transaction.commit();
        }
    }
    if (corrected != 1) {
        // Gone meanwhile (deleted here or by another program): nothing to correct.
        m_messages.info(QStringLiteral("数据修改失败！"));
        return;
    }
    m_context.announceEntries(m_editKind, this);
    m_messages.info(QStringLiteral("数据修改成功！"));
    leaveEditMode();
    clearEntryInputs();
    search();
    syncUpdateButton();
}

void Tszgl::BitBtn_resumeClick()
{
    leaveEditMode();
    clearEntryInputs();
}

void Tszgl::BitBtn_updateClick()
{
    guarded(m_messages, [&] {
        const QModelIndex current = DBGrid1->currentIndex();
        if (!m_listed || !current.isValid())
            return;
        const QAbstractItemModel* model = DBGrid1->model();
        auto cell = [&](int column) {
            return model->index(current.row(), column).data();
        };
        const QVariant id = cell(0);
        if (!isInteger(id))
            return;
        const EntryKind kind = m_listed->kind;
        // Only another program can have stored an amount the box cannot hold;
        // loading it cut would store the cut amount.
        const QString amountText = numberText(cell(4).toDouble());
        if (amountText.size() > kAmountMaxLength) {
            m_messages.info(QStringLiteral("该记录的金额超过金额框的12个字符，不能在此修改！"));
            return;
        }

        leaveEditMode();
        {
            const QSignalBlocker blockIncome(RadioButton_lr_sr);
            const QSignalBlocker blockExpense(RadioButton_lr_zc);
            (kind == EntryKind::Income ? RadioButton_lr_sr : RadioButton_lr_zc)->setChecked(true);
        }
        showEntryKindLabels(kind);
        ComboBox_lr_lb->clear();
        loadCategories(ComboBox_lr_lb, kind);
        const QString item = cell(2).toString() + cell(3).toString();
        int index = ComboBox_lr_lb->findText(item, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (index < 0) {
            // The category was removed or renamed since: the entry keeps its own.
            ComboBox_lr_lb->addItem(item);
            index = ComboBox_lr_lb->count() - 1;
            m_keptItem = item;
        }
        ComboBox_lr_lb->setCurrentIndex(index);
        DateTimePicker_lr->setDate(QDate::fromString(listedDateText(cell(1)), Qt::ISODate));
        Edit_lr_je->setText(amountText);
        Memo_lr_sm->setText(cell(5).toString());

        m_editUid = id.toLongLong();
        m_editKind = kind;
        GroupBox_lr->setTitle(QStringLiteral("收支录入（修改") + kindLabel(kind, "编号 ") +
                              QString::number(*m_editUid) + QStringLiteral("）"));
        BitBtn_save->setText(QStringLiteral("保存修改"));
        // An entry never moves between the two tables.
        RadioButton_lr_sr->setEnabled(false);
        RadioButton_lr_zc->setEnabled(false);
        DateTimePicker_lr->setFocus();
    });
}

void Tszgl::leaveEditMode()
{
    if (!m_editUid)
        return;
    m_editUid.reset();
    if (!m_keptItem.isEmpty()) {
        const int kept =
            ComboBox_lr_lb->findText(m_keptItem, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (kept >= 0)
            ComboBox_lr_lb->removeItem(kept);
        m_keptItem.clear();
    }
    GroupBox_lr->setTitle(QStringLiteral("收支录入"));
    BitBtn_save->setText(QStringLiteral("保存"));
    RadioButton_lr_sr->setEnabled(true);
    RadioButton_lr_zc->setEnabled(true);
}

void Tszgl::syncUpdateButton()
{
    BitBtn_update->setEnabled(BitBtn_del->isEnabledTo(this) && !DBGrid1->isHidden() && m_listed &&
                              DBGrid1->currentIndex().isValid());
}

void Tszgl::switchQueryKind(EntryKind kind)
{
    setExportsEnabled(false);
    BitBtn_del->setEnabled(false);
    syncUpdateButton();
    Label_cx_lb->setText(kindLabel(kind, "类别："));
    Edit_cx_je->clear();
    ComboBox_cx_lb->clear();
    guarded(m_messages, [&] { loadCategories(ComboBox_cx_lb, kind); });
    Label_count->clear();
    Label_sum->clear();
    hideGrid();
}

void Tszgl::RadioButton_cx_srClick()
{
    switchQueryKind(EntryKind::Income);
}

void Tszgl::RadioButton_cx_zcClick()
{
    switchQueryKind(EntryKind::Expense);
}

void Tszgl::hideGrid()
{
    DBGrid1->setEnabled(false);
    DBGrid1->setVisible(false);
}

void Tszgl::search()
{
    setExportsEnabled(false);
    const QDate from = DateTimePicker_cx1->date();
    const QDate to = DateTimePicker_cx2->date();
    if (from > to) {
        DateTimePicker_cx1->setFocus();
        m_messages.info(QStringLiteral("起始时期大于终止时期！"));
        return;
    }
    const EntryKind kind = queryKind();
    const QString item = ComboBox_cx_lb->currentText();
    const QString code = item.isEmpty() ? QString() : item.left(2);
    QString amountText;
    if (!Edit_cx_je->text().isEmpty()) {
        const auto amount = parseAmount(Edit_cx_je->text());
        if (!amount) {
            Edit_cx_je->setFocus();
            m_messages.info(QStringLiteral("输入的金额格式非法!"));
            return;
        }
        amountText = numberText(*amount);
    }
    const QString conditions =
        searchConditions(kind, from, to, code, amountText, Edit_cx_sm->text());

    if (!listEntries(kind, conditions, 0)) {
        DBGrid1->setVisible(false);
        m_messages.info(QStringLiteral("未发现符合条件的记录！"));
        ComboBox_cx_lb->setCurrentIndex(-1);
        return;
    }
    DBGrid1->setFocus();
    ComboBox_cx_lb->setCurrentIndex(-1);
}

bool Tszgl::listEntries(EntryKind kind, const QString& conditions, int row)
{
    m_listed.reset();
    m_listing.setText(totalsSql(kind, conditions));
    m_listing.open();
    const qint64 count = m_listing.field(0).toLongLong();
    if (count == 0) {
        Label_count->clear();
        Label_sum->clear();
        return false;
    }
    Label_count->setText(QStringLiteral("共 ") + QString::number(count) +
                         QStringLiteral(" 条记录  "));
    Label_sum->setText(QStringLiteral("合计 ") + numberText(m_listing.field(1).toDouble()) +
                       QStringLiteral(" 元  "));

    m_listing.setText(listingSql(kind, conditions));
    m_listing.openForGrid(count);
    m_listed = Listed{kind, conditions, count};
    ListingModel* model = m_listing.model();
    const QStringList captions = listingCaptions(kind);
    for (int i = 0; i < captions.size() && i < model->columnCount(); ++i)
        model->setHeaderData(i, Qt::Horizontal, captions[i]);
    // The remark takes the room left over.
    if (model->columnCount() > 5)
        DBGrid1->horizontalHeader()->setSectionResizeMode(5, QHeaderView::Stretch);

    DBGrid1->setEnabled(true);
    DBGrid1->setVisible(true);
    row = static_cast<int>(std::clamp<qint64>(row, 0, count - 1));
    DBGrid1->setCurrentIndex(model->index(row, 0));
    m_listing.setRow(row);
    setExportsEnabled(true);
    BitBtn_del->setEnabled(true);
    return true;
}

void Tszgl::refreshListing()
{
    // Another window or program changed entries of the listed kind: the rows
    // shown are read again, silently, at the same place.
    if (!m_listed || DBGrid1->isHidden())
        return;
    const Listed listed = *m_listed;
    if (!listEntries(listed.kind, listed.conditions, DBGrid1->currentIndex().row()))
        hideListing();
    syncUpdateButton();
}

void Tszgl::hideListing()
{
    m_listed.reset();
    m_listing.close();
    hideGrid();
    Label_count->clear();
    Label_sum->clear();
    setExportsEnabled(false);
    BitBtn_del->setEnabled(false);
    syncUpdateButton();
}

void Tszgl::reloadCategoryLists()
{
    // The chosen entry category stays chosen while it exists.
    const QString chosen = ComboBox_lr_lb->currentText();
    ComboBox_lr_lb->clear();
    loadCategories(ComboBox_lr_lb, m_editUid ? m_editKind : entryKind());
    ComboBox_lr_lb->setCurrentIndex(
        ComboBox_lr_lb->findText(chosen, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    if (RadioButton_cx_sr->isChecked() || RadioButton_cx_zc->isChecked()) {
        ComboBox_cx_lb->clear();
        loadCategories(ComboBox_cx_lb, queryKind());
    }
}

void Tszgl::BitBtn_cxClick()
{
    guarded(m_messages, [&] { search(); });
    syncUpdateButton();
}

void Tszgl::syncListingRow()
{
    const QModelIndex current = DBGrid1->currentIndex();
    if (current.isValid())
        m_listing.setRow(current.row());
}

void Tszgl::BitBtn_delClick()
{
    bool done = false;
    QString reason;
    guarded(m_messages, [&] {
        try {
            // Only a listed entry's own number may be deleted, never the totals
            // row left by a search that found nothing.
            syncListingRow();
            if (!m_listed)
                return;
            const QVariant id = m_listing.field(0);
            if (!isInteger(id))
                return;
            const EntryKind kind = m_listed->kind;
            Query& q = m_context.ADOQuery1();
            q.setText(deleteEntrySql(kind, id.toLongLong()));
            Database& db = m_context.database();
            int deleted = 0;
            {
                Transaction transaction(db);
                checkGeneration(m_context);
                const EntrySnapshot before(db, kind, id.toLongLong());
                if ((deleted = q.exec()) > 0) {
                    recordAction(db, before.deleted());
                    transaction.commit();
                }
            }
            if (deleted == 0)
                return; // already gone: deleted by another program, or a stale listing
            m_context.announceEntries(kind, this);
            m_messages.info(QStringLiteral("数据删除成功！"));
            search();
            done = true;
        } catch (const StoreError& e) {
            reason = e.message();
        }
    });
    if (!done)
        m_messages.info(QStringLiteral("数据删除失败！"), reason);
    syncUpdateButton();
}

void Tszgl::setExportsEnabled(bool enabled)
{
    BitBtn_cx_txt->setEnabled(enabled);
    BitBtn_table->setEnabled(enabled);
}

void Tszgl::refreshBudgetLabel()
{
    guarded(m_messages, [this] {
        BudgetLine line;
        if (entryKind() == EntryKind::Expense)
            line = entryBudgetLine(m_context.database(), ComboBox_lr_lb->currentText().left(2),
                                   periodKey(DateTimePicker_lr->date()));
        showBudgetLine(Label_budget, line);
    });
}

void Tszgl::connectGridSelection()
{
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_listing.setRow(current.row());
                syncUpdateButton();
            });
}

void Tszgl::BitBtn_cx_txtClick()
{
    guarded(m_messages, [&] {
        if (!m_listed)
            return;
        // With no query kind chosen the listing came from the expense table.
        const QString kindWord =
            RadioButton_cx_sr->isChecked() ? QStringLiteral("收入") : QStringLiteral("支出");
        const QDate from = DateTimePicker_cx1->date();
        const QDate to = DateTimePicker_cx2->date();
        const QString fileName = exportFileName(kindWord, from, to);

        // The listing is read afresh by a forward-only cursor and written as it
        // comes: neither the grid's pages nor the whole listing are held in memory.
        ProgressDialog progress(this, QStringLiteral("正在导出数据……"));
        Query rows(m_context.database(), m_listing.text());
        rows.open();
        GbkTextFile file(m_context.workFile(fileName));
        for (const QString& line : exportHeadLines(fileName))
            file.writeLine(line);
        qint64 written = 0;
        for (; !rows.eof(); rows.next(), ++written) {
            file.writeLine(exportEntryLine(listedEntry(rows)));
            if (written % 4096 == 0)
                reportProgress(progress.progress(), written, m_listed->count);
        }
        rows.close();
        for (const QString& line :
             exportFootLines(written, QDateTime::currentDateTime(), from, to, Label_sum->text()))
            file.writeLine(line);
        file.commit();
        // The grid follows the listing to its last entry.
        const int last = m_listing.model()->rowCount() - 1;
        if (last >= 0) {
            DBGrid1->setCurrentIndex(m_listing.model()->index(last, 0));
            m_listing.setRow(last);
        }
        m_messages.info(QStringLiteral("数据导出完成，文件名：") + fileName);
    });
}

void Tszgl::BitBtn_tableClick()
{
    guarded(m_messages, [&] {
        if (!m_listed)
            return;
        const QString path = askTableFile(this, m_context.workFile(listingTableFileName()));
        if (path.isEmpty())
            return;
        if (const QString refused = TableWriter::rowLimitError(path, m_listed->count);
            !refused.isEmpty()) {
            m_messages.info(refused);
            return;
        }
        ProgressDialog progress(this, QStringLiteral("正在导出表格……"));
        writeListingTable(path, listingCaptions(m_listed->kind), m_listing, m_listed->count,
                          progress.progress());
        m_messages.info(QStringLiteral("表格导出完成！"));
    });
}

void Tszgl::BitBtn_importClick()
{
    Tdrzd dialog(m_context, this);
    dialog.exec();
    // The search then shows what came in.
    if (const auto& imported = dialog.lastImport()) {
        (imported->expense ? RadioButton_cx_zc : RadioButton_cx_sr)->setChecked(true);
        DateTimePicker_cx1->setDate(imported->first);
        DateTimePicker_cx2->setDate(imported->last);
        ComboBox_cx_lb->setCurrentIndex(-1);
        Edit_cx_je->clear();
        BitBtn_cxClick();
    }
}
