#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// A table the program keeps in the book beside the four tables every version
// knows. Older books gain it the first time this version opens them writable;
// older versions ignore it.
struct AddedTable
{
    QString name;
    // "create table if not exists ..." and its indexes ("create index if not exists ...").
    QStringList statements;
    // Emptied by the reset together with the entries.
    bool emptiedByReset = true;
};

// Every table beyond the four, in the order they are created.
const QList<AddedTable>& addedTables();

// Creates what is missing of addedTables() in one transaction. Reads only
// when nothing is missing. Throws StoreError.
void ensureSchema(Database& database);
