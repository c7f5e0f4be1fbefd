#pragma once

#include <QString>

// Statements of the monthly budgets, in SQLite's form with bound values. A
// budget counts only while its code is an expense category of bmb.
namespace budgetsql {

// One row per expense category in code order: code, name, the month's budget in
// cents (null without one), the month's expense sum. Values: month, month.
QString monthRowsSql();

// Code and cents of every budget of an expense category in a month. Values: month.
QString monthBudgetsSql();

// One row per expense category in code order: code, name, expense sum of a
// range of months. Values: first month, last month.
QString spendingSql();

// Stores one budget. Values: code, month, cents.
QString storeBudgetSql();
// Removes one budget. Values: month, code.
QString removeBudgetSql();

// The month's budget in cents and expense sum of one expense category; no row
// without a budget. Values: code, month, month, code.
QString entryBudgetSql();

// Budgets kept for a code, of any month. Values: code.
QString codeBudgetCountSql();
QString removeCodeBudgetsSql();

} // namespace budgetsql
