#pragma once

#include "import/batches.h"

class Database;

// Imports in the undo journal: an import and the undo of one are actions like a
// save, so that 撤销 takes the last one back and 重做 does it again.

// Records the import of batch (or the undo of one, with what it took out)
// inside the caller's transaction, the one that made the change. Throws StoreError.
void recordImport(Database& database, qint64 batch);
void recordUndoImport(Database& database, qint64 batch, const BatchEntries& undone);

// Lets the journal undo and redo the two actions; once is enough, more does no harm.
void registerImportJournal();
