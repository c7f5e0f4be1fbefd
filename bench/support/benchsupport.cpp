#include "benchsupport.h"

#include "store/database.h"
#include "store/numbers.h"
#include "store/storeerror.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

// Raised whenever the book's content changes, so that an older book is rebuilt.
constexpr int kBookFormat = 2;

// A household's remarks: one everyday word each, and every second one an
// occasion as well, all drawn evenly. No word holds another, so each two-character
// word is in one remark of twenty and each four-character one in one of twenty.
const char* const kEverydayWords[] = {"早餐", "午餐", "晚餐", "超市", "地铁", "公交", "房租",
                                      "水费", "电费", "燃气", "话费", "网费", "药店", "菜场",
                                      "水果", "加油", "停车", "书店", "理发", "快递"};
const char* const kOccasionWords[] = {"周末聚餐", "生日礼物", "孩子学费", "家电维修", "年度体检",
                                      "朋友婚礼", "物业管理", "车辆保险", "健身会员", "旅行门票"};

QByteArray remarkOf(std::mt19937_64& random)
{
    QByteArray remark = kEverydayWords[random() % std::size(kEverydayWords)];
    if (random() % 2 == 0) {
        remark += "，";
        remark += kOccasionWords[random() % std::size(kOccasionWords)];
    }
    return remark;
}

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
            const QByteArray remark = remarkOf(random);
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
    execRaw(db, QStringLiteral("pragma user_version=%1; commit").arg(kBookFormat));
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
    auto number = [db](const char* sql) {
        sqlite3_stmt* st = nullptr;
        long long n = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return n;
    };
    // A book of an older format (its remarks "第…笔记录") is made again.
    const bool ready = number("pragma user_version") == kBookFormat &&
                       number("select count(*) from zcb") >= kEntriesPerTable * 99LL / 100;
    sqlite3_close(db);
    if (!ready)
        std::printf("the book in %s is of an older format or incomplete: making it again\n",
                    qPrintable(path));
    return ready;
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

double statusMb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

BenchArguments benchArguments(const QStringList& arguments)
{
    QStringList args = arguments.mid(1);
    BenchArguments parsed;
    if (const qsizetype at = args.indexOf(QStringLiteral("--fresh")); at >= 0) {
        parsed.fresh = args.value(at + 1);
        args.remove(at, 2);
    }
    parsed.folder = args.isEmpty() ? QString::fromLatin1(kBenchBookFolder) : args.first();
    return parsed;
}

void runFresh(const char* step, const QString& folder)
{
    std::fflush(stdout);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {folder, QStringLiteral("--fresh"), QString::fromLatin1(step)});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        std::printf("%s: the fresh run failed\n", step);
}

void printFreshPeak(const char* figure, double ms, double rssBeforeMb)
{
    std::printf("%-44s %10.3f ms   fresh process: rss before %.0f MB, peak %.0f MB   "
                "target 150 MB: %s\n",
                figure, ms, rssBeforeMb, statusMb("VmHWM:"),
                statusMb("VmHWM:") <= 150 ? "met" : "MISSED");
}

void showWindow(QWidget& window)
{
    window.resize(1014, 682);
    window.show();
    QCoreApplication::processEvents();
}

void searchListing(QWidget& window, const QDate& from, const QDate& to)
{
    control<QDateEdit>(window, "DateTimePicker_cx1")->setDate(from);
    control<QDateEdit>(window, "DateTimePicker_cx2")->setDate(to);
    control<QPushButton>(window, "BitBtn_cx")->click();
    QCoreApplication::processEvents();
}
