#include "store/database.h"

#include "store/bookcopy.h"
#include "store/draftfile.h"
#include "store/fileconnection.h"
#include "store/progresswatch.h"
#include "store/readerror.h"
#include "store/schema.h"
#include "store/statement.h"
#include "store/storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// Exact sum: amounts are whole cents, so they are added as 128-bit cent counts.
// A value that is not a whole number of cents (never written by the program) is
// carried in a separate long double so the result stays as close as possible.
struct SumState
{
    __int128 cents;
    long double rest;
    bool any;
    bool real;
};

void sumStep(sqlite3_context* context, int, sqlite3_value** argv)
{
    auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, sizeof(SumState)));
    if (!state)
        return;
    sqlite3_value* v = argv[0];
    int type = sqlite3_value_numeric_type(v);
    if (type == SQLITE_NULL)
        return;
    state->any = true;
    if (type == SQLITE_INTEGER) {
        state->cents += static_cast<__int128>(sqlite3_value_int64(v)) * 100;
        return;
    }
    state->real = true;
    const double d = sqlite3_value_double(v);
    // A stored amount is the double nearest to a whole number of cents, so
    // rounding d * 100 recovers that number exactly while it stays below 2^52.
    const double scaled = d * 100.0;
    if (std::fabs(scaled) < 4.0e15) {
        const double whole = std::nearbyint(scaled);
        if (std::fabs(scaled - whole) <= std::max(1e-7, std::fabs(scaled) * 1e-15)) {
            state->cents += static_cast<long long>(whole);
            return;
        }
    }
    state->rest += static_cast<long double>(d);
}

void sumFinal(sqlite3_context* context)
{
    auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
    if (!state || !state->any) {
        sqlite3_result_null(context);
        return;
    }
    if (!state->real && state->rest == 0 && state->cents % 100 == 0) {
        const __int128 units = state->cents / 100;
        if (units <= INT64_MAX && units >= INT64_MIN) {
            sqlite3_result_int64(context, static_cast<sqlite3_int64>(units));
            return;
        }
    }
    // cents / 100 rounds once, to the double nearest the exact decimal sum.
    double result;
    if (state->rest == 0 && state->cents < (static_cast<__int128>(1) << 53) &&
        state->cents > -(static_cast<__int128>(1) << 53))
        result = static_cast<double>(static_cast<long long>(state->cents)) / 100.0;
    else
        result = static_cast<double>(static_cast<long double>(state->cents) / 100.0L + state->rest);
    sqlite3_result_double(context, result);
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

bool installExactSum(void* sqliteHandle)
{
    auto* db = static_cast<sqlite3*>(sqliteHandle);
    return sqlite3_create_function_v2(db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      nullptr, sumStep, sumFinal, nullptr) == SQLITE_OK;
}

Database::Database(const QString& connectionName, const QString& path, int busyTimeoutMs)
    : m_name(connectionName), m_path(path), m_busyTimeoutMs(busyTimeoutMs)
{}

Database::~Database()
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_name, false);
}

void Database::close()
{
    // The last chance while the program ends: left hot, the journal is rolled
    // back only when the book is next opened.
    settle();
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
}

sqlite3* Database::handle()
{
    ensureOpen();
    const QVariant handle = connection().driver()->handle();
    sqlite3* db = nullptr;
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        db = *static_cast<sqlite3* const*>(handle.constData());
    if (!db)
        throw StoreError(QStringLiteral("the book is not open"));
    return db;
}

void Database::ensureOpen()
{
    if (isOpen())
        return;
    const QFileInfo info(m_path);
    if (!info.exists() || !info.isFile())
        throw StoreError(QStringLiteral("%1: no such database file").arg(m_path), SQLITE_CANTOPEN);

    QSqlDatabase db = QSqlDatabase::contains(m_name)
                          ? QSqlDatabase::database(m_name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    // A URI with mode=rw opens an existing file only; a raw path with '#', '?'
    // or '%' would break the URI, hence the encoding.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       QStringLiteral("?mode=rw"));
    db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
        throw StoreError(
            storeMessage(error.nativeErrorCode().toInt(), text, m_path, FailedWhile::Opening),
            error.nativeErrorCode().toInt());
    }

    try {
        sqlite3* raw = handle();
        sqlite3_extended_result_codes(raw, 1);
        {
            // A zero-byte or foreign file opens, then fails here.
            Statement check(*this, QStringLiteral("select count(*) from sqlite_master where "
                                                  "type='table' and name in "
                                                  "('srb','zcb','bmb','login1')"));
            if (!check.step() || check.value(0).toInt() != 4)
                throw StoreError(
                    QStringLiteral("%1 is not a book database (its tables are missing)")
                        .arg(m_path),
                    SQLITE_NOTADB);
        }
        execute(QStringLiteral("pragma synchronous=FULL"));
        execute(QStringLiteral("pragma cache_size=-%1").arg(kPageCacheKiB));
        if (!installExactSum(raw))
            throw StoreError(QStringLiteral("cannot install the exact sum on %1").arg(m_path));
        if (!isReadOnly())
            ensureSchema(*this);
    } catch (...) {
        db.close();
        throw;
    }
}

void Database::noteFailure(int code)
{
    switch (code & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_NOMEM:
        m_unsettled = true;
        settle();
        break;
    default:
        // Other failures (a lock held elsewhere, a rejected statement) leave no
        // part of a write behind.
        break;
    }
}

