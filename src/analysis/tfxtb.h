#pragma once

#include "analysis/analysissql.h"
#include "store/progress.h"
#include "store/query.h"

#include <QWidget>

class ChartPanel;
class Context;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The analysis window: the chart run over a date range, one year and all
// years, and the annual and monthly report files.
class Tfxtb final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tfxtb)

public:
    explicit Tfxtb(Context& context, QWidget* parent = nullptr);

    // Series indexes inside their chart panels.
    enum SeriesIndex
    {
        Series1 = 0,
        Series2 = 0,
        Series3 = 0,
        Series4 = 1,
        Series5 = 0,
        Series6 = 1
    };

    // A button in the free strip along the bottom of "汇总信息", after those
    // added before it (a second row when the first is full). The features
    // beyond the chart run and the reports put their buttons there.
    QPushButton* addSummaryButton(const char* name, const QString& text);

public Q_SLOTS:
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn_budgetClick();

private:
    void FormCreate();
    void buildControls();
    void chartRun();
    // The statements of a chart run and the points and labels they fill.
    void fillCharts();
    void reportRun(analysissql::Period period, QLineEdit* input);
    double readSum(Query& query, const QString& statement);
    QString readYearText(Query& query, const QString& statement);
    void fillPie(ChartPanel* chart, int series, EntryKind kind, const QString& condition);
    void setBalance(QLabel* label, const QString& prefix, double income, double expense);

    Context& m_context;
    Query m_reportQuery;
    QPoint m_nextSummaryButton{13, 118};
    // While a chart run goes on: told after every statement.
    Progress m_runProgress;
    qint64 m_statementsRun = 0;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QLabel* Label2 = nullptr;
    QDateEdit* DateTimePicker2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit_year = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QLineEdit* Edit_bb_month = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QLineEdit* Edit_bb_year = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLabel* Label_wait = nullptr;
    ChartPanel* Chart1 = nullptr;
    ChartPanel* Chart2 = nullptr;
    ChartPanel* Chart3 = nullptr;
    ChartPanel* Chart4 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label_dq_sr = nullptr;
    QLabel* Label_year_sr = nullptr;
    QLabel* Label_count_sr = nullptr;
    QLabel* Label_dq_zc = nullptr;
    QLabel* Label_year_zc = nullptr;
    QLabel* Label_count_zc = nullptr;
    QLabel* Label_dq_jcje = nullptr;
    QLabel* Label_year_jc = nullptr;
    QLabel* Label_count_jc = nullptr;
};
