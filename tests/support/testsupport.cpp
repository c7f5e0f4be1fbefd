#include "testsupport.h"

#include "store/database.h"
#include "store/query.h"
#include "store/storeerror.h"

#include <QCoreApplication>
#include <QDir>
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
    try {
        createDatabase(path());
    } catch (const StoreError& e) {
        qFatal("cannot create the test book: %s", qPrintable(e.message()));
    }
    m_context = std::make_unique<Context>(path(), m_messages, busyTimeoutMs);
    m_context->setWorkFolder(m_dir.path());
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

void TestBook::addIncomes(int count, const QString& date, const QString& amount,
                          const QString& remark)
{
    exec(QStringLiteral("insert into srb(srrq,srlb,srmc,srje,srsm,srsq) select d, '01', '工资', "
                        "a, r, substr(d, 1, 4) || substr(d, 6, 2) from (select ") +
         date + QStringLiteral(" as d, ") + amount + QStringLiteral(" as a, ") + remark +
         QStringLiteral(" as r from (with recursive c(n) as (select 1 union all select n + 1 "
                        "from c where n < ") +
         QString::number(count) + QStringLiteral(") select n from c))"));
}

QStringList TestBook::takeStatements()
{
    QStringList taken;
    taken.swap(m_statements);
    return taken;
}

AnotherProgram::AnotherProgram(const QString& bookPath)
{
    if (sqlite3_open_v2(QFile::encodeName(bookPath).constData(), &m_db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK)
        QTest::qFail(sqlite3_errmsg(m_db), __FILE__, __LINE__);
}

AnotherProgram::~AnotherProgram()
{
    sqlite3_close(m_db);
}

bool AnotherProgram::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

QStringList AnotherProgram::column(const QString& sql)
{
    QStringList values;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr);
    if (rc == SQLITE_OK)
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                        sqlite3_column_bytes(st, 0));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        QTest::qFail(
            qPrintable(sql + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db))),
            __FILE__, __LINE__);
    return values;
}

bool anotherProgramWritesAtOnce(const QString& bookPath)
{
    return AnotherProgram(bookPath).exec("insert into bmb(sz,lb,bmmc) values('Z','09','x')");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

bool oneStartingWith(const QStringList& texts, const QString& head)
{
    return texts.size() == 1 && texts.first().startsWith(head);
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

bool FullDisk::makeReadOnly()
{
    return m_mounted && ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                                MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

void FullDisk::fill(const QString& olderFile)
{
    if (!olderFile.isEmpty())
        writeFile(filePath(olderFile), older());
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

QString FullDisk::fullText()
{
    return QString::fromLocal8Bit(std::strerror(ENOSPC));
}

QStringList FullDisk::files() const
{
    return QDir(m_dir.path()).entryList(QDir::Files);
}
