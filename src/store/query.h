#pragma once

#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

class Database;
class QSqlQuery;

// The model behind a grid. It knows whether anything (a view) is attached, so
// that a query nobody shows can skip the model's bookkeeping.
class QueryModel final : public QSqlQueryModel
{
    Q_OBJECT
public:
    using QSqlQueryModel::QSqlQueryModel;
    bool isWatched() const;
};

// A query object: holds one statement text at a time, written in the program's
// dialect, and either opens it as a result set or executes it. Failures throw
// StoreError with the engine's message. Rows are fetched lazily, so a large
// listing costs only the rows that are read or shown.
class Query final
{
public:
    explicit Query(Database& database, const QString& initialText = QString());
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Replaces the statement text; an open result is closed first.
    void setText(const QString& statement);
    const QString& text() const { return m_text; }

    // Opens the statement as a result set positioned on its first row. Opening
    // an open query does nothing.
    void open();
    // Executes an INSERT, UPDATE or DELETE (or any statement whose result is not
    // read). Returns the number of rows it changed.
    int exec();
    void close();
    bool isOpen() const { return m_open; }

    bool eof() const;
    bool isEmpty() const;
    void first();
    void next();
    int row() const { return m_row; }
    // Moves to a row of the result, fetching as far as needed. Returns false past the end.
    bool setRow(int row);

    int fieldCount() const;
    QVariant field(int index) const;
    QVariant field(const QString& name) const;
    // The field as text; a null value reads as empty text.
    QString fieldText(int index) const;
    QString fieldText(const QString& name) const;

    // The result as a model for a read-only grid; empty while closed. While a
    // view or another object is connected to it, every result goes through it.
    QSqlQueryModel* model() const { return m_model.get(); }
    Database& database() const { return m_database; }

private:
    // A forward-only cursor for results that no grid shows: no row cache, no
    // model signals. It reads one row ahead, so a result read to its last row
    // has already finished its statement and holds no lock on the file.
    bool plain() const { return m_plain.has_value(); }
    void restartPlain();
    void stepPlain();

    Database& m_database;
    QString m_text;
    std::unique_ptr<QueryModel> m_model;
    std::unique_ptr<QSqlQuery> m_plainQuery;
    std::optional<bool> m_plain; // engaged while a plain result is open: true while on a row
    QSqlRecord m_current;        // the plain cursor's current row
    bool m_ahead = false;        // the cursor stands on the row after the current one
    bool m_open = false;
    int m_row = 0;
};
