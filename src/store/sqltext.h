#pragma once

#include <QString>

// A text value ready to stand between single quotes in a statement: every
// quote doubled, so the value is stored and found exactly as typed.
QString sqlEscape(const QString& value);

// Translates a statement from the program's dialect into SQLite's: date
// literals between hash signs (#2005-11-05#) become quoted texts. Quoted text
// is left untouched. Throws StoreError, before anything reaches the engine, for
// a statement holding a NUL or a lone surrogate, which the engine would not read
// as the text it is.
QString toSqliteDialect(const QString& statement);
