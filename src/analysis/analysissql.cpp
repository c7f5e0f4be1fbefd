#include "analysis/analysissql.h"

#include "store/numbers.h"
#include "store/sqltext.h"

namespace analysissql {

namespace {

// "select sum(srje) from srb where " (lower case, as the chart run writes it)
QString sumFrom(EntryKind kind)
{
    return QStringLiteral("select sum(%1je) from %2 where ")
        .arg(columnPrefix(kind), entryTable(kind));
}

// The report's period test on the period key column, with its leading blank-free
// column name: "srsq between '200501' and '200512'" or "srsq='200511'".
QString reportPeriod(Period period, const QString& column, const QString& periodText)
{
    const QString p = sqlEscape(periodText);
    if (period == Period::Annual)
        return column + QStringLiteral(" between '") + p + QStringLiteral("01' and '") + p +
               QStringLiteral("12'");
    return column + QStringLiteral("='") + p + QStringLiteral("'");
}

} // namespace

QString dateCondition(const QDate& from, const QDate& to)
{
    return QStringLiteral(" between #") + dateText(from) + QStringLiteral("# and #") +
           dateText(to) + QStringLiteral("#");
}

QString rangeTotalSql(EntryKind kind, const QString& condition)
{
    return sumFrom(kind) + columnPrefix(kind) + QStringLiteral("rq") + condition;
}

QString pieCategoriesSql(EntryKind kind)
{
    return QStringLiteral("select sz,lb,bmmc from bmb where sz='") + kindLetter(kind) +
           QLatin1Char('\'');
}

QString categoryRangeTotalSql(EntryKind kind, const QString& condition, const QString& code)
{
    return rangeTotalSql(kind, condition) + QStringLiteral(" and ") + columnPrefix(kind) +
           QStringLiteral("lb='") + sqlEscape(code) + QStringLiteral("'");
}

QString newestPeriodSql()
{
    return QStringLiteral("select max(srsq) from srb");
}

QString oldestPeriodSql()
{
    return QStringLiteral("select min(srsq) from srb");
}

QString monthTotalSql(EntryKind kind, const QString& periodKey)
{
    return sumFrom(kind) + columnPrefix(kind) + QStringLiteral("sq='") + sqlEscape(periodKey) +
           QStringLiteral("'");
}

QString yearTotalSql(EntryKind kind, int year)
{
    const QString y = QString::number(year);
    // Two blanks after "and": the statement has always been written so.
    return sumFrom(kind) + columnPrefix(kind) + QStringLiteral("sq between '") + y +
           QStringLiteral("01' and  '") + y + QStringLiteral("12'");
}

QString monthKey(const QString& year, int month)
{
    return year + QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0'));
}

QString reportTotalSql(Period period, EntryKind kind, const QString& periodText)
{
    return QStringLiteral("Select sum(%1je) FROM %2 WHERE ")
               .arg(columnPrefix(kind), entryTable(kind)) +
           reportPeriod(period, columnPrefix(kind) + QStringLiteral("sq"), periodText);
}

QString reportCategoriesSql(Period period, EntryKind kind, const QString& periodText)
{
    const QString x = columnPrefix(kind);
    const QString head = QStringLiteral("Select a.%1lb,a.%1mc, sum(a.%1je) FROM %2 as a, bmb as b "
                                        "WHERE b.sz='%3' and a.%1lb=b.lb and ")
                             .arg(x, entryTable(kind), kindLetter(kind).toLower());
    return head +
           reportPeriod(period, QStringLiteral("a.") + x + QStringLiteral("sq"), periodText) +
           QStringLiteral(" group by a.%1lb,a.%1mc;").arg(x);
}

} // namespace analysissql
