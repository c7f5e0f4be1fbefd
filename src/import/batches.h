#pragma once

#include "import/importer.h"
#include "store/entrykind.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class Database;

// The imports recorded in the book, and undoing and redoing one of them.

struct BatchRecord
{
    qint64 id = 0;
    QString file; // as imported, with its folder
    QString layout;
    QString time; // yyyy-MM-dd HH:mm:ss
    QString user;
    QDate first;
    QDate last;
    ImportCounts counts;
    bool undone = false;
};

// Every batch, newest first; none when the book has no import tables.
QList<BatchRecord> listBatches(Database& database);
std::optional<BatchRecord> findBatch(Database& database, qint64 id);

// "2024-02-01 10:20:05  alipay.csv  支付宝  新增 12 笔（收入 1 笔，支出 11 笔）", and
// "已撤销" once undone.
QString batchLine(const BatchRecord& batch);

// A batch's entries that are still in the book, how many of them were corrected
// since the import, and their kinds.
struct BatchEntries
{
    qint64 entries = 0;
    qint64 corrected = 0;
    bool income = false;
    bool expense = false;
};
BatchEntries batchEntries(Database& database, qint64 batch);

// The question before an undo, with the count and the corrected ones.
QString undoQuestion(const BatchEntries& entries);

// Takes a batch's entries that are still in the book out of it, keeps them with
// their keys for a redo, lets the keys go (the file can be imported again) and
// marks the batch 已撤销. Runs in the caller's transaction when there is one (as
// a savepoint of it), else in one of its own. Throws StoreError when the batch
// is unknown or undone already; returns what was taken out (corrected is not
// counted here: batchEntries() tells it for the question before).
BatchEntries undoImportBatch(Database& database, qint64 batch);

// Puts an undone batch's entries back under their own numbers with their keys.
// Refused (StoreError) when one of the keys was taken meanwhile (the file was
// imported again) or a number is in use. Transactions as undoImportBatch().
BatchEntries redoImportBatch(Database& database, qint64 batch);
