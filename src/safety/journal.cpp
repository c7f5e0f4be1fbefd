#include "safety/journal.h"

#include "safety/entryjournal.h"
#include "safety/safetysql.h"
#include "safety/safetystate.h"
#include "store/context.h"
#include "store/database.h"
#include "store/statement.h"
#include "store/transaction.h"

#include <QHash>
#include <QJsonDocument>

namespace {

constexpr int kKeptActions = 200;

struct Handler
{
    JournalStep undo;
    JournalStep redo;
};

QHash<QString, Handler>& handlers()
{
    static QHash<QString, Handler> registry = [] {
        QHash<QString, Handler> builtIn;
        for (const EntryJournalType& type : entryJournalTypes())
            builtIn.insert(type.type, {type.undo, type.redo});
        return builtIn;
    }();
    return registry;
}

QString kindLetters(const QList<EntryKind>& kinds)
{
    QString letters;
    for (EntryKind kind : kinds)
        letters += kindLetter(kind);
    return letters;
}

std::optional<JournalRecord> readRecord(Database& database, const QString& sql)
{
    Statement row(database, sql);
    if (!row.step())
        return std::nullopt;
    JournalRecord record;
    record.number = row.value(0).toLongLong();
    record.action.type = row.value(1).toString();
    record.action.description = row.value(2).toString();
    record.action.data = QJsonDocument::fromJson(row.value(3).toString().toUtf8()).object();
    for (const QChar letter : row.value(4).toString())
        if (const std::optional<EntryKind> kind = kindOfLetter(QString(letter)))
            record.action.kinds << *kind;
    return record;
}

StepOutcome step(Context& context, qint64 number, bool undo)
{
    Database& database = context.database();
    std::optional<JournalRecord> record;
    {
        Transaction transaction(database);
        checkGeneration(context);
        record = undo ? nextUndo(database) : nextRedo(database);
        if (!record || record->number != number)
            return StepOutcome::Moved;
        const auto handler = handlers().constFind(record->action.type);
        if (handler == handlers().constEnd())
            return StepOutcome::Unknown;
        if (!(undo ? handler->undo : handler->redo)(database, record->action))
            return StepOutcome::Conflict;
        database.execute(markJournalSql(), {undo ? 1 : 0, number});
        transaction.commit();
    }
    for (EntryKind kind : record->action.kinds)
        context.announceEntries(kind, nullptr);
    return StepOutcome::Done;
}

} // namespace

void registerJournalHandler(const QString& type, JournalStep undo, JournalStep redo)
{
    handlers().insert(type, {std::move(undo), std::move(redo)});
}

void recordAction(Database& database, const JournalAction& action)
{
    database.execute(clearRedoSql());
    database.execute(insertJournalSql(),
                     {action.type, action.description,
                      QString::fromUtf8(QJsonDocument(action.data).toJson(QJsonDocument::Compact)),
                      kindLetters(action.kinds)});
    database.execute(trimJournalSql(), {kKeptActions});
}

std::optional<JournalRecord> nextUndo(Database& database)
{
    return readRecord(database, nextUndoSql());
}

std::optional<JournalRecord> nextRedo(Database& database)
{
    return readRecord(database, nextRedoSql());
}

StepOutcome undoAction(Context& context, qint64 number)
{
    return step(context, number, true);
}

StepOutcome redoAction(Context& context, qint64 number)
{
    return step(context, number, false);
}

void dropAction(Database& database, qint64 number)
{
    Transaction transaction(database);
    database.execute(dropJournalRowSql(), {number});
    transaction.commit();
}
