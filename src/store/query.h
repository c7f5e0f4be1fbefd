#pragma once

#include "store/progress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class Database;
class ListingModel;
class Statement;

// A query object: holds one statement text at a time, written in the program's
// dialect, and either opens it as a result or executes it. A result is read in
// one of two ways, chosen at the call:
// - open(): a forward-only cursor, for results that a handler reads itself;
// - openForGrid(): the rows a grid shows, through model().
// Failures throw StoreError with the engine's message.
class Query final
{
public:
    explicit Query(Database& database, const QString& initialText = QString());
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Replaces the statement text; an open result is closed first. values are
    // bound to the statement's ? placeholders in order (see Statement).
    void setText(const QString& statement, const QVariantList& values = {});
    const QString& text() const { return m_text; }
    const QVariantList& values() const { return m_values; }

    // Opens the statement as a forward-only cursor on its first row. It reads one
    // row ahead, so a result read to its last row has finished its statement and
    // holds no lock on the book. Going back (first(), setRow()) runs it again.
    // Opening an open query does nothing.
    void open();
    // Opens the statement as the grid's result: model() shows it, rows are read
    // page by page on demand, and no statement stays pending between reads.
    // rows: the number of rows when the caller has counted them already (the
    // search has), -1 to let the query count them.
    void openForGrid(qint64 rows = -1);
    // Executes an INSERT, UPDATE or DELETE (or any statement whose result is not
    // read). Returns the number of rows it changed. progress: see Database::execute.
    int exec(const Progress& progress = {});
    void close();
    bool isOpen() const { return m_reading != Reading::None; }

    bool eof() const;
    bool isEmpty() const;
    void first();
    void next();
    int row() const { return m_row; }
    // Moves to a row of the result. Returns false past the end.
    bool setRow(int row);

    int fieldCount() const;
    QVariant field(int index) const;
    QVariant field(const QString& name) const;
    // The field as text; a null value reads as empty text.
    QString fieldText(int index) const;
    QString fieldText(const QString& name) const;

    // The grid's rows: those of openForGrid(), empty otherwise.
    ListingModel* model() const { return m_model.get(); }
    Database& database() const { return m_database; }

private:
    enum class Reading
    {
        None,
        Cursor,
        Grid
    };
    void startCursor();
    void stepCursor();

    Database& m_database;
    QString m_text;
    QVariantList m_values;
    std::unique_ptr<ListingModel> m_model;
    std::unique_ptr<Statement> m_cursor;
    Reading m_reading = Reading::None;
    QStringList m_columns;     // the cursor's column names
    QList<QVariant> m_current; // the cursor's current row
    bool m_onRow = false;      // the cursor stands on a row
    bool m_ahead = false;      // the statement holds the row after the current one
    int m_row = 0;
};
