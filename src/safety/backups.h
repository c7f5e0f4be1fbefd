#pragma once

#include "safety/copyfile.h"
#include "store/copynames.h"
#include "store/progress.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Database;

// The text of a failed copy, from the file it was meant for and the reason.
using CopyFailureText = std::function<QString(const QString& path, const QString& reason)>;

// Writes a copy of the book into its backup folder (made owner-only when
// missing) under the first free name for the moment and reason: through the
// online backup, then checked by the engine's quick check and given its
// summary, both before it takes its name, so that a name never holds half a
// copy. A copy that fails the check is removed and reported, except one taken
// before a restore, which is kept whatever it holds. Returns the copy's path.
// Throws StoreError with failure(path, reason) (by default the file and the
// reason), or Cancelled.
QString writeBackup(Database& book, CopyReason reason,
                    const QDateTime& moment = QDateTime::currentDateTime(),
                    const Progress& progress = {}, const CopyFailureText& failure = {});

// A copy as the list of copies shows it.
struct BackupEntry
{
    CopyFile file;
    qint64 size = 0;
    std::optional<CopySummary> summary; // empty for an older version's copy
};

// Every copy of the book, newest first, from their names, sizes and summaries;
// no entry is read.
QList<BackupEntry> listBackups(const QString& bookPath);

// The keeping rule of the automatic copies: the newest of each of the last 10
// days that have one, and the newest of each of the last 12 months that have
// one. Returns the positions in copies of those to remove.
QList<qsizetype> copiesToRemove(const QList<CopyName>& copies);

// Removes the automatic copies in the book's backup folder that the keeping
// rule lets go; no other copy is ever removed.
void pruneAutomaticCopies(const QString& bookPath);

// Replaces the book by the copy at path, on its own connection: the copy is
// checked first (checkRestorable); a restore copy of the book is written, kept
// even when the book is damaged; the copy, with the tables this version adds,
// an empty journal and a new generation, is written into the book. Returns the
// restore copy's path. Throws StoreError (nothing changed), or Cancelled.
QString restoreBook(Database& book, const QString& path, const Progress& progress = {});

// The moment a copy was taken: from its name, else the file's last change.
QDateTime copyMoment(const QString& path);

// "2026-12-08 15:30:12".
QString momentText(const QDateTime& moment);
