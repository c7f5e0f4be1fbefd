#include "budget/budgetbook.h"

#include "budget/budgetsql.h"
#include "store/context.h"
#include "store/database.h"
#include "store/messages.h"
#include "store/statement.h"
#include "store/transaction.h"

#include <QDate>
#include <cmath>

namespace {

// A sum of amounts in cents. The book's sum is exact: whole yuan come back as an
// integer, anything else as the double nearest to the cents.
qint64 sumCents(const QVariant& sum)
{
    if (sum.isNull())
        return 0;
    if (sum.typeId() == QMetaType::LongLong || sum.typeId() == QMetaType::Int)
        return sum.toLongLong() * 100;
    return std::llround(static_cast<long double>(sum.toDouble()) * 100.0L);
}

qint64 countOf(Database& database, const QString& sql, const QVariantList& values = {})
{
    Statement s(database, sql, values);
    return s.step() ? s.value(0).toLongLong() : 0;
}

QString monthBefore(const QString& month, int months)
{
    const QDate first = QDate::fromString(month + QStringLiteral("01"), QStringLiteral("yyyyMMdd"));
    return budgetlines::monthKey(first.addMonths(-months));
}

} // namespace

bool hasBudgetTable(Database& database)
{
    return database.hasTable(QStringLiteral("yss"));
}

QList<BudgetRow> readBudgetMonth(Database& database, const QString& month)
{
    QList<BudgetRow> rows;
    if (!hasBudgetTable(database)) {
        // Spending is still shown; there are no budgets to show with it.
        Statement s(database, budgetsql::spendingSql(), {month, month});
        while (s.step())
            rows.append(
                {s.value(0).toString(), s.value(1).toString(), std::nullopt, sumCents(s.value(2))});
        return rows;
    }
    Statement s(database, budgetsql::monthRowsSql(), {month, month});
    while (s.step()) {
        BudgetRow row{s.value(0).toString(), s.value(1).toString(), std::nullopt,
                      sumCents(s.value(3))};
        if (!s.value(2).isNull())
            row.budget = s.value(2).toLongLong();
        rows.append(row);
    }
    return rows;
}

QHash<QString, qint64> readMonthBudgets(Database& database, const QString& month)
{
    QHash<QString, qint64> budgets;
    if (!hasBudgetTable(database))
        return budgets;
    Statement s(database, budgetsql::monthBudgetsSql(), {month});
    while (s.step())
        budgets.insert(s.value(0).toString(), s.value(1).toLongLong());
    return budgets;
}

QHash<QString, qint64> readAverageBudgets(Database& database, const QString& month)
{
    QHash<QString, qint64> budgets;
    Statement s(database, budgetsql::spendingSql(),
                {monthBefore(month, 12), monthBefore(month, 1)});
    while (s.step())
        budgets.insert(s.value(0).toString(), budgetlines::averageBudget(sumCents(s.value(2))));
    return budgets;
}

void storeBudgetMonth(Database& database, const QString& month, const QList<BudgetRow>& rows)
{
    if (!hasBudgetTable(database))
        throw StoreError(QStringLiteral("账本只读，没有预算表，预算未保存。"));
    Transaction transaction(database);
    for (const BudgetRow& row : rows) {
        if (row.budget)
            database.execute(budgetsql::storeBudgetSql(), {row.code, month, *row.budget});
        else
            database.execute(budgetsql::removeBudgetSql(), {month, row.code});
    }
    transaction.commit();
}

BudgetLine entryBudgetLine(Database& database, const QString& code, const QString& month)
{
    if (code.isEmpty() || !hasBudgetTable(database))
        return {};
    Statement s(database, budgetsql::entryBudgetSql(), {code, month, month, code});
    if (!s.step())
        return {};
    return budgetlines::entryLine(s.value(0).toLongLong(), sumCents(s.value(1)));
}

bool budgetsMayGo(Context& context, EntryKind kind, const QString& code, const QString& name)
{
    Database& database = context.database();
    if (kind != EntryKind::Expense || !hasBudgetTable(database))
        return true;
    const qint64 months = countOf(database, budgetsql::codeBudgetCountSql(), {code});
    return months == 0 ||
           context.messages().ask(budgetlines::categoryBudgetsQuestion(code, name, months));
}

void removeCategoryBudgets(Database& database, EntryKind kind, const QString& code)
{
    if (kind == EntryKind::Expense && hasBudgetTable(database))
        database.execute(budgetsql::removeCodeBudgetsSql(), {code});
}
