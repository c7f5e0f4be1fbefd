#pragma once

#include "store/entrykind.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Context;
class Database;

// The undo journal: the last 200 actions that changed entries, kept in the
// book (table czrz), so that undo and redo work after a restart and in every
// program that opens the book. A reset and a restore empty it.
//
// How a feature adds a kind of action (the statement import adds "import" and
// "undo-import"; the book window's are "save", "correct" and "delete"):
// - recordAction(database, action) inside the transaction of the change itself,
//   so that the row exists exactly when the change does. It drops what could
//   be redone and keeps the newest 200 rows.
// - registerJournalHandler(type, undo, redo) once, before the first undo or
//   redo can reach the type (when the feature is first used, or at start-up).
// - A step gets the action as recorded and runs inside the transaction that
//   also marks the journal row. It first checks that the book still holds what
//   the action left (for redo: what the undo left) and returns false, having
//   changed nothing, when another program changed those entries; the whole
//   transaction is then rolled back and the user may drop the step. Failures
//   throw StoreError.
// - description names the action in the buttons' tooltips, after "撤销：" or
//   "重做：", e.g. "删除支出编号 35（2026-12-08 餐饮 35.00）"; kinds are the
//   entry kinds whose listings are searched again after an undo or redo.
struct JournalAction
{
    QString type;
    QString description;
    QJsonObject data;
    QList<EntryKind> kinds;
};

using JournalStep = std::function<bool(Database& database, const JournalAction& action)>;

void registerJournalHandler(const QString& type, JournalStep undo, JournalStep redo);

// Throws StoreError.
void recordAction(Database& database, const JournalAction& action);

// A row of the journal.
struct JournalRecord
{
    qint64 number = 0;
    JournalAction action;
};

// The action the next undo takes back (the newest one done), and the one the
// next redo does again (the oldest one undone). Empty when there is none.
std::optional<JournalRecord> nextUndo(Database& database);
std::optional<JournalRecord> nextRedo(Database& database);

enum class StepOutcome
{
    Done,
    Moved,    // the action is no longer the next one (another program recorded one)
    Conflict, // another program changed the entries; nothing was done
    Unknown,  // a type this version has no handler for
};

// Undoes or redoes the action numbered number, in one transaction with its
// journal row, once the generation is checked (checkGeneration). Throws StoreError.
StepOutcome undoAction(Context& context, qint64 number);
StepOutcome redoAction(Context& context, qint64 number);

// Removes an action from the journal. Throws StoreError.
void dropAction(Database& database, qint64 number);
