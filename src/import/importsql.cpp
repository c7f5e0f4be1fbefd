#include "import/importsql.h"

namespace {

// The kind's table for %1 and its column prefix for %2.
QString withKind(const QString& text, EntryKind kind)
{
    return QString(text)
        .replace(QLatin1String("%1"), entryTable(kind))
        .replace(QLatin1String("%2"), columnPrefix(kind));
}

} // namespace

QString keyLookupSql()
{
    return QStringLiteral("select k.kind, k.uid, case when k.kind=? then exists(select 1 from "
                          "srb e where e.uid=k.uid) else exists(select 1 from zcb e where "
                          "e.uid=k.uid) end from import_keys k where k.key=?");
}

QString neighboursSql(EntryKind kind, bool withSources)
{
    if (!withSources)
        return withKind(
            QStringLiteral("select e.%2rq, e.%2je, null from %1 e where e.%2rq between ? and ?"),
            kind);
    return withKind(QStringLiteral("select e.%2rq, e.%2je, b.source from %1 e left join "
                                   "import_keys k on k.kind=? and k.uid=e.uid left join "
                                   "import_batches b on b.id=k.batch where e.%2rq between ? and ?"),
                    kind);
}

QString categoriesSql()
{
    return QStringLiteral("select lb, bmmc from bmb where sz=? order by lb");
}

QString insertCategorySql()
{
    return QStringLiteral("insert into bmb(sz,lb,bmmc) values(?,?,?)");
}

QString remarksSql(EntryKind kind)
{
    return withKind(QStringLiteral("select %2lb, %2sm from %1 where %2rq between ? and ?"), kind);
}

QString insertEntrySql(EntryKind kind)
{
    return withKind(
        QStringLiteral("insert into %1(%2rq,%2lb,%2mc,%2je,%2sm,%2sq) values(?,?,?,?,?,?)"), kind);
}

QString insertKeySql()
{
    return QStringLiteral("insert into import_keys(kind,uid,key,batch,imported) values(?,?,?,?,?)");
}

QString deleteKeySql()
{
    return QStringLiteral("delete from import_keys where key=?");
}

QString insertBatchSql()
{
    return QStringLiteral(
        "insert into import_batches(file,sha256,layout,source,imported,user1,first_date,"
        "last_date,income,income_cents,expense,expense_cents,duplicates,possible,neutral,failed,"
        "errors) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
}

QString batchesSql()
{
    return QStringLiteral(
        "select id, file, layout, imported, user1, first_date, last_date, income, income_cents, "
        "expense, expense_cents, duplicates, possible, neutral, failed, errors, state from "
        "import_batches order by id desc");
}

QString batchSql()
{
    QString text = batchesSql();
    return text.replace(QStringLiteral(" order by id desc"), QStringLiteral(" where id=?"));
}

QString setBatchStateSql()
{
    return QStringLiteral("update import_batches set state=? where id=?");
}

QString rulesSql()
{
    return QStringLiteral("select kind, match, pattern, code from import_rules where source=?");
}

QString saveRuleSql()
{
    return QStringLiteral(
        "insert or replace into import_rules(source,kind,match,pattern,code) values(?,?,?,?,?)");
}

QString layoutAnswersSql()
{
    return QStringLiteral("select columns, date_order, card from import_layouts where signature=?");
}

QString saveLayoutAnswersSql()
{
    return QStringLiteral("insert or replace into import_layouts(signature,columns,date_order,"
                          "card) values(?,?,?,?)");
}

QString batchEntriesSql(EntryKind kind)
{
    return withKind(QStringLiteral("select e.uid, e.%2rq, e.%2lb, e.%2mc, e.%2je, e.%2sm, "
                                   "k.imported from import_keys k join %1 e on e.uid=k.uid "
                                   "where k.batch=? and k.kind=?"),
                    kind);
}

QString keepUndoneSql(EntryKind kind)
{
    return withKind(
        QStringLiteral("insert into import_undone(batch,kind,uid,key,imported,rq,lb,mc,je,sm,sq) "
                       "select k.batch, k.kind, e.uid, k.key, k.imported, e.%2rq, e.%2lb, "
                       "e.%2mc, e.%2je, e.%2sm, e.%2sq from import_keys k join %1 e on "
                       "e.uid=k.uid where k.batch=? and k.kind=?"),
        kind);
}

QString deleteBatchEntriesSql(EntryKind kind)
{
    return withKind(QStringLiteral("delete from %1 where uid in (select uid from import_keys "
                                   "where batch=? and kind=?)"),
                    kind);
}

QString deleteBatchKeysSql()
{
    return QStringLiteral("delete from import_keys where batch=?");
}

QString takenKeysSql()
{
    return QStringLiteral("select count(*) from import_undone u join import_keys k on "
                          "k.key=u.key where u.batch=?");
}

QString takenNumbersSql(EntryKind kind)
{
    return withKind(QStringLiteral("select count(*) from import_undone u join %1 e on "
                                   "e.uid=u.uid where u.batch=? and u.kind=?"),
                    kind);
}

QString restoreEntriesSql(EntryKind kind)
{
    return withKind(QStringLiteral("insert into %1(uid,%2rq,%2lb,%2mc,%2je,%2sm,%2sq) select "
                                   "uid, rq, lb, mc, je, sm, sq from import_undone where "
                                   "batch=? and kind=? order by uid"),
                    kind);
}

QString restoreKeysSql()
{
    return QStringLiteral("insert into import_keys(kind,uid,key,batch,imported) select kind, "
                          "uid, key, batch, imported from import_undone where batch=?");
}

QString dropUndoneSql()
{
    return QStringLiteral("delete from import_undone where batch=?");
}

QString importTablesSql()
{
    return QStringLiteral("select count(*) from sqlite_master where type='table' and name in "
                          "('import_batches','import_keys','import_undone','import_rules',"
                          "'import_layouts')");
}
