#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariant>

class Database;

// The rows of a result as a grid shows them. The number of rows is known up
// front; rows are read on demand in pages, each by a statement that runs to its
// end (the statement with a limit and offset added), and only the most recently
// used pages are kept. No statement stays pending between reads, so other
// programs can write to the book and the connection can be compacted while a
// listing is shown.
class ListingModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int pageRows = 256;
    static constexpr int cachedPages = 32;

    explicit ListingModel(Database& database, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // Shows a result (a select in SQLite's form without a limit clause of its
    // own) and reads its first page. rows: its number of rows when the caller
    // knows it, otherwise -1. Throws StoreError when the statement fails.
    // values: bound to the statement's placeholders, as Statement binds them.
    void show(const QString& statement, qint64 rows, const QVariantList& values = {});
    void clear();
    // One value; reads its page when needed. Throws StoreError.
    QVariant value(int row, int column);
    int column(const QString& name) const;

Q_SIGNALS:
    // A page the view asked for could not be read; its rows show empty. Sent
    // once per result.
    void readFailed(const QString& message);

private:
    struct Page
    {
        QList<QVariant> values; // row by row
        quint64 used = 0;
        QString failure; // the page could not be read
    };
    // The page holding row; reads it if it is not kept. Throws StoreError.
    const Page& page(int row);
    Page readPage(int index);
    void keep(int index, Page page);

    Database& m_database;
    QString m_statement;
    QVariantList m_values;
    QStringList m_columns;
    int m_rows = 0;
    QHash<int, Page> m_pages;
    quint64 m_tick = 0;
    QHash<int, QVariant> m_captions;
    bool m_reported = false;
};
