#include "import/importjournal.h"

#include "safety/journal.h"
#include "store/storeerror.h"

#include <QFileInfo>

namespace {

const QString kImport = QStringLiteral("import");
const QString kUndoImport = QStringLiteral("undo-import");

QList<EntryKind> kindsOf(const BatchEntries& entries)
{
    QList<EntryKind> kinds;
    if (entries.income)
        kinds << EntryKind::Income;
    if (entries.expense)
        kinds << EntryKind::Expense;
    return kinds;
}

JournalAction batchAction(Database& database, const QString& type, qint64 batch,
                          const QString& text, const BatchEntries& entries)
{
    const std::optional<BatchRecord> record = findBatch(database, batch);
    const QString file = record ? QFileInfo(record->file).fileName() : QString::number(batch);
    return {type, text.arg(file).arg(entries.entries),
            QJsonObject{{QStringLiteral("batch"), batch}}, kindsOf(entries)};
}

// The batch's state as the step expects it, else another program changed it:
// the step does nothing and the journal offers to drop it.
bool takeOut(Database& database, const JournalAction& action)
{
    const qint64 batch = action.data.value(QStringLiteral("batch")).toInteger();
    const std::optional<BatchRecord> record = findBatch(database, batch);
    if (!record || record->undone)
        return false;
    undoImportBatch(database, batch);
    return true;
}

bool putBack(Database& database, const JournalAction& action)
{
    const qint64 batch = action.data.value(QStringLiteral("batch")).toInteger();
    const std::optional<BatchRecord> record = findBatch(database, batch);
    if (!record || !record->undone)
        return false;
    try {
        redoImportBatch(database, batch);
    } catch (const StoreError& e) {
        if (e.code() != 0) // the engine's failure, not a refusal
            throw;
        return false; // a key or a number was taken meanwhile
    }
    return true;
}

} // namespace

void recordImport(Database& database, qint64 batch)
{
    recordAction(database,
                 batchAction(database, kImport, batch, QStringLiteral("导入账单 %1（新增 %2 笔）"),
                             batchEntries(database, batch)));
}

void recordUndoImport(Database& database, qint64 batch, const BatchEntries& undone)
{
    recordAction(database, batchAction(database, kUndoImport, batch,
                                       QStringLiteral("撤销导入 %1（删除 %2 笔）"), undone));
}

void registerImportJournal()
{
    registerJournalHandler(kImport, takeOut, putBack);
    registerJournalHandler(kUndoImport, putBack, takeOut);
}
