#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One expense category in a month: its budget and what was spent, in cents.
struct BudgetRow
{
    QString code;
    QString name;
    std::optional<qint64> budget; // none: the category has no budget that month
    qint64 actual = 0;
};

// A budget as typed into the grid, judged by the entry's amount rules.
struct BudgetInput
{
    bool valid = false;
    std::optional<qint64> cents; // none: the budget is removed (empty text)
};

// The line shown beside the entry of an expense: empty without a budget.
struct BudgetLine
{
    QString text;
    bool over = false;
};

namespace budgetlines {

// "yyyymm" of the month the date lies in.
QString monthKey(const QDate& date);

// Two decimals, no separators: "800.00", "-50.00".
QString centsText(qint64 cents);

// Spent more than the budget (a budget of 0 is over with anything spent).
bool isOver(const BudgetRow& row);
// "150.00"; "—" without a budget.
QString remainderText(const BudgetRow& row);
// Spent of budget in percent, one decimal, halves up: "81.3%"; "—" without a
// budget or for a budget of 0.
QString usageText(const BudgetRow& row);
// "合计": the budgets there are (none when no category has one) and all spending.
BudgetRow totalRow(const QList<BudgetRow>& rows);

// The amount rules of the entry: the number grammar, cent rounding, at most the
// 12 characters of the amount box; a budget below 0 is refused too.
BudgetInput parseBudget(const QString& text);

// A budget from spending over twelve months: a twelfth, rounded to the yuan,
// halves up; in cents.
qint64 averageBudget(qint64 spentInTwelveMonths);

// "202511预算执行表.txt"
QString reportFileName(const QString& month);
// Title, header, one line per category, total: fixed-width columns counted in
// GBK bytes, so that they line up where a Chinese character is two wide.
QStringList reportLines(const QString& month, const QList<BudgetRow>& rows);

// "本月预算 800.00，已用 650.00，剩余 150.00" or "… 超支 50.00", over when spent
// is above the budget.
BudgetLine entryLine(qint64 budget, qint64 actual);

// Asked before an expense category goes together with its budgets.
QString categoryBudgetsQuestion(const QString& code, const QString& name, qint64 months);

} // namespace budgetlines
