#pragma once

#include <QString>

// True when the engine's extended result code says the file is damaged or is
// not a database.
bool isDamagedBook(int code);

// The text the error display shows for a failed statement: the engine's own
// message, or, for a damaged book, plain words that name the newest safety copy.
QString storeMessage(int code, const QString& engineText, const QString& bookPath);
