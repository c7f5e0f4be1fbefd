// Chart run and report files on a large book, each beside the raw engine time
// of the same statements on the same file.
//   bench_analysis [book folder]   (default /tmp/pelmora-bench-analysis; the book is
//                                   made once and reused)
// BENCH_GAPS=1 also prints, for one run of each operation, the time from each
// statement to the next beside the statement's raw time: the window's own share.

#include "analysis/tfxtb.h"
#include "benchsupport.h"
#include "store/context.h"
#include "store/database.h"
#include "store/sqltext.h"
#include "store/textfile.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int kEntries = 1'000'000;
constexpr int kFirstYear = 2007;
constexpr int kYears = 20;
constexpr int kRuns = 7;

void makeBook(const QString& path)
{
    std::printf("making a book of %d entries per table over %d years ...\n", kEntries, kYears);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db), db, "open");
    execRaw(db, QStringLiteral("pragma journal_mode=off; pragma synchronous=off"));
    const QStringList schema = schemaStatements();
    // Tables first, indexes after the rows: building an index once is faster.
    for (const QString& s : schema) {
        if (s.startsWith(QLatin1String("create table")))
            execRaw(db, s);
    }
    execRaw(db, QStringLiteral("begin"));
    const char* incomeNames[12] = {"工资", "奖金", "津贴", "加班费", "理财收益", "利息",
                                   "租金", "兼职", "稿费", "红包",   "退税",     "其他收入"};
    const char* expenseNames[25] = {"餐饮", "住房", "水电", "燃气",    "通讯", "交通", "汽车",
                                    "服装", "日用", "家电", "医疗",    "保险", "教育", "书报",
                                    "娱乐", "旅游", "运动", "美容",    "礼金", "孝敬", "宠物",
                                    "维修", "物业", "税费", "其他支出"};
    std::mt19937_64 random(20070101);
    const QDate first(kFirstYear, 1, 1);
    const int days = static_cast<int>(first.daysTo(QDate(kFirstYear + kYears - 1, 12, 31))) + 1;
    for (int kind = 0; kind < 2; ++kind) {
        const char* x = kind == 0 ? "sr" : "zc";
        const int categories = kind == 0 ? 12 : 25;
        const QByteArray insert =
            QStringLiteral("insert into %1(%2rq,%2lb,%2mc,%2je,%2sm,%2sq) "
                           "values(?,?,?,?,?,?)")
                .arg(QLatin1String(kind == 0 ? "srb" : "zcb"), QLatin1String(x))
                .toUtf8();
        sqlite3_stmt* stmt = nullptr;
        check(sqlite3_prepare_v2(db, insert.constData(), -1, &stmt, nullptr), db, "prepare");
        for (int i = 0; i < kEntries; ++i) {
            const QDate date = first.addDays(static_cast<qint64>(random() % days));
            const int category = static_cast<int>(random() % categories);
            const QByteArray day = date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
            const QByteArray code = QByteArray::number(category + 1).rightJustified(2, '0');
            const QByteArray key = date.toString(QStringLiteral("yyyyMM")).toLatin1();
            const double amount = static_cast<double>(100 + random() % 999900) / 100.0;
            sqlite3_bind_text(stmt, 1, day.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 2, code.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(stmt, 3, kind == 0 ? incomeNames[category] : expenseNames[category],
                              -1, SQLITE_STATIC);
            sqlite3_bind_double(stmt, 4, amount);
            sqlite3_bind_text(stmt, 5, "", -1, SQLITE_STATIC);
            sqlite3_bind_text(stmt, 6, key.constData(), -1, SQLITE_TRANSIENT);
            check(sqlite3_step(stmt), db, "insert");
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
        for (int c = 0; c < categories; ++c) {
            execRaw(db, QStringLiteral("insert into bmb(sz,lb,bmmc) values('%1','%2','%3')")
                            .arg(QLatin1String(kind == 0 ? "S" : "Z"))
                            .arg(c + 1, 2, 10, QLatin1Char('0'))
                            .arg(QString::fromUtf8(kind == 0 ? incomeNames[c] : expenseNames[c])));
        }
    }
    execRaw(db, QStringLiteral("commit"));
    for (const QString& s : schema) {
        if (!s.startsWith(QLatin1String("create table")))
            execRaw(db, s);
    }
    sqlite3_close(db);
    std::printf("book made in %.1f s\n\n", timer.elapsed() / 1000.0);
}

// The raw engine: each statement prepared, stepped to its end and finalised,
// as the window's query object does. Returns milliseconds; per-statement
// times are added to `each`.
double runRaw(sqlite3* db, const QStringList& statements, std::vector<double>* each = nullptr)
{
    QElapsedTimer total;
    total.start();
    for (qsizetype i = 0; i < statements.size(); ++i) {
        QElapsedTimer one;
        one.start();
        const QByteArray sql = toSqliteDialect(statements[i]).toUtf8();
        sqlite3_stmt* stmt = nullptr;
        check(sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr), db, sql.constData());
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                (void)sqlite3_column_double(stmt, c);
        }
        check(rc, db, sql.constData());
        sqlite3_finalize(stmt);
        if (each)
            (*each)[static_cast<size_t>(i)] += one.nsecsElapsed() / 1e6;
    }
    return total.nsecsElapsed() / 1e6;
}

