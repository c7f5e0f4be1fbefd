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
        // Statement imports: one row per import, with its counts; state '已撤销'
        // once undone. source is what the keys of its rows start with.
        {QStringLiteral("import_batches"),
         {QStringLiteral("create table if not exists import_batches (id integer primary key "
                         "autoincrement, file text not null, sha256 text not null, layout text "
                         "not null, source text not null, imported text not null, user1 text not "
                         "null, first_date text, last_date text, income integer not null, "
                         "income_cents integer not null, expense integer not null, expense_cents "
                         "integer not null, duplicates integer not null, possible integer not "
                         "null, neutral integer not null, failed integer not null, errors "
                         "integer not null, state text not null default '')")}},
        // The key of each imported entry's statement row, while the entry is the
        // batch's; imported: a fingerprint of the entry as imported, which tells
        // the entries corrected since.
        {QStringLiteral("import_keys"),
         {QStringLiteral("create table if not exists import_keys (kind text not null, uid integer "
                         "not null, key text not null, batch integer not null, imported integer "
                         "not null, primary key(kind, uid)) without rowid"),
          QStringLiteral("create unique index if not exists import_keys_key on import_keys(key)"),
          QStringLiteral("create index if not exists import_keys_batch on import_keys(batch)")}},
        // The entries an undo of an import took out, with their keys, for a redo;
        // it holds undone batches only, so a redo reads it whole.
        {QStringLiteral("import_undone"),
         {QStringLiteral(
             "create table if not exists import_undone (batch integer not null, kind "
             "text not null, uid integer not null, key text not null, imported "
             "integer not null, rq text, lb text, mc text, je real, sm text, sq text)")}},
        // A statement's category, counterpart or keyword that gives a category
        // code of the book, per source and kind.
        {QStringLiteral("import_rules"),
         {QStringLiteral("create table if not exists import_rules (source text not null, kind "
                         "text not null, match text not null, pattern text not null, code text "
                         "not null, primary key(source, kind, match, pattern)) without rowid")}},
        // The user's answers for a header layout none of the known ones fits.
        {QStringLiteral("import_layouts"),
         {QStringLiteral("create table if not exists import_layouts (signature text primary key, "
                         "columns text not null, date_order text, card integer)")}},
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
