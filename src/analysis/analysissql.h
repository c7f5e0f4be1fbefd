#pragma once

#include "store/entrykind.h"

#include <QDate>
#include <QString>

// Statement texts of the analysis window, in the program's dialect. Every text
// value is escaped, so a quote in a code or a pasted period cannot break one.
namespace analysissql {

enum class Period
{
    Annual,
    Monthly
};

// " between #2005-11-01# and #2005-11-30#"
QString dateCondition(const QDate& from, const QDate& to);

// Chart run.
QString rangeTotalSql(EntryKind kind, const QString& condition);
QString pieCategoriesSql(EntryKind kind);
QString categoryRangeTotalSql(EntryKind kind, const QString& condition, const QString& code);
QString newestPeriodSql();
QString oldestPeriodSql();
QString monthTotalSql(EntryKind kind, const QString& periodKey);
QString yearTotalSql(EntryKind kind, int year);

// The period key of a month of the chart year: the year text and the two-digit month.
QString monthKey(const QString& year, int month);

// Report files; period is the period text exactly as typed.
QString reportTotalSql(Period period, EntryKind kind, const QString& periodText);
QString reportCategoriesSql(Period period, EntryKind kind, const QString& periodText);

} // namespace analysissql
