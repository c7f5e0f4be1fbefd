#pragma once

#include "store/progress.h"

#include <QString>

class Database;
struct sqlite3;

// Copies every page of source into destination through the engine's online
// backup, a number of pages at a time, so that the work can be followed and
// stopped; source is read-locked only during each step, and another program's
// lock is waited for as long as a statement would (busyTimeoutMs). Unfinished,
// destination's transaction rolls back. Throws StoreError in the engine's
// words, or Cancelled when progress says stop.
void copyPages(sqlite3* destination, sqlite3* source, int busyTimeoutMs, const Progress& progress);

// Copies the book file source into target, a new file readable by its owner only.
void copyBookFile(const QString& source, const QString& target, const Progress& progress = {});

// Writes the book file source into the open book through the online backup on
// the book's own connection: the file keeps its name, owner and mode, and other
// programs' connections stay valid. A failure or a cancel leaves the book as it was.
void writeIntoBook(Database& book, const QString& source, const Progress& progress = {});
