#pragma once

#include "store/progress.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

class Database;

// What the book's copies hold and how they are judged: the checks, the summary a
// copy carries, and a copy made ready to become the book. The files are reached
// through connections of their own (store/fileconnection.h); failures throw
// StoreError with the engine's words.

struct CopySummary
{
    qint64 incomes = 0;
    qint64 expenses = 0;
    QString lastEntryDate; // empty without entries
};

// "ok", or the problems the engine's quick check found, one a line.
QString quickCheckFile(const QString& path);

// Counts the entries of the copy at path and writes them, with its newest
// entry date, into a small table of the copy.
void writeSummary(const QString& path);

// Rolls back a change to the copy at path that the disk cut short, so that the
// file alone is the copy. Throws StoreError when that cannot be done.
void settleCopy(const QString& path);

// The summary written into a copy; empty for a copy without one (an older
// version's) or a file that cannot be read.
std::optional<CopySummary> readSummary(const QString& path);

// The generation stored in a book or a copy.
qint64 bookGeneration(Database& book);
qint64 fileGeneration(const QString& path);

// Refuses a file that cannot be restored: damaged (the full integrity check),
// not a book of this program, or holding triggers or views the program did not
// create. The message names the file and the reason.
void checkRestorable(const QString& path, const Progress& progress = {});

// Makes the copy at path ready to become the book: the tables this version
// adds, an empty journal, no summary, and the generation given.
void prepareForRestore(const QString& path, qint64 generation);
