#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The names of the copies the program writes of the book, built and read in
// this one place. Copies live in the folder "backups" beside the book:
// "vandrel-20261208-153012-auto.mdb", then "-2", "-3", ... after the reason for
// further copies of the same second. Older versions wrote their copies beside
// the book as "vandrel-backup-20261208-153012.mdb"; those are listed, never moved.

enum class CopyReason
{
    Auto,
    Reset,
    Compact,
    Restore,
    Manual,
    Older, // a copy an older version wrote beside the book
};

// "auto", "reset", "compact", "restore", "manual"; "backup" for an older copy.
QString copyReasonWord(CopyReason reason);

// The folder of the book's copies, as an absolute path.
QString backupFolder(const QString& bookPath);

// attempt 0 gives the plain name, attempt n the number n + 1.
QString backupCopyName(const QDateTime& moment, CopyReason reason, int attempt = 0);

struct CopyName
{
    QDateTime moment;
    int number = 1; // a name without a number is the first copy of its second
    CopyReason reason = CopyReason::Older;
};

// Whether a was taken after b (the moment, then the number within its second).
bool isNewer(const CopyName& a, const CopyName& b);

// The moment, reason and number of a copy's file name, in either form; empty
// for any other name.
std::optional<CopyName> parseCopyName(const QString& fileName);

struct CopyFile
{
    QString path; // absolute
    CopyName name;
};

// Every copy of the book, newest first: those in its backup folder, and older
// ones beside it.
QList<CopyFile> listCopyFiles(const QString& bookPath);

// The newest copy, as an absolute path; empty when there is none.
QString newestSafetyCopy(const QString& bookPath);
