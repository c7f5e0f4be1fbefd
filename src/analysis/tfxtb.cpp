#include "analysis/tfxtb.h"

#include "analysis/chartpanel.h"
#include "analysis/reportlines.h"
#include "budget/yssz.h"
#include "share/analysispage.h"
#include "share/tableexport.h"
#include "store/context.h"
#include "store/messages.h"
#include "store/numbers.h"
#include "store/query.h"
#include "store/storeerror.h"
#include "store/textfile.h"
#include "ui/palette.h"
#include "ui/progressdialog.h"
#include "ui/widgets.h"

#include <QDateEdit>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <algorithm>

using analysissql::Period;

namespace {

const QColor& kBlue = kWindowBlue;
const QColor& kRed = kWarningRed;

// Controls stand where the window's layout puts them, in pixels.
template <typename T> T* placed(T* widget, const QRect& geometry)
{
    widget->setGeometry(geometry);
    return widget;
}

// The laid-out heights (13 pixels for most labels) clip the Chinese glyphs of
// the usual fonts: such a label keeps its top and grows to a line of its font.
void fitHeight(QLabel* label)
{
    label->resize(label->width(), std::max(label->height(), lineHeight(label->font())));
}

QLineEdit* makeDigitEdit(QWidget* parent, const char* name, int maxLength, const QRect& geometry)
{
    auto* edit = placed(named<QLineEdit>(parent, name), geometry);
    edit->setMaxLength(maxLength);
    // Edit_yearKeyPress: digits and backspace only; pasted text too, since a
    // period ends up in a report's file name.
    setDigitsOnly(edit);
    return edit;
}

QDateEdit* makePicker(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* picker = placed(makeDateField(parent, name), geometry);
    // The full date must fit the narrow box beside its drop-down button.
    QFont small = picker->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    picker->setFont(small);
    // A style sheet of its own takes the palette from the application, not from
    // the window: the window's blue is named here again.
    picker->setStyleSheet(
        QStringLiteral("QDateEdit { padding-left: 1px; padding-right: 0px; color: %1; }")
            .arg(kWindowBlue.name()));
    return picker;
}

// The window's buttons carry no glyph.
QPushButton* makePlainButton(QWidget* parent, const char* name, const QString& text,
                             const QRect& geometry)
{
    auto* button = placed(named<QPushButton>(parent, name), geometry);
    button->setText(text);
    // Enter on a focused button presses that button, as in every window.
    button->setAutoDefault(true);
    return button;
}

ChartPanel* makeChart(QWidget* parent, const char* name, ChartPanel::Kind kind,
                      const QRect& geometry)
{
    auto* chart = new ChartPanel(kind, parent);
    chart->setObjectName(QLatin1String(name));
    chart->setGeometry(geometry);
    chart->setFocusPolicy(Qt::ClickFocus);
    chart->hide();
    return chart;
}

QFont summaryFont(QFont f)
{
    f.setPointSizeF(f.pointSizeF() * 0.9);
    return f;
}

// Summary texts shrink their type as far as needed to show the whole figure.
void setSummary(QLabel* label, const QString& text)
{
    QFont f = summaryFont(label->parentWidget()->font());
    const qreal full = f.pointSizeF();
    while (QFontMetrics(f).horizontalAdvance(text) > label->width() && f.pointSizeF() > full * 0.7)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    label->setFont(f);
    label->setText(text);
}

double sumValue(const QVariant& v)
{
    return v.isNull() ? 0.0 : v.toDouble();
}

QString balanceText(double difference)
{
    const auto rounded = roundCents(difference);
    return numberText(rounded ? *rounded : difference);
}

} // namespace