void Database::settle() noexcept
{
    if (!m_unsettled || !isOpen())
        return;
    try {
        sqlite3* db = handle();
        // Inside a transaction the read would see the transaction's own pages:
        // its end (commit or rollback) settles instead.
        if (!sqlite3_get_autocommit(db))
            return;
        // Taking the read lock rolls a hot journal back; this fails, and the
        // mark stays, while the disk refuses the rollback.
        if (sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) ==
            SQLITE_OK)
            m_unsettled = false;
    } catch (...) {
    }
}

bool Database::isReadOnly()
{
    return sqlite3_db_readonly(handle(), "main") == 1;
}

int Database::execute(const QString& statement, const QVariantList& values,
                      const Progress& progress)
{
    Statement s(*this, statement, values);
    sqlite3* db = handle();
    watchProgress(db, progress, [&] { s.step(); });
    return sqlite3_changes(db);
}

qint64 Database::lastInsertId()
{
    return sqlite3_last_insert_rowid(handle());
}

bool Database::inTransaction()
{
    return sqlite3_get_autocommit(handle()) == 0;
}

bool Database::hasTable(const QString& name)
{
    return sqlite3_table_column_metadata(handle(), "main", name.toUtf8().constData(), nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
}

QStringList schemaStatements()
{
    QStringList statements;
    for (const char* p : {"sr", "zc"}) {
        const QString x = QString::fromLatin1(p);
        const QString table =
            x == QLatin1String("sr") ? QStringLiteral("srb") : QStringLiteral("zcb");
        statements << QStringLiteral(
                          "create table %1 (uid integer primary key autoincrement, "
                          "%2rq text, %2lb text collate nocase, %2mc text collate nocase, "
                          "%2je real, %2sm text collate nocase, %2sq text collate nocase)")
                          .arg(table, x);
        // Covering indexes for the range, category and period statements.
        statements
            << QStringLiteral("create index %1_rq_je on %1(%2rq, %2je)").arg(table, x)
            << QStringLiteral("create index %1_lb_rq_je on %1(%2lb, %2rq, %2je)").arg(table, x)
            << QStringLiteral("create index %1_sq_je on %1(%2sq, %2je)").arg(table, x)
            << QStringLiteral("create index %1_lb_sq_mc_je on %1(%2lb, %2sq, %2mc, %2je)")
                   .arg(table, x);
    }
    statements << QStringLiteral(
                      "create table bmb (sz text collate nocase, lb text collate nocase, "
                      "bmmc text collate nocase)")
               << QStringLiteral("create index bmb_sz_lb on bmb(sz, lb)")
               << QStringLiteral("create table login1 (user1 text collate nocase, pwd1 text, "
                                 "priv1 text collate nocase)")
               << QStringLiteral("create index login1_user1 on login1(user1)")
               << QStringLiteral(
                      "insert into login1(user1,pwd1,priv1) values('admin','tovek','111')");
    return statements;
}

void moveIntoPlace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    // One step that fails when the target exists, so the check cannot go stale.
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return;
    int code = errno;
    if (code == EINVAL || code == ENOSYS) {
        // File systems without that rename (network shares) still refuse a link over a name.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return;
        }
        code = errno;
    }
    if (code == EEXIST)
        throw StoreError(QStringLiteral("%1 already exists; it is not overwritten").arg(to));
    throw StoreError(QStringLiteral("cannot move %1 to %2: %3").arg(from, to, systemReason(code)));
}

QString temporaryFileBeside(const QString& path)
{
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(
        info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    // mkostemp makes the file readable by its owner only, which a book keeps: it
    // holds the passwords in plain text.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw StoreError(QStringLiteral("cannot create %1: %2")
                             .arg(QDir::toNativeSeparators(path), systemReason(errno)));
    ::close(fd);
    return QFile::decodeName(temporary);
}

void createDatabase(const QString& path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw StoreError(QStringLiteral("%1 already exists; it is not overwritten").arg(path));

    // The book is built under a temporary name beside its place and moved there
    // only when complete, so neither a failed build nor a book that appears
    // meanwhile is ever removed.
    DraftFile built(temporaryFileBeside(path));
    try {
        FileConnection db(built.path(), FileConnection::Access::NewFile);
        QString sql = QStringLiteral("pragma synchronous=FULL;begin;");
        for (const QString& s : schemaStatements())
            sql += s + QLatin1Char(';');
        sql += QStringLiteral("commit;");
        const int rc =
            sqlite3_exec(db.handle(), sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            db.fail(rc);
        db.close();
    } catch (const StoreError& e) {
        throw StoreError(QStringLiteral("cannot create %1: %2").arg(path, e.message()), e.code());
    }
    built.moveTo(path);
}

void Database::backupTo(const QString& target, const Progress& progress)
{
    sqlite3* source = handle();
    const QString shown = QDir::toNativeSeparators(target);
    const QFileInfo info(target);
    if (info.exists() || info.isSymLink()) // a dangling link is in the way as well
        throw StoreError(QStringLiteral("%1 already exists").arg(shown));

    DraftFile copy(temporaryFileBeside(target));
    {
        FileConnection db(copy.path(), FileConnection::Access::NewFile);
        try {
            copyPages(db.handle(), source, m_busyTimeoutMs, progress);
        } catch (const StoreError& e) {
            // The engine's words, told as a failure on the book.
            throw StoreError(storeMessage(e.code(), e.message(), m_path), e.code());
        }
        db.close();
    }
    copy.moveTo(target);
}
