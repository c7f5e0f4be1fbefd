#include "import/batches.h"

#include "import/importsql.h"
#include "store/database.h"
#include "store/statement.h"
#include "store/storeerror.h"
#include "store/transaction.h"

#include <QFileInfo>

namespace {

const QString kUndone = QStringLiteral("已撤销");
// As an import's: the entries and index pages a batch touches are written once.
constexpr int kLargeCacheMb = 32;

BatchRecord recordOf(const Statement& row)
{
    BatchRecord batch;
    batch.id = row.value(0).toLongLong();
    batch.file = row.value(1).toString();
    batch.layout = row.value(2).toString();
    batch.time = row.value(3).toString();
    batch.user = row.value(4).toString();
    batch.first = QDate::fromString(row.value(5).toString(), Qt::ISODate);
    batch.last = QDate::fromString(row.value(6).toString(), Qt::ISODate);
    ImportCounts& c = batch.counts;
    c.income = row.value(7).toLongLong();
    c.incomeCents = row.value(8).toLongLong();
    c.expense = row.value(9).toLongLong();
    c.expenseCents = row.value(10).toLongLong();
    c.duplicates = row.value(11).toLongLong();
    c.possible = row.value(12).toLongLong();
    c.neutral = row.value(13).toLongLong();
    c.failed = row.value(14).toLongLong();
    c.errors = row.value(15).toLongLong();
    batch.undone = row.value(16).toString() == kUndone;
    return batch;
}

BatchRecord batchToChange(Database& database, qint64 id, bool undone)
{
    const auto batch = findBatch(database, id);
    if (!batch)
        throw StoreError(QStringLiteral("没有第 %1 批导入。").arg(id));
    if (batch->undone != undone)
        throw StoreError(undone ? QStringLiteral("第 %1 批导入没有撤销，不能重做。").arg(id)
                                : QStringLiteral("第 %1 批导入已经撤销。").arg(id));
    return *batch;
}

qint64 countOf(Database& database, const QString& sql, const QVariantList& values)
{
    Statement count(database, sql, values);
    return count.step() ? count.value(0).toLongLong() : 0;
}

} // namespace

QList<BatchRecord> listBatches(Database& database)
{
    QList<BatchRecord> batches;
    if (!hasImportTables(database))
        return batches;
    Statement read(database, batchesSql());
    while (read.step())
        batches.append(recordOf(read));
    return batches;
}

std::optional<BatchRecord> findBatch(Database& database, qint64 id)
{
    if (!hasImportTables(database))
        return std::nullopt;
    Statement read(database, batchSql(), {id});
    if (!read.step())
        return std::nullopt;
    return recordOf(read);
}

QString batchLine(const BatchRecord& batch)
{
    const ImportCounts& c = batch.counts;
    QString line = QStringLiteral("%1  %2  %3  新增 %4 笔（收入 %5 笔，支出 %6 笔）")
                       .arg(batch.time, QFileInfo(batch.file).fileName(), batch.layout)
                       .arg(c.added())
                       .arg(c.income)
                       .arg(c.expense);
    if (batch.undone)
        line += QStringLiteral("  ") + kUndone;
    return line;
}

BatchEntries batchEntries(Database& database, qint64 batch)
{
    BatchEntries result;
    for (EntryKind kind : kEntryKinds) {
        Statement read(database, batchEntriesSql(kind), {batch, kindLetter(kind)});
        while (read.step()) {
            ++result.entries;
            (kind == EntryKind::Income ? result.income : result.expense) = true;
            const qint64 now = entryFingerprint(read.value(1).toString(), read.value(2).toString(),
                                                read.value(3).toString(), read.value(4).toDouble(),
                                                read.value(5).toString());
            if (now != read.value(6).toLongLong())
                ++result.corrected;
        }
    }
    return result;
}

QString undoQuestion(const BatchEntries& entries)
{
    QString text = QStringLiteral("撤销导入将删除这批导入的 %1 笔记录").arg(entries.entries);
    if (entries.corrected > 0)
        text += QStringLiteral("（其中 %1 笔导入后修改过，也会删除）").arg(entries.corrected);
    return text + QStringLiteral("。确定撤销吗？");
}

BatchEntries undoImportBatch(Database& database, qint64 batch)
{
    requireWritableImportTables(database);
    const LargeCache cache(database, kLargeCacheMb);
    Transaction transaction(database);
    batchToChange(database, batch, false);
    BatchEntries taken;
    for (EntryKind kind : kEntryKinds) {
        const qint64 kept = database.execute(keepUndoneSql(kind), {batch, kindLetter(kind)});
        database.execute(deleteBatchEntriesSql(kind), {batch, kindLetter(kind)});
        taken.entries += kept;
        (kind == EntryKind::Income ? taken.income : taken.expense) = kept > 0;
    }
    database.execute(deleteBatchKeysSql(), {batch});
    database.execute(setBatchStateSql(), {kUndone, batch});
    transaction.commit();
    return taken;
}

BatchEntries redoImportBatch(Database& database, qint64 batch)
{
    requireWritableImportTables(database);
    const LargeCache cache(database, kLargeCacheMb);
    Transaction transaction(database);
    batchToChange(database, batch, true);
    if (countOf(database, takenKeysSql(), {batch}) > 0)
        throw StoreError(QStringLiteral("第 %1 批导入的记录已经重新导入过，不能重做。").arg(batch));
    for (EntryKind kind : kEntryKinds)
        if (countOf(database, takenNumbersSql(kind), {batch, kindLetter(kind)}) > 0)
            throw StoreError(
                QStringLiteral("第 %1 批导入的记录编号已被占用，不能重做。").arg(batch));
    BatchEntries restored;
    for (EntryKind kind : kEntryKinds) {
        const qint64 put = database.execute(restoreEntriesSql(kind), {batch, kindLetter(kind)});
        restored.entries += put;
        (kind == EntryKind::Income ? restored.income : restored.expense) = put > 0;
    }
    database.execute(restoreKeysSql(), {batch});
    database.execute(dropUndoneSql(), {batch});
    database.execute(setBatchStateSql(), {QString(), batch});
    transaction.commit();
    return restored;
}
