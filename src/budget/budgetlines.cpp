#include "budget/budgetlines.h"

#include "store/gbk.h"
#include "store/numbers.h"

#include <cmath>

namespace budgetlines {

namespace {

constexpr int kAmountMaxLength = 12;

// Widths in GBK bytes.
constexpr int kCodeWidth = 6;
constexpr int kNameWidth = 10;
constexpr int kAmountWidth = 16;
constexpr int kUsageWidth = 10;

QString dash()
{
    return QStringLiteral("—");
}

QString leftColumn(const QString& text, int width)
{
    // A text as wide as its column still gets one blank after it.
    const qsizetype pad = std::max<qsizetype>(1, width - gbkLength(text));
    return text + QString(pad, QLatin1Char(' '));
}

QString rightColumn(const QString& text, int width)
{
    const qsizetype pad = std::max<qsizetype>(1, width - gbkLength(text));
    return QString(pad, QLatin1Char(' ')) + text;
}

// Rounds numerator / denominator (denominator > 0) to the nearest integer, halves up.
qint64 halvesUp(__int128 numerator, __int128 denominator)
{
    const __int128 twice = 2 * numerator + denominator;
    const __int128 divisor = 2 * denominator;
    __int128 quotient = twice / divisor;
    if (twice % divisor != 0 && twice < 0)
        --quotient; // toward minus infinity
    return static_cast<qint64>(quotient);
}

QString numberColumns(const BudgetRow& row)
{
    return rightColumn(row.budget ? centsText(*row.budget) : dash(), kAmountWidth) +
           rightColumn(centsText(row.actual), kAmountWidth) +
           rightColumn(remainderText(row), kAmountWidth) + rightColumn(usageText(row), kUsageWidth);
}

} // namespace

QString monthKey(const QDate& date)
{
    return periodKey(date);
}

QString centsText(qint64 cents)
{
    const quint64 magnitude = cents < 0 ? 0 - static_cast<quint64>(cents) : quint64(cents);
    return (cents < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100) +
           QLatin1Char('.') + QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

bool isOver(const BudgetRow& row)
{
    return row.budget && row.actual > *row.budget;
}

QString remainderText(const BudgetRow& row)
{
    return row.budget ? centsText(*row.budget - row.actual) : dash();
}

QString usageText(const BudgetRow& row)
{
    if (!row.budget || *row.budget <= 0)
        return dash();
    const qint64 permille = halvesUp(static_cast<__int128>(row.actual) * 1000, *row.budget);
    const quint64 magnitude = permille < 0 ? 0 - static_cast<quint64>(permille) : quint64(permille);
    return (permille < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 10) +
           QLatin1Char('.') + QString::number(magnitude % 10) + QLatin1Char('%');
}

BudgetRow totalRow(const QList<BudgetRow>& rows)
{
    BudgetRow total;
    total.name = QStringLiteral("合计");
    for (const BudgetRow& row : rows) {
        if (row.budget)
            total.budget = total.budget.value_or(0) + *row.budget;
        total.actual += row.actual;
    }
    return total;
}

BudgetInput parseBudget(const QString& text)
{
    if (text.trimmed().isEmpty())
        return {true, std::nullopt};
    const auto amount = parseAmount(text);
    if (!amount || *amount < 0 || numberText(*amount).size() > kAmountMaxLength)
        return {};
    return {true, std::llround(*amount * 100.0)};
}

qint64 averageBudget(qint64 spentInTwelveMonths)
{
    return halvesUp(spentInTwelveMonths, 12 * 100) * 100;
}

QString reportFileName(const QString& month)
{
    return month + QStringLiteral("预算执行表.txt");
}

QStringList reportLines(const QString& month, const QList<BudgetRow>& rows)
{
    QStringList lines;
    lines << QStringLiteral("*****") + month + QStringLiteral("预算执行表*****");
    lines << leftColumn(QStringLiteral("代码"), kCodeWidth) +
                 leftColumn(QStringLiteral("类别"), kNameWidth) +
                 rightColumn(QStringLiteral("预算"), kAmountWidth) +
                 rightColumn(QStringLiteral("实际"), kAmountWidth) +
                 rightColumn(QStringLiteral("剩余"), kAmountWidth) +
                 rightColumn(QStringLiteral("使用率"), kUsageWidth);
    for (const BudgetRow& row : rows)
        lines << leftColumn(row.code, kCodeWidth) + leftColumn(row.name, kNameWidth) +
                     numberColumns(row);
    const BudgetRow total = totalRow(rows);
    lines << leftColumn(total.name, kCodeWidth + kNameWidth) + numberColumns(total);
    return lines;
}

BudgetLine entryLine(qint64 budget, qint64 actual)
{
    const bool over = actual > budget;
    return {QStringLiteral("本月预算 ") + centsText(budget) + QStringLiteral("，已用 ") +
                centsText(actual) + (over ? QStringLiteral("，超支 ") : QStringLiteral("，剩余 ")) +
                centsText(over ? actual - budget : budget - actual),
            over};
}

QString categoryBudgetsQuestion(const QString& code, const QString& name, qint64 months)
{
    // Joined, not formatted: a name may hold a '%'.
    return QStringLiteral("类别 ") + code + name + QStringLiteral(" 设有 ") +
           QString::number(months) +
           QStringLiteral(" 个月的预算，删除该类别将同时删除这些预算。\n确认删除吗？");
}

} // namespace budgetlines
