// Times the budget dialog's statements for one month and the entry line's
// statement through the program's code, beside the raw engine running the same
// statements with the same values on the same file in the same run.
//
//   QT_QPA_PLATFORM=offscreen bench_budget [folder]
//
// The book (benchsupport.h) is made once in the folder (default
// /tmp/pelmora-bench-book) and reused; the budgets this run stores are removed
// at its end.

#include "benchsupport.h"
#include "budget/budgetbook.h"
#include "budget/budgetsql.h"
#include "budget/yssz.h"
#include "store/context.h"
#include "store/database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr int kRuns = 15;
volatile long long g_sink = 0;

sqlite3* openBook(const QString& path)
{
    sqlite3* db = openRaw(path);
    installExactSum(db);
    execRaw(db, QStringLiteral("pragma synchronous=FULL"));
    return db;
}

void bind(sqlite3* db, sqlite3_stmt* st, const QStringList& values)
{
    for (int i = 0; i < values.size(); ++i) {
        const QByteArray v = values[i].toUtf8();
        check(sqlite3_bind_text(st, i + 1, v.constData(), -1, SQLITE_TRANSIENT), db, "bind");
    }
}

// One statement prepared, bound, stepped to its end and finalised.
void stepRaw(sqlite3* db, const QString& statement, const QStringList& values)
{
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, statement.toUtf8().constData(), -1, &st, nullptr), db, "prepare");
    bind(db, st, values);
    int rc;
    long long sink = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            sink += sqlite3_column_int64(st, i);
    check(rc, db, "step");
    sqlite3_finalize(st);
    g_sink = g_sink + sink;
}

struct Case
{
    const char* name;
    std::function<void()> program;
    std::function<void()> raw;
    double targetMs;
    bool ratio; // held to 1.2 times the raw engine
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = benchBook(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                            : QString::fromLatin1(kBenchBookFolder));

    QuietMessages messages(true);
    Context context(path, messages);
    Database& db = context.database();
    db.ensureOpen(); // the book gains the budget table here
    sqlite3* raw = openBook(path);

    const QString month = QStringLiteral("202506");
    const QString before = QStringLiteral("202505");
    QList<BudgetRow> rows = readBudgetMonth(db, month);
    for (BudgetRow& row : rows)
        row.budget = row.actual + 12345;
    storeBudgetMonth(db, before, rows);
    const QString code = rows.value(0).code;

    const std::vector<Case> cases = {
        {"dialog: the month's grid", [&] { readBudgetMonth(db, month); },
         [&] {
             stepRaw(raw, budgetsql::monthRowsSql(), {month, month});
         },
         30, true},
        {"dialog: copy the month before", [&] { readMonthBudgets(db, before); },
         [&] { stepRaw(raw, budgetsql::monthBudgetsSql(), {before}); }, 30, true},
        {"dialog: 12-month average", [&] { readAverageBudgets(db, month); },
         [&] {
             stepRaw(raw, budgetsql::spendingSql(), {QStringLiteral("202406"), before});
         },
         30, true},
        {"dialog: save (one transaction)", [&] { storeBudgetMonth(db, month, rows); },
         [&] {
             execRaw(raw, QStringLiteral("begin immediate"));
             for (const BudgetRow& row : rows) {
                 sqlite3_stmt* st = nullptr;
                 check(sqlite3_prepare_v2(raw, budgetsql::storeBudgetSql().toUtf8().constData(), -1,
                                          &st, nullptr),
                       raw, "prepare");
                 bind(raw, st, {row.code, month});
                 sqlite3_bind_int64(st, 3, *row.budget);
                 check(sqlite3_step(st), raw, "store");
                 sqlite3_finalize(st);
             }
             execRaw(raw, QStringLiteral("commit"));
         },
         30, true},
        {"entry line", [&] { entryBudgetLine(db, code, month); },
         [&] {
             stepRaw(raw, budgetsql::entryBudgetSql(), {code, month, month, code});
         },
         2, false},
    };

    std::printf("%-32s %10s %10s %7s %9s\n", "operation (median of 15)", "program ms", "engine ms",
                "ratio", "target");
    bool allMet = true;
    for (const Case& c : cases) {
        c.program(); // warm-up
        c.raw();
        std::vector<double> program, engine;
        for (int i = 0; i < kRuns; ++i) {
            program.push_back(msOf(c.program));
            engine.push_back(msOf(c.raw));
        }
        const double p = median(program);
        const double r = median(engine);
        const bool met = p <= c.targetMs && (!c.ratio || p <= r * 1.2);
        allMet = allMet && met;
        std::printf("%-32s %10.3f %10.3f %7.3f %6.0f ms%s %s\n", c.name, p, r, p / r, c.targetMs,
                    c.ratio ? ", 1.2x" : "", met ? "ok" : "MISSED");
    }

    // The whole dialog as it opens: the month read and the chart drawn.
    std::vector<double> opening;
    for (int i = 0; i < 5; ++i)
        opening.push_back(msOf([&] { Tyssz dialog(context); }));
    std::printf("\nthe dialog opened (grid and chart): %.1f ms\n", median(opening));

    // The book as it was, but for the (empty) budget table.
    db.execute(QStringLiteral("delete from yss where yf in (?,?)"), {month, before});
    sqlite3_close(raw);
    return allMet ? 0 : 1;
}
