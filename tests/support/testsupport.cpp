#include "testsupport.h"

#include "store/database.h"
#include "store/query.h"

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

TestBook::TestBook()
{
    if (!m_dir.isValid())
        qFatal("cannot make a temporary folder");
    QString error;
    if (!createDatabase(path(), &error))
        qFatal("cannot create the test book: %s", qPrintable(error));
    m_context = std::make_unique<Context>(path(), m_messages);
    m_context->database().setStatementLog([this](const QString& s) { m_statements << s; });
}

TestBook::~TestBook()
{
    m_context.reset();
}

QString TestBook::path() const
{
    return m_dir.filePath(QStringLiteral("vandrel.mdb"));
}

void TestBook::exec(const QString& statement)
{
    Query query(m_context->database(), statement);
    query.exec();
    if (!m_statements.isEmpty())
        m_statements.removeLast();
}

QVariant TestBook::value(const QString& statement)
{
    Query query(m_context->database(), statement);
    query.open();
    if (!m_statements.isEmpty())
        m_statements.removeLast();
    return query.field(0);
}

QStringList TestBook::takeStatements()
{
    QStringList taken;
    taken.swap(m_statements);
    return taken;
}

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}
