#pragma once

#include <QDate>
#include <QDialog>

class BudgetModel;
class Context;
class QChartView;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

// The budget dialog: one month's budgets of the expense categories beside what
// was spent, a bar chart of both, filling from the month before or from the
// year's average, storing, and the budget report file.
class Tyssz final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Tyssz)

public:
    explicit Tyssz(Context& context, QWidget* parent = nullptr);
    ~Tyssz() override;

    BudgetModel* model() const { return m_model; }

public Q_SLOTS:
    void Date_monthChange();
    void BitBtn_copyClick();
    void BitBtn_avgClick();
    void BitBtn_saveClick();
    void BitBtn_reportClick();
    void BitBtn_closeClick();
    // Closing in any way (the button, Escape, the frame) asks first when
    // budgets were changed and not stored.
    void reject() override;

private:
    void buildControls();
    void loadMonth();
    void refreshChart();
    bool mayDiscard();
    QString monthKey() const;

    Context& m_context;
    BudgetModel* m_model = nullptr;
    QDate m_month; // the first day of the month shown

    QLabel* Label_month = nullptr;
    QDateEdit* Date_month = nullptr;
    QTableView* Grid_budget = nullptr;
    QChartView* Chart_budget = nullptr;
    QPushButton* BitBtn_copy = nullptr;
    QPushButton* BitBtn_avg = nullptr;
    QPushButton* BitBtn_save = nullptr;
    QPushButton* BitBtn_report = nullptr;
    QPushButton* BitBtn_close = nullptr;
};
