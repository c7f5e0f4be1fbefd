#pragma once

#include "safety/journal.h"

#include <QList>
#include <QString>
#include <optional>

// The book window's actions in the journal: a save, a correction and a deletion
// of one entry, each holding the entry's values by column, so that undo can
// check that the row is still as the action left it.

// The action of the entry numbered uid, just saved (read back in the same transaction).
JournalAction entrySaved(Database& database, EntryKind kind, qint64 uid);

// An entry as it stood before a correction or deletion, read inside the
// transaction of the change.
class EntrySnapshot final
{
public:
    EntrySnapshot(Database& database, EntryKind kind, qint64 uid);
    bool exists() const { return !m_values.isEmpty(); }
    // The action of the correction, once it is written. Throws StoreError.
    JournalAction corrected(Database& database) const;
    // The action of the deletion. Throws StoreError when there was no entry.
    JournalAction deleted() const;

private:
    EntryKind m_kind;
    qint64 m_uid;
    QJsonObject m_values;
};

// "删除支出编号 35（2026-12-08 餐饮 35.00）".
QString entryActionText(const QString& verb, EntryKind kind, const QJsonObject& entry);

struct EntryJournalType
{
    QString type;
    JournalStep undo;
    JournalStep redo;
};

// "save", "correct" and "delete" with their steps.
QList<EntryJournalType> entryJournalTypes();
