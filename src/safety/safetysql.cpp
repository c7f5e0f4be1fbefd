#include "safety/safetysql.h"

namespace {

// "srrq,srlb,srmc,srje,srsm,srsq" or the zc twins.
QString valueColumns(EntryKind kind)
{
    const QString p = columnPrefix(kind);
    return QStringLiteral("%1rq,%1lb,%1mc,%1je,%1sm,%1sq").arg(p);
}

} // namespace

QString summaryCountsSql()
{
    return QStringLiteral("select (select count(*) from srb), (select count(*) from zcb), "
                          "(select max(d) from (select max(srrq) as d from srb union all "
                          "select max(zcrq) from zcb))");
}

QString createSummarySql()
{
    return QStringLiteral("create table bfxx (srbs integer, zcbs integer, zhrq text)");
}

QString insertSummarySql()
{
    return QStringLiteral("insert into bfxx(srbs,zcbs,zhrq) values(?,?,?)");
}

QString readSummarySql()
{
    return QStringLiteral("select srbs,zcbs,zhrq from bfxx");
}

QString dropSummarySql()
{
    return QStringLiteral("drop table if exists bfxx");
}

QString tableNamesSql()
{
    return QStringLiteral("select name from sqlite_master where type='table'");
}

QString tableColumnsSql()
{
    return QStringLiteral("select name from pragma_table_info(?)");
}

QString triggersAndViewsSql()
{
    return QStringLiteral("select type, name from sqlite_master where type in ('trigger','view') "
                          "order by name");
}

QString generationSql()
{
    return QStringLiteral("pragma user_version");
}

QString setGenerationSql(qint64 generation)
{
    return QStringLiteral("pragma user_version=%1").arg(generation);
}

QString insertJournalSql()
{
    return QStringLiteral("insert into czrz(lx,sm,sj,sz) values(?,?,?,?)");
}

QString clearRedoSql()
{
    return QStringLiteral("delete from czrz where cx=1");
}

QString trimJournalSql()
{
    return QStringLiteral("delete from czrz where xh <= (select max(xh) from czrz) - ?");
}

QString nextUndoSql()
{
    return QStringLiteral("select xh,lx,sm,sj,sz from czrz where cx=0 order by xh desc limit 1");
}

QString nextRedoSql()
{
    return QStringLiteral("select xh,lx,sm,sj,sz from czrz where cx=1 order by xh limit 1");
}

QString markJournalSql()
{
    return QStringLiteral("update czrz set cx=? where xh=?");
}

QString dropJournalRowSql()
{
    return QStringLiteral("delete from czrz where xh=?");
}

QString emptyJournalSql()
{
    return QStringLiteral("delete from czrz");
}

QString readEntrySql(EntryKind kind)
{
    return QStringLiteral("select uid,") + valueColumns(kind) + QStringLiteral(" from ") +
           entryTable(kind) + QStringLiteral(" where uid=?");
}

QString insertNumberedEntrySql(EntryKind kind)
{
    return QStringLiteral("insert into ") + entryTable(kind) + QStringLiteral("(uid,") +
           valueColumns(kind) + QStringLiteral(") values(?,?,?,?,?,?,?)");
}

QString updateNumberedEntrySql(EntryKind kind)
{
    const QString p = columnPrefix(kind);
    return QStringLiteral("update ") + entryTable(kind) +
           QStringLiteral(" set %1rq=?,%1lb=?,%1mc=?,%1je=?,%1sm=?,%1sq=? where uid=?").arg(p);
}

QString deleteNumberedEntrySql(EntryKind kind)
{
    return QStringLiteral("delete from ") + entryTable(kind) + QStringLiteral(" where uid=?");
}
