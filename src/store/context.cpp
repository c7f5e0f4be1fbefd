#include "store/context.h"

#include <QLabel>

namespace {

int nextConnectionNumber()
{
    static int number = 0;
    return ++number;
}

} // namespace

Context::Context(const QString& databasePath, Messages& messages)
    : m_database(QStringLiteral("main-%1").arg(nextConnectionNumber()), databasePath),
      m_messages(messages), m_query1(m_database, QStringLiteral("select * from login")),
      m_query2(m_database, QStringLiteral("select * from bmb")),
      m_queryCxsz(m_database, QStringLiteral("select * from srb where srlb=''"))
{}

QString Context::currentUser() const
{
    return m_userPanel ? m_userPanel->text() : QString();
}

void Context::setUserPanel(QLabel* panel)
{
    m_userPanel = panel;
}
