#include "analysis/analysissql.h"

#include "store/numbers.h"
#include "store/sqltext.h"

namespace analysissql {

namespace {

QString prefix(Kind kind)
{
    return kind == Kind::Income ? QStringLiteral("sr") : QStringLiteral("zc");
}

QString table(Kind kind)
{
    return kind == Kind::Income ? QStringLiteral("srb") : QStringLiteral("zcb");
}

// "select sum(srje) from srb where " (lower case, as the chart run writes it)
QString sumFrom(Kind kind)
{
    return QStringLiteral("select sum(%1je) from %2 where ").arg(prefix(kind), table(kind));
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

QString rangeTotal(Kind kind, const QString& condition)
{
    return sumFrom(kind) + prefix(kind) + QStringLiteral("rq") + condition;
}

QString categoryList(Kind kind)
{
    return QStringLiteral("select sz,lb,bmmc from bmb where sz='%1'")
        .arg(kind == Kind::Income ? QLatin1Char('S') : QLatin1Char('Z'));
}

QString categoryRangeTotal(Kind kind, const QString& condition, const QString& code)
{
    return rangeTotal(kind, condition) + QStringLiteral(" and ") + prefix(kind) +
           QStringLiteral("lb='") + sqlEscape(code) + QStringLiteral("'");
}

QString newestPeriod()
{
    return QStringLiteral("select max(srsq) from srb");
}

QString oldestPeriod()
{
    return QStringLiteral("select min(srsq) from srb");
}

QString monthTotal(Kind kind, const QString& periodKey)
{
    return sumFrom(kind) + prefix(kind) + QStringLiteral("sq='") + sqlEscape(periodKey) +
           QStringLiteral("'");
}

QString yearTotal(Kind kind, int year)
{
    const QString y = QString::number(year);
    // Two blanks after "and": the statement has always been written so.
    return sumFrom(kind) + prefix(kind) + QStringLiteral("sq between '") + y +
           QStringLiteral("01' and  '") + y + QStringLiteral("12'");
}

QString monthKey(const QString& year, int month)
{
    return year + QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0'));
}

QString reportTotal(Period period, Kind kind, const QString& periodText)
{
    return QStringLiteral("Select sum(%1je) FROM %2 WHERE ").arg(prefix(kind), table(kind)) +
           reportPeriod(period, prefix(kind) + QStringLiteral("sq"), periodText);
}

QString reportCategories(Period period, Kind kind, const QString& periodText)
{
    const QString x = prefix(kind);
    const QString head =
        QStringLiteral("Select a.%1lb,a.%1mc, sum(a.%1je) FROM %2 as a, bmb as b "
                       "WHERE b.sz='%3' and a.%1lb=b.lb and ")
            .arg(x, table(kind), kind == Kind::Income ? QStringLiteral("s") : QStringLiteral("z"));
    return head +
           reportPeriod(period, QStringLiteral("a.") + x + QStringLiteral("sq"), periodText) +
           QStringLiteral(" group by a.%1lb,a.%1mc;").arg(x);
}

} // namespace analysissql
