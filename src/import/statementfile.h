#pragma once

#include "store/progress.h"

#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>

// One row of a statement file with its place in the file: the line of a text
// file where the row starts, or the row of a sheet, counted from 1. Cells are
// trimmed of blanks and tabs.
struct SourceRow
{
    qint64 line = 0;
    QStringList cells;
};

// Takes the rows in file order; returning false ends the read early, which is
// not a failure.
using RowSink = std::function<bool(SourceRow&& row)>;

// Whether a row is a statement's header: a text file's delimiter is the one
// under which some early row is one.
using HeaderTest = std::function<bool(const QStringList& cells)>;

enum class FileKind
{
    Text,
    Xlsx,
    Xls
};

struct TableRead
{
    FileKind kind = FileKind::Text;
    // Of a text file: "UTF-8", "UTF-16LE", "UTF-16BE" or "GB18030", and the
    // delimiter found.
    QString encoding;
    QChar delimiter;
};

// Reads a statement file row by row: delimited text in any of the encodings
// above (comma, tab or semicolon, quoted fields, CRLF or LF), or the first sheet
// of an .xlsx or .xls workbook, told apart by their content rather than their
// name. Rows without any text are left out. A text file is decoded chunk by
// chunk, never held whole; a workbook's shared strings are held once.
// progress counts bytes (rows of an .xls workbook). Throws StoreError with a
// message for the user when the file cannot be read, Cancelled when progress
// says stop.
TableRead readTable(const QString& path, const RowSink& sink, const Progress& progress = {},
                    const HeaderTest& isHeader = {});
