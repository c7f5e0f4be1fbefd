#pragma once

#include "import/statementfile.h"

class QFile;

// The readers behind readTable(), one per kind of file. The file exists and
// starts with the kind's signature. They throw as readTable() does.
TableRead readDelimitedText(QFile& file, const RowSink& sink, const Progress& progress,
                            const HeaderTest& isHeader);
TableRead readXlsx(const QString& path, const RowSink& sink, const Progress& progress);
TableRead readXls(const QString& path, const RowSink& sink, const Progress& progress);

// The text of an Excel date serial number, "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss";
// empty when the number is no date.
QString excelDateText(double serial, bool base1904);

// A sheet's number as cell text: whole numbers in full (long account and order
// numbers stay exact), others in the shortest form.
QString sheetNumberText(double value);
