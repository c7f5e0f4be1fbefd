#pragma once

#include <QDateTime>
#include <QString>

class Database;

struct SafetyCopy
{
    bool written = false;
    QString path;  // the file written, or the one that could not be
    QString error; // the reason when nothing was written
};

// Writes the safety copy of the book into folder under the first free name made
// from the moment (see safetyCopyName); an existing file is never overwritten.
SafetyCopy writeSafetyCopy(Database& database, const QString& folder, const QDateTime& moment);
