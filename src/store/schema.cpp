#include "store/schema.h"

#include "store/database.h"
#include "store/statement.h"
#include "store/transaction.h"

#include <QSet>

const QList<AddedTable>& addedTables()
{
    // Each feature that keeps data of its own in the book adds its tables here.
    static const QList<AddedTable> tables = {};
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
