#pragma once

#include <QString>

// True when the engine's extended result code says the file is damaged or is
// not a database.
bool isDamagedBook(int code);
// The two apart: pages that do not hold together, or a file that is no database.
bool isCorruptFile(int code);
bool isForeignFile(int code);

// When a failure came: while the connection to the book was being made, or on
// the open book (where the engine's "unable to open database file" means the
// journal beside the book, not the book itself).
enum class FailedWhile
{
    Working,
    Opening,
};

// The text the error display shows for a failed statement. For a damaged book,
// plain words that name the newest safety copy; for a full or failing disk, a
// book held by another program, or a journal that cannot be made beside the
// book, a plain explanation chosen by the extended code with the engine's own
// message after it in parentheses; otherwise the engine's message as it is.
QString storeMessage(int code, const QString& engineText, const QString& bookPath,
                     FailedWhile when = FailedWhile::Working);
