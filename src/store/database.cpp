#include "store/database.h"

#include "store/storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
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

QSqlError lastError(const QSqlDatabase& db, const QSqlQuery& query)
{
    return query.lastError().isValid() ? query.lastError() : db.lastError();
}

QString errorText(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

} // namespace

bool installExactSum(void* sqliteHandle)
{
    auto* db = static_cast<sqlite3*>(sqliteHandle);
    return sqlite3_create_function_v2(db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      nullptr, sumStep, sumFinal, nullptr) == SQLITE_OK;
}

Database::Database(const QString& connectionName, const QString& path)
    : m_name(connectionName), m_path(path)
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
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
}

void Database::ensureOpen()
{
    if (isOpen())
        return;
    const QFileInfo info(m_path);
    if (!info.exists() || !info.isFile())
        throw StoreError(QStringLiteral("%1: no such database file").arg(m_path));

    QSqlDatabase db = QSqlDatabase::contains(m_name)
                          ? QSqlDatabase::database(m_name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    // A URI with mode=rw opens an existing file only; a raw path with '#', '?'
    // or '%' would break the URI, hence the encoding.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       QStringLiteral("?mode=rw"));
    db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open())
        throw StoreError(errorText(db.lastError()));

    auto fail = [&db](const QString& message) {
        db.close();
        throw StoreError(message);
    };

    {
        QSqlQuery check(db);
        // A zero-byte or foreign file opens, then fails here.
        if (!check.exec(QStringLiteral("select count(*) from sqlite_master where type='table' and "
                                       "name in ('srb','zcb','bmb','login1')")))
            fail(errorText(lastError(db, check)));
        if (!check.next() || check.value(0).toInt() != 4)
            fail(QStringLiteral("%1 is not a book database (its tables are missing)").arg(m_path));
        check.finish();
        check.exec(QStringLiteral("pragma synchronous=FULL"));
    }
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 ||
        !installExactSum(*static_cast<sqlite3* const*>(handle.data())))
        fail(QStringLiteral("cannot install the exact sum on %1").arg(m_path));
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

bool moveIntoPlace(const QString& from, const QString& to, QString* error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    // One step that fails when the target exists, so the check cannot go stale.
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    int code = errno;
    if (code == EINVAL || code == ENOSYS) {
        // File systems without that rename (network shares) still refuse a link over a name.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return true;
        }
        code = errno;
    }
    if (error)
        *error = code == EEXIST ? QStringLiteral("%1 already exists; it is not overwritten").arg(to)
                                : QStringLiteral("cannot move %1 to %2: %3")
                                      .arg(from, to, QString::fromLocal8Bit(std::strerror(code)));
    return false;
}

bool createDatabase(const QString& path, QString* error)
{
    auto setError = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return setError(QStringLiteral("%1 already exists; it is not overwritten").arg(path));

    // The book is built under a temporary name beside its place and moved there
    // only when complete, so neither a failed build nor a book that appears
    // meanwhile is ever removed. mkostemp makes the file readable by its owner
    // only, which the book keeps: it holds the passwords in plain text.
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(
        info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return setError(QStringLiteral("cannot create %1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    const QString built = QFile::decodeName(temporary);
    auto discard = [&built] {
        QFile::remove(built);
        QFile::remove(built + QStringLiteral("-journal"));
    };

    sqlite3* db = nullptr;
    if (sqlite3_open_v2(temporary.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        discard();
        return setError(QStringLiteral("cannot create %1: %2").arg(path, message));
    }
    QString sql = QStringLiteral("pragma synchronous=FULL;begin;");
    for (const QString& s : schemaStatements())
        sql += s + QLatin1Char(';');
    sql += QStringLiteral("commit;");
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    QString text = message ? QString::fromUtf8(message) : QString();
    sqlite3_free(message);
    const int closed = sqlite3_close(db);
    if (rc != SQLITE_OK || closed != SQLITE_OK) {
        discard();
        return setError(QStringLiteral("cannot create %1: %2").arg(path, text));
    }
    QString moveError;
    if (!moveIntoPlace(built, path, &moveError)) {
        discard();
        return setError(moveError);
    }
    return true;
}

void Database::backupTo(const QString& target)
{
    ensureOpen();
    const QVariant handle = connection().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 ||
        !*static_cast<sqlite3* const*>(handle.data()))
        throw StoreError(QStringLiteral("the book is not open"));
    sqlite3* source = *static_cast<sqlite3* const*>(handle.data());

    const QString shown = QDir::toNativeSeparators(target);
    const QFileInfo info(target);
    if (info.exists() || info.isSymLink()) // a dangling link is in the way as well
        throw StoreError(QStringLiteral("%1 already exists").arg(shown));
    // Created here, exclusively and for the owner only: the copy holds every
    // password, and the engine would create it readable by everyone.
    {
        QFile file(target);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw StoreError(QStringLiteral("%1: %2").arg(shown, file.errorString()));
    }

    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(target.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE, nullptr);
    QString reason;
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (!backup) {
            reason = QString::fromUtf8(sqlite3_errmsg(copy));
        } else {
            // One step copies every page under one read lock of the book.
            rc = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE)
                reason = QString::fromUtf8(sqlite3_errstr(rc));
            else if (finished != SQLITE_OK)
                reason = QString::fromUtf8(sqlite3_errmsg(copy));
        }
    } else {
        reason =
            copy ? QString::fromUtf8(sqlite3_errmsg(copy)) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    if (sqlite3_close(copy) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("the copy could not be closed");
    if (!reason.isEmpty()) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw StoreError(reason);
    }
}
