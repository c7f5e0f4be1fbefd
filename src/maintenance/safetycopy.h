#pragma once

#include <QDateTime>
#include <QString>

class Database;

// Copies the book as it stands into target, a file that must not exist yet,
// through SQLite's online backup (consistent even while the book is open and
// read). On failure the partial file is removed and error says why.
bool copyDatabaseTo(Database& database, const QString& target, QString* error);

struct SafetyCopy
{
    bool written = false;
    QString path;  // the file written, or the one that could not be
    QString error; // the reason when nothing was written
};

// Writes the safety copy into folder under the first free name made from the
// moment (see safetyCopyName).
SafetyCopy writeSafetyCopy(Database& database, const QString& folder, const QDateTime& moment);
