#include "budget/yssz.h"

#include "budget/budgetbook.h"
#include "budget/budgetlines.h"
#include "budget/budgetmodel.h"
#include "store/context.h"
#include "store/messages.h"
#include "store/textfile.h"
#include "ui/palette.h"
#include "ui/widgets.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace {

const QColor kActualColour(0x3c, 0x9d, 0x5a);
constexpr int kGridRows = 13;

QDate firstOfMonth(const QDate& date)
{
    return QDate(date.year(), date.month(), 1);
}

// Enter in the grid commits a typed budget and goes no further: the dialog's
// buttons are pressed only on purpose.
class SwallowEnter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

Tyssz::Tyssz(Context& context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("yssz"));
    setWindowTitle(QStringLiteral("预算"));
    setModal(true);
    buildControls();

    connect(m_model, &BudgetModel::modelReset, this, &Tyssz::refreshChart);
    connect(m_model, &BudgetModel::dataChanged, this, &Tyssz::refreshChart);
    m_month = firstOfMonth(QDate::currentDate());
    Date_month->setDate(m_month);
    loadMonth();

    connect(Date_month, &QDateEdit::dateChanged, this, &Tyssz::Date_monthChange);
    connect(BitBtn_copy, &QPushButton::clicked, this, &Tyssz::BitBtn_copyClick);
    connect(BitBtn_avg, &QPushButton::clicked, this, &Tyssz::BitBtn_avgClick);
    connect(BitBtn_save, &QPushButton::clicked, this, &Tyssz::BitBtn_saveClick);
    connect(BitBtn_report, &QPushButton::clicked, this, &Tyssz::BitBtn_reportClick);
    connect(BitBtn_close, &QPushButton::clicked, this, &Tyssz::BitBtn_closeClick);
}

Tyssz::~Tyssz() = default;

void Tyssz::buildControls()
{
    resize(720, 680);
    setWindowTextBlue(this);

    Label_month = makeLabel(this, "Label_month", QStringLiteral("月份："));
    Date_month = makeDateField(this, "Date_month");
    Date_month->setDisplayFormat(QStringLiteral("yyyy-MM"));
    installEnterMovesFocus(Date_month);

    m_model = new BudgetModel(this);
    Grid_budget = named<QTableView>(this, "Grid_budget");
    Grid_budget->setModel(m_model);
    Grid_budget->setItemDelegateForColumn(
        BudgetModel::Budget,
        new BudgetDelegate(
            [this] { m_context.messages().info(QStringLiteral("输入的金额格式非法!")); },
            Grid_budget));
    Grid_budget->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    Grid_budget->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_budget->verticalHeader()->hide();
    Grid_budget->verticalHeader()->setDefaultSectionSize(24);
    QHeaderView* header = Grid_budget->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setSectionResizeMode(BudgetModel::Code, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(BudgetModel::Name, QHeaderView::ResizeToContents);
    Grid_budget->installEventFilter(new SwallowEnter(Grid_budget));

    Chart_budget = new QChartView(this);
    Chart_budget->setObjectName(QStringLiteral("Chart_budget"));
    Chart_budget->setRenderHint(QPainter::Antialiasing);
    Chart_budget->setFocusPolicy(Qt::NoFocus);
    Chart_budget->setMinimumHeight(240);
    QChart* chart = Chart_budget->chart();
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setMargins(QMargins(4, 4, 4, 4));

    BitBtn_copy =
        makeButton(this, "BitBtn_copy", QStringLiteral("复制上月"), QStyle::SP_FileDialogBack);
    BitBtn_avg = makeButton(this, "BitBtn_avg", QStringLiteral("按近12个月平均"),
                            QStyle::SP_FileDialogInfoView);
    BitBtn_save =
        makeButton(this, "BitBtn_save", QStringLiteral("保存"), QStyle::SP_DialogSaveButton);
    BitBtn_report = makeButton(this, "BitBtn_report", QStringLiteral("生成预算报表"),
                               QStyle::SP_FileDialogDetailedView);
    BitBtn_close =
        makeButton(this, "BitBtn_close", QStringLiteral("关闭"), QStyle::SP_DialogCloseButton);

    auto* top = new QHBoxLayout;
    top->addWidget(Label_month);
    top->addWidget(Date_month);
    top->addStretch(1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {BitBtn_copy, BitBtn_avg, BitBtn_save, BitBtn_report})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Grid_budget);
    layout->addWidget(Chart_budget, 1);
    layout->addLayout(buttons);
}

