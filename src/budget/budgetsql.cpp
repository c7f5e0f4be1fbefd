#include "budget/budgetsql.h"

namespace budgetsql {

QString monthRowsSql()
{
    // Grouped by code, so a code listed twice in bmb counts once in the totals.
    return QStringLiteral("select b.lb, min(b.bmmc), (select je from yss where yf=? and lb=b.lb), "
                          "(select sum(zcje) from zcb where zclb=b.lb and zcsq=?) "
                          "from bmb as b where b.sz='Z' group by b.lb order by b.lb");
}

QString monthBudgetsSql()
{
    return QStringLiteral("select y.lb, y.je from yss as y where y.yf=? "
                          "and exists (select 1 from bmb where sz='Z' and lb=y.lb)");
}

QString spendingSql()
{
    return QStringLiteral("select b.lb, min(b.bmmc), (select sum(zcje) from zcb where zclb=b.lb "
                          "and zcsq "
                          "between ? and ?) from bmb as b where b.sz='Z' group by b.lb "
                          "order by b.lb");
}

QString storeBudgetSql()
{
    return QStringLiteral("insert into yss(lb,yf,je) values(?,?,?) "
                          "on conflict(yf,lb) do update set je=excluded.je");
}

QString removeBudgetSql()
{
    return QStringLiteral("delete from yss where yf=? and lb=?");
}

QString entryBudgetSql()
{
    return QStringLiteral("select y.je, (select sum(zcje) from zcb where zclb=? and zcsq=?) "
                          "from yss as y where y.yf=? and y.lb=? "
                          "and exists (select 1 from bmb where sz='Z' and lb=y.lb)");
}

QString codeBudgetCountSql()
{
    return QStringLiteral("select count(*) from yss where lb=?");
}

QString removeCodeBudgetsSql()
{
    return QStringLiteral("delete from yss where lb=?");
}

} // namespace budgetsql
