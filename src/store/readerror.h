#pragma once

#include <QString>

class QSqlError;

// The newest safety copy (vandrel-backup-yyyyMMdd-HHmmss[-n].mdb) in the folder
// of the book, as an absolute path; empty when there is none.
QString newestSafetyCopy(const QString& bookPath);

// True when the engine's error says the file is damaged or not a database.
bool isDamagedBook(const QSqlError& error);

// The text the error display shows for a failed statement: the engine's own
// message, or, for a damaged book, plain words that name the newest safety copy.
QString storeMessage(const QSqlError& error, const QString& bookPath);