QStringList planOf(sqlite3* db, const QString& statement)
{
    QStringList plan;
    const QByteArray sql = "explain query plan " + toSqliteDialect(statement).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr), db, sql.constData());
    while (sqlite3_step(stmt) == SQLITE_ROW)
        plan << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
    sqlite3_finalize(stmt);
    return plan;
}

struct Case
{
    const char* name;
    std::function<void()> action;
    double targetMs;
    const char* file = nullptr; // the report file it writes
};

// Median time of writing a report file's lines again, as the window does.
double fileWriteMs(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QStringDecoder decoder("GBK");
    QStringList lines = QString(decoder(file.readAll())).split(QStringLiteral("\r\n"));
    lines.removeLast();
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        writeGbkLines(QStringLiteral("bench-scratch.txt"), lines);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    QFile::remove(QStringLiteral("bench-scratch.txt"));
    return median(times);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/pelmora-bench-analysis");
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("vandrel.mdb"));
    if (!QFileInfo::exists(path))
        makeBook(path);
    QDir::setCurrent(folder); // report files go here

    QuietMessages messages(true); // the first error ends the run
    Context context(path, messages);
    QStringList log;
    std::vector<qint64> stamps;
    QElapsedTimer clock;
    clock.start();
    context.database().setStatementLog([&](const QString& s) {
        log << s;
        stamps.push_back(clock.nsecsElapsed());
    });
    Tfxtb window(context);
    window.resize(1014, 682);
    window.show();
    QCoreApplication::processEvents();

    sqlite3* raw = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr), raw,
          "open raw");
    installExactSum(raw);

    auto* from = window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker1"));
    auto* to = window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"));
    auto* chartButton = window.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    auto chartRun = [&](QDate a, QDate b) {
        return [=] {
            from->setDate(a);
            to->setDate(b);
            chartButton->click();
        };
    };
    auto report = [&](const char* edit, const char* button, const char* period) {
        return [&window, edit, button, period] {
            window.findChild<QLineEdit*>(QLatin1String(edit))->setText(QLatin1String(period));
            window.findChild<QPushButton*>(QLatin1String(button))->click();
        };
    };
    const int last = kFirstYear + kYears - 1;
    const std::vector<Case> cases = {
        {"chart run, one month", chartRun(QDate(last, 6, 1), QDate(last, 6, 30)), 200},
        {"chart run, one year", chartRun(QDate(last, 1, 1), QDate(last, 12, 31)), 200},
        {"chart run, twenty years", chartRun(QDate(kFirstYear, 1, 1), QDate(last, 12, 31)), 500},
        {"annual report", report("Edit_bb_year", "BitBtn2", "2026"), 60,
         "2026年度收支情况报告表.txt"},
        {"monthly report", report("Edit_bb_month", "BitBtn3", "202606"), 60,
         "202606月度收支情况报告表.txt"},
    };

    std::printf("%-26s %10s %10s %7s %9s %6s\n", "operation (median of 7)", "window ms",
                "engine ms", "ratio", "target ms", "stmts");
    QString slowest;
    double slowestMs = 0;
    int uncovered = 0;
    for (const Case& c : cases) {
        log.clear();
        QElapsedTimer firstRun;
        firstRun.start();
        c.action(); // warm-up, and the statements it runs
        const double firstMs = firstRun.nsecsElapsed() / 1e6;
        const QStringList statements = log;
        if (qEnvironmentVariableIsSet("BENCH_GAPS")) {
            log.clear();
            stamps.clear();
            const qint64 start = clock.nsecsElapsed();
            c.action();
            const qint64 end = clock.nsecsElapsed();
            std::vector<double> one(static_cast<size_t>(statements.size()), 0.0);
            runRaw(raw, statements, &one);
            std::printf("before first statement: %.2f ms\n", (stamps[0] - start) / 1e6);
            for (size_t i = 0; i < stamps.size(); ++i) {
                const double gap =
                    ((i + 1 < stamps.size() ? stamps[i + 1] : end) - stamps[i]) / 1e6;
                std::printf("%7.2f %7.2f %s\n", gap, one[i],
                            qPrintable(statements[int(i)].left(90)));
            }
        }
        std::vector<double> windowMs, rawMs;
        std::vector<double> each(static_cast<size_t>(statements.size()), 0.0);
        for (int i = 0; i < kRuns; ++i) {
            QElapsedTimer t;
            t.start();
            c.action();
            windowMs.push_back(t.nsecsElapsed() / 1e6);
            rawMs.push_back(runRaw(raw, statements, &each));
        }
        const double w = median(windowMs);
        const double r = median(rawMs);
        std::printf("%-26s %10.1f %10.1f %7.3f %9.0f %6lld %s\n", c.name, w, r, w / r, c.targetMs,
                    static_cast<long long>(statements.size()),
                    w <= c.targetMs && w <= r * 1.15 ? "ok" : "MISSED");
        std::printf("  first run after another operation (new figures to draw): %.1f ms\n",
                    firstMs);
        if (c.file) {
            const double f = fileWriteMs(QString::fromUtf8(c.file));
            std::printf("  of which writing the file (temporary file, flush, rename): %.1f ms; "
                        "without it %.1f ms, ratio %.3f\n",
                        f, w - f, (w - f) / r);
        }
        for (qsizetype i = 0; i < statements.size(); ++i) {
            const double ms = each[static_cast<size_t>(i)] / kRuns;
            if (ms > slowestMs) {
                slowestMs = ms;
                slowest = statements[i];
            }
            const QString plan = planOf(raw, statements[i]).join(QLatin1String(" | "));
            // The category list reads bmb's few rows through its index.
            if (!plan.contains(QLatin1String("COVERING INDEX")) &&
                !statements[i].contains(QLatin1String("from bmb"))) {
                ++uncovered;
                std::printf("  not on a covering index: %s\n    %s\n", qPrintable(statements[i]),
                            qPrintable(plan));
            }
        }
        QCoreApplication::processEvents();
    }
    std::printf("\nstatements off a covering index: %d\n", uncovered);
    std::printf("slowest statement (%.2f ms on average): %s\n", slowestMs, qPrintable(slowest));
    for (const QString& line : planOf(raw, slowest))
        std::printf("  %s\n", qPrintable(line));
    sqlite3_close(raw);
    return 0;
}
