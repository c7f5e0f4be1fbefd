#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

// Locale-independent number conversion: optional blanks, sign, digits with at
// most one point, optional exponent, optional blanks. "." alone gives 0.
std::optional<double> convertNumber(const QString& text);

// Rounds to whole cents, ties to even, in extended precision. Empty when the
// amount in cents does not fit a 64-bit integer.
std::optional<double> roundCents(double value);

// Shortest text with at most 15 significant digits ("3500", "12.5", "1E15").
QString numberText(double value);

// Conversion and cent rounding together, as the amount boxes need them.
std::optional<double> parseAmount(const QString& text);

// "yyyy-mm-dd".
QString dateText(const QDate& date);

// The date text, then a blank and "HH:mm:ss" unless the time is midnight.
QString dateTimeText(const QDateTime& dateTime);

// Four-digit year followed by the two-digit month: 200511.
QString periodKey(const QDate& date);

// A file's size as the program shows it: "392.4 MB"; KB below one MB, GB from
// 1024 MB on.
QString fileSizeText(qint64 bytes);
