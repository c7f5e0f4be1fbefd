#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The names of the copies the program writes of the book, built and read in
// this one place: "vandrel-backup-20261208-153012.mdb", then "-2", "-3", ...
// before the extension for further copies of the same second.

// attempt 0 gives the plain name, attempt n the number n + 1.
QString safetyCopyName(const QDateTime& moment, int attempt = 0);

struct CopyName
{
    QDateTime moment;
    int number = 1; // a name without a number is the first copy of its second
};

// The moment and number of a copy's file name; empty for any other name.
std::optional<CopyName> parseSafetyCopyName(const QString& fileName);

// The newest copy in the folder of the book, as an absolute path; empty when
// there is none.
QString newestSafetyCopy(const QString& bookPath);
