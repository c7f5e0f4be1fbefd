#pragma once

#include "store/database.h"
#include "store/entrykind.h"
#include "store/query.h"

#include <QObject>
#include <QString>

class Messages;

// The program's state that every window shares: the connection with its two
// general query objects, the messages service, the signed-in user and the
// folder files are written to. A change to the book is announced here once it
// is committed, so that open windows can show it; origin is the window that
// made it (it shows its own changes itself), or nullptr.
class Context final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Context)

public:
    Context(const QString& databasePath, Messages& messages,
            int busyTimeoutMs = Database::defaultBusyTimeoutMs, QObject* parent = nullptr);
    ~Context() override;

    Database& database() { return m_database; }
    Messages& messages() { return m_messages; }

    // General query object: lists, counts, sums, and every INSERT, UPDATE and DELETE.
    Query& ADOQuery1() { return m_query1; }
    // Second query object, for the per-category sums while ADOQuery1 holds a list.
    Query& ADOQuery2() { return m_query2; }

    // The signed-in user's name as stored in the user table; empty before sign-in.
    const QString& currentUser() const { return m_user; }
    void setCurrentUser(const QString& name);

    // Where listings and reports are written: the working folder at start.
    const QString& workFolder() const { return m_workFolder; }
    void setWorkFolder(const QString& folder) { m_workFolder = folder; }
    QString workFile(const QString& fileName) const;

    void announceEntries(EntryKind kind, QObject* origin);
    void announceCategories(QObject* origin);
    void announceBudgets(QObject* origin);
    void announceBookReplaced();

Q_SIGNALS:
    void userChanged(const QString& name);
    // Entries of the kind were added, corrected or removed.
    void entriesChanged(EntryKind kind, QObject* origin);
    void categoriesChanged(QObject* origin);
    // The monthly budgets of categories were stored.
    void budgetsChanged(QObject* origin);
    // The whole book changed under every window (a reset, a restored copy).
    void bookReplaced();

private:
    Database m_database;
    Messages& m_messages;
    Query m_query1;
    Query m_query2;
    QString m_user;
    QString m_workFolder;
};
