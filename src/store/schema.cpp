#include "store/schema.h"

#include "store/database.h"
#include "store/statement.h"
#include "store/transaction.h"

#include <QSet>

const QList<AddedTable>& addedTables()
{
    // Each feature that keeps data of its own in the book adds its tables here.
    static const QList<AddedTable> tables = {
        // The undo journal (src/safety/journal.h): one row an action, newest last;
        // cx is 1 once the action is undone.
        {QStringLiteral("czrz"),
         {QStringLiteral("create table if not exists czrz (xh integer primary key autoincrement, "
                         "lx text not null, sm text not null, sj text not null, "
                         "sz text not null, cx integer not null default 0)")},
         true},
        // Monthly budgets of the expense categories: code, month key yyyymm, whole cents.
        {QStringLiteral("yss"),
         {QStringLiteral("create table if not exists yss (lb text collate nocase not null, "
                         "yf text not null, je integer not null, unique (yf, lb))")},
         true},
        // The remark search (说明包含) finds dates, remarks and amounts in these
        // indexes alone: its count and sum over many years read them instead of
        // every entry. Indexes of the entries, so the reset leaves them be.
        {QStringLiteral("srb_rq_sm_je"),
         {QStringLiteral("create index if not exists srb_rq_sm_je on srb(srrq, srsm, srje)")},
         false},
        {QStringLiteral("zcb_rq_sm_je"),
         {QStringLiteral("create index if not exists zcb_rq_sm_je on zcb(zcrq, zcsm, zcje)")},
         false},
    };
    return tables;
}

void ensureSchema(Database& database)
{
    if (addedTables().isEmpty())
        return;
    QSet<QString> present;
    {
        Statement names(database, QStringLiteral("select name from sqlite_master where type in "
                                                 "('table','index')"));
        while (names.step())
            present.insert(names.value(0).toString().toLower());
    }
    bool complete = true;
    for (const AddedTable& table : addedTables())
        complete = complete && present.contains(table.name.toLower());
    if (complete)
        return;
    Transaction transaction(database);
    for (const AddedTable& table : addedTables())
        for (const QString& statement : table.statements)
            database.execute(statement);
    transaction.commit();
}
