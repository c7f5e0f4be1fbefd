#pragma once

#include "store/database.h"
#include "store/query.h"

#include <QPointer>
#include <QString>

class Messages;
class QLabel;

// What the main window owns and every child window uses: the connection, the
// three shared query objects, the messages service and the name of the
// signed-in user (status panel 1).
class Context final
{
public:
    Context(const QString& databasePath, Messages& messages);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Database& database() { return m_database; }
    Messages& messages() { return m_messages; }

    // General query object: lists, counts, sums, and every INSERT, UPDATE and DELETE.
    Query& ADOQuery1() { return m_query1; }
    // Second query object, for the per-category sums while ADOQuery1 holds a list.
    Query& ADOQuery2() { return m_query2; }
    // The search and report query object, whose listing the book's grid shows.
    Query& ADOQuery_cxsz() { return m_queryCxsz; }

    // The signed-in user's name as shown in status panel 1.
    QString currentUser() const;
    void setUserPanel(QLabel* panel);

private:
    Database m_database;
    Messages& m_messages;
    Query m_query1;
    Query m_query2;
    Query m_queryCxsz;
    QPointer<QLabel> m_userPanel;
};
