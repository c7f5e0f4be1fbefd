#pragma once

#include "budget/budgetlines.h"
#include "store/entrykind.h"

#include <QHash>
#include <QList>
#include <QString>

class Context;
class Database;

// The budgets in the book. Reads run on statements of their own, so that no
// query object of a window changes under it. Failures throw StoreError.

// Whether the book has the budget table: a read-only book of an older version
// has none, and then no budgets.
bool hasBudgetTable(Database& database);

// Every expense category of the month (yyyymm) in code order, with its budget
// and spending, exact to the cent.
QList<BudgetRow> readBudgetMonth(Database& database, const QString& month);

// The budgets of a month by code.
QHash<QString, qint64> readMonthBudgets(Database& database, const QString& month);

// For every expense category, its spending over the twelve months before the
// month, averaged (budgetlines::averageBudget).
QHash<QString, qint64> readAverageBudgets(Database& database, const QString& month);

// Stores the month's budgets of the rows in one transaction: a row without a
// budget loses the one it had.
void storeBudgetMonth(Database& database, const QString& month, const QList<BudgetRow>& rows);

// The line beside an expense entry of the category (code) in the month; empty
// when it has no budget there.
BudgetLine entryBudgetLine(Database& database, const QString& code, const QString& month);

// Before an expense category is removed: when it has budgets, asks whether they
// may go with it. False when the user keeps the category.
bool budgetsMayGo(Context& context, EntryKind kind, const QString& code, const QString& name);
// Removes the budgets of an expense category that is being removed (inside the
// caller's transaction).
void removeCategoryBudgets(Database& database, EntryKind kind, const QString& code);
