#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// One cell of a table, typed so that a spreadsheet gets dates as dates and
// amounts as numbers.
struct TableCell
{
    enum class Kind
    {
        Empty,
        Text,
        Date,
        Cents, // an amount in whole cents, shown with two decimals
        Integer,
        Number // any other figure, in general number text
    };

    static TableCell text(const QString& value) { return {Kind::Text, value, {}, 0, 0}; }
    static TableCell date(const QDate& value) { return {Kind::Date, {}, value, 0, 0}; }
    static TableCell cents(qint64 value) { return {Kind::Cents, {}, {}, value, 0}; }
    // Rounded to whole cents, ties to even; a figure beyond them stays a number.
    static TableCell amount(double value);
    static TableCell integer(qint64 value) { return {Kind::Integer, {}, {}, value, 0}; }
    static TableCell number(double value) { return {Kind::Number, {}, {}, 0, value}; }

    Kind kind = Kind::Empty;
    QString textValue;
    QDate dateValue;
    qint64 whole = 0;
    double real = 0;
};
using TableRow = QList<TableCell>;

// Writes a table to a spreadsheet file, row by row as they come, so a table of
// any length costs the same memory. The file's extension chooses the format:
// ".xlsx" an Excel workbook of one sheet, anything else CSV (UTF-8 with a byte
// order mark, RFC 4180 quoting, lines ending in CR LF).
//
// A text that a spreadsheet would take for a formula (starting with =, +, -, @,
// a tab or a carriage return) is kept a text: CSV puts a ' before it, XLSX
// always writes texts as string cells.
//
// The file appears whole or not at all (PendingFile): a failure at any step
// leaves an older file of the name as it was, and error() says why.
class TableWriter final
{
public:
    enum class Format
    {
        Csv,
        Xlsx
    };
    // Data rows a sheet holds below its header row.
    static constexpr qint64 xlsxMaxDataRows = 1048575;

    explicit TableWriter(const QString& path);
    // Discards the file unless commit() succeeded.
    ~TableWriter();
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    static Format formatOf(const QString& path);
    // The message for a table of dataRows rows that the file's format cannot
    // hold, or an empty text when it can; asked before a long export starts.
    static QString rowLimitError(const QString& path, qint64 dataRows);

    // Creates the file and writes the header row.
    bool begin(const QStringList& captions);
    // A failure is kept: later rows are ignored and commit() reports it.
    bool addRow(const TableRow& cells);
    bool commit();
    const QString& error() const;

    class Sink;

private:
    std::unique_ptr<Sink> m_sink;
};
