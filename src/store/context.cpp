#include "store/context.h"

#include <QDir>

namespace {

int nextConnectionNumber()
{
    static int number = 0;
    return ++number;
}

} // namespace

Context::Context(const QString& databasePath, Messages& messages, int busyTimeoutMs,
                 QObject* parent)
    : QObject(parent), m_database(QStringLiteral("main-%1").arg(nextConnectionNumber()),
                                  databasePath, busyTimeoutMs),
      m_messages(messages), m_query1(m_database, QStringLiteral("select * from login")),
      m_query2(m_database, QStringLiteral("select * from bmb")), m_workFolder(QDir::currentPath())
{}

Context::~Context() = default;

void Context::setCurrentUser(const QString& name)
{
    m_user = name;
    Q_EMIT userChanged(name);
}

QString Context::workFile(const QString& fileName) const
{
    return QDir(m_workFolder).filePath(fileName);
}

void Context::announceEntries(EntryKind kind, QObject* origin)
{
    Q_EMIT entriesChanged(kind, origin);
}

void Context::announceCategories(QObject* origin)
{
    Q_EMIT categoriesChanged(origin);
}

void Context::announceBudgets(QObject* origin)
{
    Q_EMIT budgetsChanged(origin);
}

void Context::announceBookReplaced()
{
    Q_EMIT bookReplaced();
}