Tfxtb::Tfxtb(Context& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_reportQuery(context.database())
{
    setObjectName(QStringLiteral("fxtb"));
    setWindowTitle(QStringLiteral("分析图表"));
    buildControls();
    FormCreate();

    connect(BitBtn1, &QPushButton::clicked, this, &Tfxtb::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfxtb::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &Tfxtb::BitBtn3Click);
    connect(addSummaryButton("BitBtn_budget", QStringLiteral("预算")), &QPushButton::clicked, this,
            &Tfxtb::BitBtn_budgetClick);
    BitBtn_table_year = addSummaryButton("BitBtn_table_year", QStringLiteral("年度报表导出表格"));
    BitBtn_table_month = addSummaryButton("BitBtn_table_month", QStringLiteral("月度报表导出表格"));
    BitBtn_print = addSummaryButton("BitBtn_print", QStringLiteral("打印…"));
    BitBtn_pdf = addSummaryButton("BitBtn_pdf", QStringLiteral("导出PDF"));
    connect(BitBtn_table_year, &QPushButton::clicked, this, &Tfxtb::BitBtn_table_yearClick);
    connect(BitBtn_table_month, &QPushButton::clicked, this, &Tfxtb::BitBtn_table_monthClick);
    connect(BitBtn_print, &QPushButton::clicked, this, &Tfxtb::BitBtn_printClick);
    connect(BitBtn_pdf, &QPushButton::clicked, this, &Tfxtb::BitBtn_pdfClick);
}

void Tfxtb::buildControls()
{
    resize(1014, 682);
    setWindowTextBlue(this);

    GroupBox1 = new QGroupBox(QStringLiteral("日期设定"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 996, 49);
    QWidget* g = GroupBox1;
    Label1 = placed(makeLabel(g, "Label1", QStringLiteral("1. 起始日期：")), QRect(8, 22, 81, 13));
    DateTimePicker1 = makePicker(g, "DateTimePicker1", QRect(88, 18, 89, 22));
    Label2 = placed(makeLabel(g, "Label2", QStringLiteral("－至－")), QRect(178, 22, 41, 13));
    DateTimePicker2 = makePicker(g, "DateTimePicker2", QRect(216, 18, 89, 22));
    Label3 = placed(makeLabel(g, "Label3", QStringLiteral("2.年份（用于图表对比分析）：")),
                    QRect(312, 22, 177, 13));
    Edit_year = makeDigitEdit(g, "Edit_year", 4, QRect(488, 18, 41, 21));
    BitBtn1 = makePlainButton(g, "BitBtn1", QStringLiteral("图表分析"), QRect(536, 16, 73, 25));
    Edit_bb_month = makeDigitEdit(g, "Edit_bb_month", 6, QRect(664, 18, 57, 21));
    BitBtn3 = makePlainButton(g, "BitBtn3", QStringLiteral("生成月度报表"), QRect(728, 16, 91, 25));
    Edit_bb_year = makeDigitEdit(g, "Edit_bb_year", 4, QRect(840, 18, 41, 21));
    BitBtn2 = makePlainButton(g, "BitBtn2", QStringLiteral("生成年度报表"), QRect(888, 16, 97, 25));
    BitBtn1->setDefault(true);
    for (QLabel* label : {Label1, Label2, Label3})
        fitHeight(label);

    Label_wait =
        placed(makeLabel(this, "Label_wait", QStringLiteral("正在生成动态数据信息，请稍候。")),
               QRect(350, 216, 329, 17));
    Label_wait->setAlignment(Qt::AlignCenter);
    QFont waitFont = Label_wait->font();
    waitFont.setPointSizeF(waitFont.pointSizeF() * 1.2);
    Label_wait->setFont(waitFont);
    fitHeight(Label_wait);
    setTextColour(Label_wait, kRed);

    Chart1 = makeChart(this, "Chart1", ChartPanel::Kind::Pie, QRect(6, 62, 498, 219));
    Chart2 = makeChart(this, "Chart2", ChartPanel::Kind::Pie, QRect(506, 62, 498, 219));
    Chart3 = makeChart(this, "Chart3", ChartPanel::Kind::Bar, QRect(6, 280, 998, 192));
    Chart4 = makeChart(this, "Chart4", ChartPanel::Kind::Bar, QRect(6, 472, 499, 177));
    Chart1->addSeries(QStringLiteral("Series1"));
    Chart2->addSeries(QStringLiteral("Series2"));
    Chart3->addSeries(QStringLiteral("Series3"));
    Chart3->addSeries(QStringLiteral("Series4"));
    Chart4->addSeries(QStringLiteral("Series5"));
    Chart4->addSeries(QStringLiteral("Series6"));

    GroupBox2 = new QGroupBox(QStringLiteral("汇总信息"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(512, 472, 492, 177);
    const int lefts[] = {13, 173, 349};
    const int widths[] = {148, 164, 132};
    const int tops[] = {30, 62, 94};
    QLabel** cells[3][3] = {{&Label_dq_sr, &Label_year_sr, &Label_count_sr},
                            {&Label_dq_zc, &Label_year_zc, &Label_count_zc},
                            {&Label_dq_jcje, &Label_year_jc, &Label_count_jc}};
    const char* names[3][3] = {{"Label_dq_sr", "Label_year_sr", "Label_count_sr"},
                               {"Label_dq_zc", "Label_year_zc", "Label_count_zc"},
                               {"Label_dq_jcje", "Label_year_jc", "Label_count_jc"}};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            QLabel* cell = placed(makeLabel(GroupBox2, names[row][col], QString()),
                                  QRect(lefts[col], tops[row], widths[col], 13));
            cell->setFont(summaryFont(GroupBox2->font()));
            fitHeight(cell);
            setTextColour(cell, kBlue);
            *cells[row][col] = cell;
        }
    }

    // Not the order on screen: the buttons follow the inputs they act on.
    setTabOrder(DateTimePicker1, BitBtn1);
    setTabOrder(BitBtn1, DateTimePicker2);
    setTabOrder(DateTimePicker2, Edit_year);
    setTabOrder(Edit_year, BitBtn2);
    setTabOrder(BitBtn2, Edit_bb_year);
    setTabOrder(Edit_bb_year, Edit_bb_month);
    setTabOrder(Edit_bb_month, BitBtn3);
    setTabOrder(BitBtn3, Chart1);
    setTabOrder(Chart1, Chart2);
    setTabOrder(Chart2, Chart3);
    setTabOrder(Chart3, Chart4);

    // The chart button is the default button: Enter in a control that does not
    // claim it, an edit box or a chart, runs the charts.
    for (QWidget* w : std::initializer_list<QWidget*>{Edit_year, Edit_bb_year, Edit_bb_month,
                                                      Chart1, Chart2, Chart3, Chart4})
        installEnterClicks(w, BitBtn1);
    // The pickers claim Enter for themselves (DateTimePicker1KeyDown): next control.
    for (QDateEdit* picker : {DateTimePicker1, DateTimePicker2})
        installEnterMovesFocus(picker);
}

QPushButton* Tfxtb::addSummaryButton(const char* name, const QString& text)
{
    constexpr int kHeight = 25;
    constexpr int kGap = 4;
    auto* button = named<QPushButton>(GroupBox2, name);
    button->setText(text);
    button->setAutoDefault(true);
    const int width = std::max(64, button->sizeHint().width());
    if (m_nextSummaryButton.x() + width > GroupBox2->width() - 11)
        m_nextSummaryButton = QPoint(13, m_nextSummaryButton.y() + kHeight + kGap);
    button->setGeometry(QRect(m_nextSummaryButton, QSize(width, kHeight)));
    m_nextSummaryButton.rx() += width + kGap;
    return button;
}

void Tfxtb::FormCreate()
{
    const QDateTime now = QDateTime::currentDateTime();
    DateTimePicker1->setDate(now.date());
    DateTimePicker2->setDate(now.date());
    Label_wait->hide();
    GroupBox2->hide();
}

void Tfxtb::BitBtn1Click()
{
    guarded(m_context.messages(), [this] { chartRun(); });
}

void Tfxtb::BitBtn2Click()
{
    guarded(m_context.messages(), [this] { reportRun(Period::Annual, Edit_bb_year); });
}

void Tfxtb::BitBtn3Click()
{
    guarded(m_context.messages(), [this] { reportRun(Period::Monthly, Edit_bb_month); });
}

void Tfxtb::BitBtn_budgetClick()
{
    Tyssz dialog(m_context, this);
    dialog.exec();
}

void Tfxtb::BitBtn_table_yearClick()
{
    guarded(m_context.messages(), [this] { reportTableRun(Period::Annual, Edit_bb_year); });
}

void Tfxtb::BitBtn_table_monthClick()
{
    guarded(m_context.messages(), [this] { reportTableRun(Period::Monthly, Edit_bb_month); });
}

void Tfxtb::BitBtn_printClick()
{
    guarded(m_context.messages(), [this] { previewAnalysisPage(this, analysisPage()); });
}

void Tfxtb::BitBtn_pdfClick()
{
    guarded(m_context.messages(), [this] {
        writeAnalysisPdf(m_context.workFile(analysisPdfFileName(m_chartFrom)), analysisPage());
        m_context.messages().info(QStringLiteral("PDF导出完成！"));
    });
}

double Tfxtb::readSum(Query& query, const QString& statement)
{
    query.setText(statement);
    query.open();
    const double sum = sumValue(query.field(0));
    reportProgress(m_runProgress, ++m_statementsRun, 0);
    return sum;
}

QString Tfxtb::readYearText(Query& query, const QString& statement)
{
    query.setText(statement);
    query.open();
    // No income at all gives the year 0; a stored key gives its first four characters.
    const QVariant v = query.field(0);
    return (v.isNull() ? QStringLiteral("0") : v.toString()).left(4);
}

void Tfxtb::fillPie(ChartPanel* chart, int series, EntryKind kind, const QString& condition)
{
    Query& list = m_context.ADOQuery1();
    Query& sums = m_context.ADOQuery2();
    list.setText(analysissql::pieCategoriesSql(kind));
    list.open();
    // Slices follow the rows as they come; a category without entries keeps its slice.
    for (list.first(); !list.eof(); list.next()) {
        const QString code = list.fieldText(QStringLiteral("lb"));
        const QString name = list.fieldText(QStringLiteral("bmmc"));
        const double value =
            readSum(sums, analysissql::categoryRangeTotalSql(kind, condition, code));
        chart->addPoint(series, value, name);
    }
}

void Tfxtb::setBalance(QLabel* label, const QString& prefix, double income, double expense)
{
    const double difference = income - expense;
    setSummary(label, prefix + balanceText(difference));
    // The colour follows the unrounded difference.
    setTextColour(label, difference >= 0 ? kBlue : kRed);
}

void Tfxtb::chartRun()
{
    Chart1->clearSeries(Series1);
    Chart2->clearSeries(Series2);
    Chart3->clearSeries(Series3);
    Chart3->clearSeries(Series4);
    Chart4->clearSeries(Series5);
    Chart4->clearSeries(Series6);
    for (QWidget* w : std::initializer_list<QWidget*>{Chart1, Chart2, Chart3, Chart4, GroupBox2})
        w->hide();
    Chart1->setTitleLines({QStringLiteral("当期收入情况图")});
    Chart2->setTitleLines({QStringLiteral("当期支出情况图")});
    Chart3->setTitleLines({QStringLiteral("收支按月对比图")});
    Chart4->setTitleLines({QStringLiteral("收支按年对比图")});

    if (DateTimePicker2->date() < DateTimePicker1->date()) {
        DateTimePicker1->setFocus();
        m_context.messages().info(QStringLiteral("起始日期不能大于终止日期！"));
        return;
    }

    Label_wait->show();
    // Paint now: the statements below keep the event loop away until the end.
    if (isVisible())
        repaint();
    // A run over many years of a large book takes a while: it can be followed and stopped.
    ProgressDialog progress(this, Label_wait->text());
    m_runProgress = progress.progress();
    m_statementsRun = 0;
    const auto finished = qScopeGuard([this] { m_runProgress = nullptr; });
    try {
        fillCharts();
    } catch (const Cancelled&) {
        // Stopped by the user: nothing is waited for any more. A failure, by
        // contrast, leaves the window as it stood when it came.
        Label_wait->hide();
        throw;
    }
    Label_wait->hide();
    m_chartFrom = DateTimePicker1->date();
    m_chartTo = DateTimePicker2->date();
    for (QWidget* w : std::initializer_list<QWidget*>{GroupBox2, Chart1, Chart2, Chart3, Chart4})
        w->show();
}

void Tfxtb::fillCharts()
{

    Query& q = m_context.ADOQuery1();
    const QString condition =
        analysissql::dateCondition(DateTimePicker1->date(), DateTimePicker2->date());

    const double rangeIncome = readSum(q, analysissql::rangeTotalSql(EntryKind::Income, condition));
    setSummary(Label_dq_sr, QStringLiteral("当期收入合计：") + numberText(rangeIncome));
    fillPie(Chart1, Series1, EntryKind::Income, condition);

    const double rangeExpense =
        readSum(q, analysissql::rangeTotalSql(EntryKind::Expense, condition));
    setSummary(Label_dq_zc, QStringLiteral("当期支出合计：") + numberText(rangeExpense));
    setBalance(Label_dq_jcje, QStringLiteral("当期结存余额："), rangeIncome, rangeExpense);
    fillPie(Chart2, Series2, EntryKind::Expense, condition);

    QString year = Edit_year->text();
    if (year.isEmpty()) {
        year = readYearText(q, analysissql::newestPeriodSql());
    }
    double yearIncome = 0;
    double yearExpense = 0;
    for (int month = 1; month <= 12; ++month) {
        const double v = readSum(
            q, analysissql::monthTotalSql(EntryKind::Income, analysissql::monthKey(year, month)));
        Chart3->addPoint(Series3, v, QString::number(month) + QStringLiteral("月"), kBlue);
        yearIncome += v;
    }
    for (int month = 1; month <= 12; ++month) {
        const double v = readSum(
            q, analysissql::monthTotalSql(EntryKind::Expense, analysissql::monthKey(year, month)));
        Chart3->addPoint(Series4, v, QString::number(month) + QStringLiteral("月"), kRed);
        yearExpense += v;
    }
    Chart3->setTitleLines({year + QStringLiteral("年") + Chart3->titleLines().join(QString())});
    Chart3->setSeriesTitle(Series3, QStringLiteral("收入"));
    Chart3->setSeriesTitle(Series4, QStringLiteral("支出"));
    setSummary(Label_year_sr, year + QStringLiteral("年收入总额：") + numberText(yearIncome));
    setSummary(Label_year_zc, year + QStringLiteral("年支出总额：") + numberText(yearExpense));
    setBalance(Label_year_jc, year + QStringLiteral("年结存余额："), yearIncome, yearExpense);

    auto yearOf = [](const QString& text) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok)
            throw StoreError(QStringLiteral("'%1' is not a valid integer value").arg(text));
        return value;
    };
    // Both statements run before either text is converted.
    const QString firstText = readYearText(q, analysissql::oldestPeriodSql());
    const QString lastText = readYearText(q, analysissql::newestPeriodSql());
    const int firstYear = yearOf(firstText);
    const int lastYear = yearOf(lastText);
    double allIncome = 0;
    double allExpense = 0;
    for (int y = firstYear; y <= lastYear; ++y) {
        const double v = readSum(q, analysissql::yearTotalSql(EntryKind::Income, y));
        Chart4->addPoint(Series5, v, QString::number(y) + QStringLiteral("年"), kBlue);
        allIncome += v;
    }
    for (int y = firstYear; y <= lastYear; ++y) {
        const double v = readSum(q, analysissql::yearTotalSql(EntryKind::Expense, y));
        Chart4->addPoint(Series6, v, QString::number(y) + QStringLiteral("年"), kRed);
        allExpense += v;
    }
    Chart4->setSeriesTitle(Series5, QStringLiteral("总收入"));
    Chart4->setSeriesTitle(Series6, QStringLiteral("总支出"));
    setSummary(Label_count_sr, QStringLiteral("收入总额：") + numberText(allIncome));
    setSummary(Label_count_zc, QStringLiteral("支出总额：") + numberText(allExpense));
    setBalance(Label_count_jc, QStringLiteral("结存余额："), allIncome, allExpense);

    m_context.ADOQuery1().close();
    m_context.ADOQuery2().close();
}

