#include "benchsupport.h"

#include "store/database.h"
#include "store/numbers.h"
#include "store/storeerror.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

void buildBook(const QString& path)
{
    QFile::remove(path);
    try {
        createDatabase(path);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        std::exit(1);
    }
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = openRaw(path);
    execRaw(db, QStringLiteral("pragma synchronous=OFF; pragma journal_mode=MEMORY; "
                               "pragma cache_size=-400000; begin"));
    const char* names[2][10] = {
        {"工资", "奖金", "利息", "租金", "稿费", "兼职", "分红", "补贴", "礼金", "其他"},
        {"餐饮", "交通", "房租", "水电", "通讯", "服装", "医疗", "教育", "娱乐", "杂项"}};
    for (int k = 0; k < 2; ++k)
        for (int c = 0; c < 10; ++c)
            execRaw(db, QStringLiteral("insert into bmb(sz,lb,bmmc) values('%1','%2','%3')")
                            .arg(k == 0 ? QStringLiteral("S") : QStringLiteral("Z"))
                            .arg(c + 1, 2, 10, QLatin1Char('0'))
                            .arg(QString::fromUtf8(names[k][c])));
    std::mt19937_64 random(20051105);
    const int days = static_cast<int>(kFirstDay.daysTo(kLastDay)) + 1;
    for (int k = 0; k < 2; ++k) {
        const char* sql =
            k == 0 ? "insert into srb(srrq,srlb,srmc,srje,srsm,srsq) values(?,?,?,?,?,?)"
                   : "insert into zcb(zcrq,zclb,zcmc,zcje,zcsm,zcsq) values(?,?,?,?,?,?)";
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, "prepare insert");
        for (int i = 0; i < kEntriesPerTable; ++i) {
            // Entries in date order, as a household records them.
            const QDate date = kFirstDay.addDays(static_cast<qint64>(i) * days / kEntriesPerTable);
            const int c = static_cast<int>(random() % 10);
            const QByteArray day = dateText(date).toUtf8();
            const QByteArray code =
                QStringLiteral("%1").arg(c + 1, 2, 10, QLatin1Char('0')).toUtf8();
            const QByteArray period = periodKey(date).toUtf8();
            const double amount = static_cast<double>(random() % 5000000) / 100.0;
            const QByteArray remark = QStringLiteral("第%1笔记录").arg(i).toUtf8();
            sqlite3_bind_text(st, 1, day.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, code.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, names[k][c], -1, SQLITE_STATIC);
            sqlite3_bind_double(st, 4, amount);
            sqlite3_bind_text(st, 5, remark.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 6, period.constData(), -1, SQLITE_TRANSIENT);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    }
    execRaw(db, QStringLiteral("commit"));
    sqlite3_close(db);
    std::printf("built the book (%d entries per table) in %.1f s\n", kEntriesPerTable,
                timer.nsecsElapsed() / 1e9);
}

bool bookReady(const QString& path)
{
    if (!QFile::exists(path))
        return false;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* st = nullptr;
    long long n = 0;
    if (sqlite3_prepare_v2(db, "select count(*) from zcb", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n >= kEntriesPerTable * 99LL / 100;
}

} // namespace

QString benchBook(const QString& folder)
{
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QString::fromLatin1(kDatabaseFileName));
    if (!bookReady(path))
        buildBook(path);
    return path;
}

void QuietMessages::error(const QString& text)
{
    std::fprintf(stderr, "error: %s\n", qPrintable(text));
    ++errors;
    if (m_stop)
        std::exit(1);
}

void check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void execRaw(sqlite3* db, const QString& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sql), message ? message : "?");
        std::exit(1);
    }
}

sqlite3* openRaw(const QString& path, int flags)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr), db, qPrintable(path));
    sqlite3_busy_timeout(db, 3000);
    return db;
}

QString columnText(sqlite3_stmt* st, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                             sqlite3_column_bytes(st, column));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double msOf(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}
