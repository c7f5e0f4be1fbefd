#pragma once

#include <QDate>
#include <QString>

// Statement texts of the analysis window, in the program's dialect. Every text
// value is escaped, so a quote in a code or a pasted period cannot break one.
namespace analysissql {

enum class Kind
{
    Income,
    Expense
};
enum class Period
{
    Annual,
    Monthly
};

// " between #2005-11-01# and #2005-11-30#"
QString dateCondition(const QDate& from, const QDate& to);

// Chart run.
QString rangeTotal(Kind kind, const QString& condition);
QString categoryList(Kind kind);
QString categoryRangeTotal(Kind kind, const QString& condition, const QString& code);
QString newestPeriod();
QString oldestPeriod();
QString monthTotal(Kind kind, const QString& periodKey);
QString yearTotal(Kind kind, int year);

// The period key of a month of the chart year: the year text and the two-digit month.
QString monthKey(const QString& year, int month);

// Report files; period is the period text exactly as typed.
QString reportTotal(Period period, Kind kind, const QString& periodText);
QString reportCategories(Period period, Kind kind, const QString& periodText);

} // namespace analysissql