QString Tyssz::monthKey() const
{
    return budgetlines::monthKey(m_month);
}

void Tyssz::loadMonth()
{
    guarded(m_context.messages(),
            [this] { m_model->setRows(readBudgetMonth(m_context.database(), monthKey())); });
    // The grid as high as its rows (a dozen at most), the chart below takes the rest.
    const int rows = std::min(m_model->rowCount(), kGridRows);
    Grid_budget->setFixedHeight(Grid_budget->horizontalHeader()->sizeHint().height() +
                                rows * Grid_budget->verticalHeader()->defaultSectionSize() +
                                2 * Grid_budget->frameWidth());
}

bool Tyssz::mayDiscard()
{
    return !m_model->isModified() ||
           m_context.messages().ask(QStringLiteral("预算已修改，尚未保存。确定放弃修改吗？"));
}

void Tyssz::Date_monthChange()
{
    const QDate chosen = firstOfMonth(Date_month->date());
    if (chosen == m_month)
        return;
    if (!mayDiscard()) {
        const QSignalBlocker blocker(Date_month);
        Date_month->setDate(m_month);
        return;
    }
    m_month = chosen;
    loadMonth();
}

void Tyssz::BitBtn_copyClick()
{
    guarded(m_context.messages(), [this] {
        const QHash<QString, qint64> previous =
            readMonthBudgets(m_context.database(), budgetlines::monthKey(m_month.addMonths(-1)));
        if (previous.isEmpty()) {
            m_context.messages().info(QStringLiteral("上月没有预算！"));
            return;
        }
        m_model->fillBudgets(previous);
    });
}

void Tyssz::BitBtn_avgClick()
{
    guarded(m_context.messages(),
            [this] { m_model->fillBudgets(readAverageBudgets(m_context.database(), monthKey())); });
}

void Tyssz::BitBtn_saveClick()
{
    guarded(m_context.messages(), [this] {
        storeBudgetMonth(m_context.database(), monthKey(), m_model->rows());
        m_model->setModified(false);
        m_context.announceBudgets(this);
        m_context.messages().info(QStringLiteral("预算保存成功！"));
    });
}

void Tyssz::BitBtn_reportClick()
{
    guarded(m_context.messages(), [this] {
        // What the grid shows; replaced only once complete.
        writeGbkLines(m_context.workFile(budgetlines::reportFileName(monthKey())),
                      budgetlines::reportLines(monthKey(), m_model->rows()));
        m_context.messages().info(QStringLiteral("预算报表生成完成！"));
    });
}

void Tyssz::BitBtn_closeClick()
{
    reject();
}

void Tyssz::reject()
{
    if (mayDiscard())
        QDialog::reject();
}

void Tyssz::refreshChart()
{
    QChart* chart = Chart_budget->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* budgets = new QBarSet(QStringLiteral("预算"));
    auto* actuals = new QBarSet(QStringLiteral("实际"));
    budgets->setColor(kWindowBlue);
    actuals->setColor(kActualColour);
    // Over budget: the actual bar is drawn in the selected colour.
    actuals->setSelectedColor(kWarningRed);
    QStringList names;
    QList<int> over;
    double largest = 0;
    // The first category on top: a horizontal chart draws its first bar at the bottom.
    const QList<BudgetRow>& rows = m_model->rows();
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        const double budget = row->budget ? *row->budget / 100.0 : 0.0;
        const double actual = row->actual / 100.0;
        if (budgetlines::isOver(*row))
            over << static_cast<int>(names.size());
        budgets->append(budget);
        actuals->append(actual);
        names << row->name;
        largest = std::max({largest, budget, actual});
    }
    auto* series = new QHorizontalBarSeries;
    series->append(budgets);
    series->append(actuals);
    chart->addSeries(series);
    actuals->selectBars(over);

    auto* categories = new QBarCategoryAxis;
    categories->append(names);
    chart->addAxis(categories, Qt::AlignLeft);
    series->attachAxis(categories);
    auto* values = new QValueAxis;
    values->setRange(0, largest > 0 ? largest : 1);
    values->setLabelFormat(QStringLiteral("%.0f"));
    values->applyNiceNumbers();
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(values);
}