ReportFigures Tfxtb::readReport(Period period, const QString& p)
{
    // On a query object of the report's own, so that a listing shown elsewhere stays as it is.
    Query& q = m_reportQuery;
    ReportFigures figures;
    figures.income = readSum(q, analysissql::reportTotalSql(period, EntryKind::Income, p));
    figures.expense = readSum(q, analysissql::reportTotalSql(period, EntryKind::Expense, p));
    auto readRows = [&q](QList<ReportCategory>& rows) {
        q.open();
        for (q.first(); !q.eof(); q.next())
            rows.append({q.fieldText(0), q.fieldText(1), sumValue(q.field(2))});
    };
    q.setText(analysissql::reportCategoriesSql(period, EntryKind::Income, p));
    readRows(figures.incomeRows);
    q.setText(analysissql::reportCategoriesSql(period, EntryKind::Expense, p));
    readRows(figures.expenseRows);

    q.close();
    return figures;
}

void Tfxtb::reportRun(Period period, QLineEdit* input)
{
    const QString p = input->text();
    if (!reportlines::periodTextValid(period, p)) {
        input->setFocus();
        m_context.messages().info(reportlines::periodCheckMessage(period));
        return;
    }
    const QString fileName = reportlines::fileName(period, p);
    const ReportFigures figures = readReport(period, p);
    const QStringList lines = reportlines::lines(period, p, figures, QDateTime::currentDateTime());
    // Replaced only once complete: a failed write leaves the old file or none.
    writeGbkLines(m_context.workFile(fileName), lines);
    m_context.messages().info(reportlines::doneMessage(period, p));
}

void Tfxtb::reportTableRun(Period period, QLineEdit* input)
{
    const QString p = input->text();
    if (!reportlines::periodTextValid(period, p)) {
        input->setFocus();
        m_context.messages().info(reportlines::periodCheckMessage(period));
        return;
    }
    const QString path =
        askTableFile(this, m_context.workFile(tableFileName(reportlines::fileName(period, p))));
    if (path.isEmpty())
        return;
    writeReportTable(path, p, readReport(period, p));
    m_context.messages().info(reportlines::doneMessage(period, p, QFileInfo(path).fileName()));
}

AnalysisPage Tfxtb::analysisPage() const
{
    AnalysisPage page;
    page.title = analysisPageTitle(m_chartFrom, m_chartTo);
    page.charts = {Chart1, Chart2, Chart3, Chart4};
    const QLabel* labels[9] = {Label_dq_sr,   Label_year_sr, Label_count_sr,
                               Label_dq_zc,   Label_year_zc, Label_count_zc,
                               Label_dq_jcje, Label_year_jc, Label_count_jc};
    for (int i = 0; i < 9; ++i)
        page.summary[i] = {labels[i]->text(), labels[i]->palette().color(QPalette::WindowText)};
    page.made = QDateTime::currentDateTime();
    return page;
}
