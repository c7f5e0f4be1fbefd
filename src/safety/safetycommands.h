#pragma once

#include <QString>
#include <QStringList>

// The command line's backup, backups and restore, on the book in the working
// folder, by the same rules as the dialog. Each returns the lines to print on
// standard output and throws StoreError with the reason.

// Writes a manual copy.
QStringList backupCommand();
// Every copy, newest first: time, reason, size, incomes, expenses, newest
// entry date and file, separated by tabs.
QStringList backupsCommand();
// Replaces the book by the copy in file (any path), after a restore copy.
QStringList restoreCommand(const QString& file);
