#include "testsupport.h"

#include "store/database.h"
#include "store/query.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QWidget>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <sys/mount.h>

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

int damageLeafPage(const QString& bookPath, const QString& btree)
{
    sqlite3* db = nullptr;
    QList<int> leaves;
    int pageSize = 0;
    if (sqlite3_open_v2(bookPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = "select pageno from dbstat where name='" + btree.toUtf8() +
                               "' and pagetype='leaf' order by pageno";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                leaves << sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        if (sqlite3_prepare_v2(db, "pragma page_size", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            pageSize = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    if (leaves.isEmpty() || pageSize <= 0)
        return 0;
    const int page = leaves.at(leaves.size() / 2);
    QFile file(bookPath);
    if (!file.open(QIODevice::ReadWrite))
        return 0;
    file.seek(static_cast<qint64>(page - 1) * pageSize);
    file.write(QByteArray(pageSize, '\xA5'));
    // The file change counter (and its copy) tell other connections that their
    // cached pages are stale.
    file.seek(24);
    QByteArray counter = file.read(4);
    quint32 n = (quint8(counter[0]) << 24) | (quint8(counter[1]) << 16) |
                (quint8(counter[2]) << 8) | quint8(counter[3]);
    ++n;
    for (int i = 0; i < 4; ++i)
        counter[i] = char((n >> (24 - 8 * i)) & 0xff);
    file.seek(24);
    file.write(counter);
    file.seek(92);
    file.write(counter);
    return page;
}

FullDisk::FullDisk()
{
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                "size=256k,mode=0700") == 0)
        m_mounted = true;
    else
        m_why = QStringLiteral("cannot mount a small filesystem to fill (%1); a full disk needs "
                               "the rights to mount, as the CI's root has")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

FullDisk::~FullDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

void FullDisk::fill()
{
    QFile filler(m_dir.filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'f');
    while (filler.write(block) > 0) {
    }
    // The last partial block, byte by byte.
    while (filler.write("f", 1) > 0) {
    }
}
