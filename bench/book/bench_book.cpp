// Times the book's statements through the window and its query objects beside
// the raw engine time of the same statements on the same file (SQLite C API,
// no Qt), so that the ratio holds on a noisy machine. The export of the
// twenty-year listing is also set beside Python's sqlite3 module doing it (python3
// must be on the path). Each memory figure is read from /proc/self/status by a
// fresh run of this program that does that step alone (--fresh step), so that
// the figure is the step's own and not what earlier figures left behind.
//
//   QT_QPA_PLATFORM=offscreen bench_book [folder]
//
// The book (benchsupport.h) is made once in the folder (default
// /tmp/pelmora-bench-book) and reused by later runs.

#include "benchsupport.h"
#include "book/bookexport.h"
#include "book/booksql.h"
#include "book/tszgl.h"
#include "store/context.h"
#include "store/database.h"
#include "store/listingmodel.h"
#include "store/query.h"
#include "store/sqltext.h"
#include "store/textfile.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

volatile long long g_sink = 0;

// The book's own connection settings on a raw connection: the exact sum, durable
// writes, the page cache.
sqlite3* openBook(const QString& path)
{
    sqlite3* db = openRaw(path);
    installExactSum(db);
    execRaw(db,
            QStringLiteral("pragma synchronous=FULL; pragma cache_size=-%1").arg(kPageCacheKiB));
    return db;
}

// Steps a statement in the program's dialect; reads every column of at most
// maxRows rows. Returns the rows read.
long long stepRaw(sqlite3* db, const QString& statement, long long maxRows = -1)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = toSqliteDialect(statement).toUtf8();
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db, "prepare");
    long long rows = 0;
    int rc;
    long long sink = 0;
    while ((maxRows < 0 || rows < maxRows) && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        const int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_INTEGER:
                sink += sqlite3_column_int64(st, i);
                break;
            case SQLITE_FLOAT:
                sink += static_cast<long long>(sqlite3_column_double(st, i));
                break;
            case SQLITE_TEXT:
                sink += sqlite3_column_bytes(st, i);
                sink += sqlite3_column_text(st, i)[0];
                break;
            default:
                break;
            }
        }
        ++rows;
    }
    sqlite3_finalize(st);
    g_sink = g_sink + sink;
    return rows;
}

// A search's statements on the raw engine: its totals and the grid's first page.
void rawSearch(sqlite3* db, const QString& totals, const QString& list)
{
    stepRaw(db, totals);
    stepRaw(db, list, 256);
}

// PELMORA_BENCH_ONLY=text limits the run to the figures whose names contain it.
bool wanted(const char* what)
{
    const QByteArray only = qgetenv("PELMORA_BENCH_ONLY");
    return only.isEmpty() || QByteArray(what).contains(only);
}

// Runs both sides in turn, so that they share the machine's noise.
// prepareOurs and prepareRaw run untimed before each timed call of their side.
// Returns the medians of ours and of the raw side.
std::pair<double, double> measure(const char* what, int runs, const std::function<void()>& ours,
                                  const std::function<void()>& raw, double target = 0,
                                  const std::function<void()>& prepareOurs = {},
                                  const std::function<void()>& prepareRaw = {})
{
    if (!wanted(what))
        return {};
    std::vector<double> a;
    std::vector<double> b;
    auto runOurs = [&] {
        if (prepareOurs)
            prepareOurs();
        return msOf(ours);
    };
    auto runRaw = [&] {
        if (prepareRaw)
            prepareRaw();
        return msOf(raw);
    };
    runOurs();
    runRaw(); // warm the cache on both sides
    for (int i = 0; i < runs; ++i) {
        a.push_back(runOurs());
        b.push_back(runRaw());
    }
    const double ma = median(a);
    const double mb = median(b);
    std::printf("%-44s %10.3f ms %10.3f ms %7.2fx", what, ma, mb, mb > 0 ? ma / mb : 0.0);
    if (target > 0)
        std::printf("   target %g ms: %s", target, ma <= target ? "met" : "MISSED");
    std::printf("\n");
    std::fflush(stdout);
    return {ma, mb};
}

void explain(sqlite3* db, const QString& statement)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = ("explain query plan " + toSqliteDialect(statement)).toUtf8();
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db, "explain");
    QStringList steps;
    while (sqlite3_step(st) == SQLITE_ROW)
        steps << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
    sqlite3_finalize(st);
    std::printf("  plan  %s\n        -> %s\n", qPrintable(statement),
                qPrintable(steps.join(QStringLiteral(" | "))));
}

// The processor time this process spent on f, in milliseconds.
double cpuMsOf(const std::function<void()>& f)
{
    timespec a{};
    timespec b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    f();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    return (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6;
}

// The machine's load over the last minute, as /proc/loadavg gives it.
QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().split(' ').value(0))
                                       : QStringLiteral("?");
}

// Python's sqlite3 module writing the same lines to the same kind of file
// (GBK, CR LF, replaced only when complete). Prints "milliseconds peakKB".
const char kPythonExport[] = R"(import os, sqlite3, sys, time
path, sql, out = sys.argv[1], sys.argv[2], sys.argv[3]
def num(v):
    s = '%.15g' % v
    if 'e' in s:
        m, e = s.split('e')
        s = m + 'E' + str(int(e))
    return s
t = time.perf_counter()
db = sqlite3.connect(path)
tmp = out + '.part'
n = 0
with open(tmp, 'w', encoding='gbk', errors='replace', newline='') as f:
    f.write(out + '\r\n\r\n--编号--日  期--类别--类别名称--金  额--备    注----------\r\n')
    for uid, rq, lb, mc, je, sm, sq in db.execute(sql):
        sm = sm.replace('\r\n', ' ').replace('\r', ' ').replace('\n', ' ')
        f.write('--%d--%s--%s--%s--%s--%s\r\n' % (uid, rq, lb, mc, num(je), sm))
        n += 1
    f.write('\r\n' + '*' * 44 + '\r\n导出日期：' + time.strftime('%Y-%m-%d %H:%M:%S') +
            '\r\n日期范围：2006-01-01--2025-12-31\r\n记录合计：%d条     合计 1 元  \r\n' % n +
            '*' * 44 + '\r\n')
    f.flush()
    os.fsync(f.fileno())
os.replace(tmp, out)
ms = (time.perf_counter() - t) * 1000
peak = [l.split()[1] for l in open('/proc/self/status') if l.startswith('VmHWM:')][0]
print('%.1f %s' % (ms, peak))
)";

// The export's work on the engine's own interface: the listing stepped, the same
// lines built and written as they come to the same kind of file.
void rawExport(sqlite3* db, const QString& list, const QDate& from, const QDate& to)
{
    const QString name = QStringLiteral("raw-export.txt");
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = toSqliteDialect(list).toUtf8();
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db, "prepare export");
    GbkTextFile file(name);
    for (const QString& line : exportHeadLines(name))
        file.writeLine(line);
    qint64 written = 0;
    for (; sqlite3_step(st) == SQLITE_ROW; ++written)
        file.writeLine(exportEntryLine(
            ExportEntry{sqlite3_column_int64(st, 0), columnText(st, 1), columnText(st, 2),
                        columnText(st, 3), sqlite3_column_double(st, 4), columnText(st, 5)}));
    sqlite3_finalize(st);
    for (const QString& line : exportFootLines(written, QDateTime::currentDateTime(), from, to,
                                               QStringLiteral("合计 1 元  ")))
        file.writeLine(line);
    file.commit();
}

struct Range
{
    const char* name;
    QDate from;
    QDate to;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // --fresh step: that step alone, in this fresh process.
    const auto [folder, fresh] = benchArguments(app.arguments());
    const QString path = benchBook(folder);
    QDir::setCurrent(folder);

    QuietMessages messages;
    Context context(path, messages);
    sqlite3* raw = openBook(path);
    Tszgl window(context);
    showWindow(window);

    auto* cx1 = control<QDateEdit>(window, "DateTimePicker_cx1");
    auto* cx2 = control<QDateEdit>(window, "DateTimePicker_cx2");
    auto* searchButton = control<QPushButton>(window, "BitBtn_cx");
    auto* deleteButton = control<QPushButton>(window, "BitBtn_del");
    auto* exportButton = control<QPushButton>(window, "BitBtn_cx_txt");
    control<QRadioButton>(window, "RadioButton_cx_sr")->click();
    Query listing(context.database());

    // The memory figures, each in a fresh run of its own (runFresh).
    if (fresh == QLatin1String("export-peak")) {
        searchListing(window, kFirstDay, kLastDay);
        resetPeak();
        const double before = statusMb("VmRSS:");
        const double ms = msOf([&] { exportButton->click(); });
        printFreshPeak("twenty-year export, peak memory", ms, before);
        return messages.errors == 0 ? 0 : 1;
    }
    if (fresh == QLatin1String("scroll")) {
        // Scrolling the twenty-year listing to its last row, as a user holding the
        // scroll bar at the bottom would, then the program's memory.
        searchListing(window, kFirstDay, kLastDay);
        auto* grid = control<QTableView>(window, "DBGrid1");
        QAbstractItemModel* model = grid->model();
        QElapsedTimer t;
        t.start();
        int steps = 0;
        do {
            grid->scrollToBottom();
            QCoreApplication::processEvents();
            ++steps;
        } while (model->canFetchMore(QModelIndex()));
        grid->setCurrentIndex(model->index(model->rowCount() - 1, 0));
        QCoreApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        std::printf("%-44s %10.3f ms   %d rows, %d steps, rss %.0f MB   target 200 MB: %s\n",
                    "scroll a twenty-year listing to its end", ms, model->rowCount(), steps,
                    statusMb("VmRSS:"), statusMb("VmRSS:") <= 200 ? "met" : "MISSED");
        // Then to 100 places spread over it, more than the grid keeps at once.
        std::vector<double> visits;
        for (int i = 0; i < 100; ++i) {
            const int row = static_cast<int>((i * 7919LL) % 100 * model->rowCount() / 100);
            visits.push_back(msOf([&] {
                grid->scrollTo(model->index(row, 0));
                grid->viewport()->repaint();
            }));
        }
        std::printf("%-44s %10.3f ms   median of 100, slowest %.1f ms, rss %.0f MB\n",
                    "  then a place anywhere in it", median(visits),
                    *std::max_element(visits.begin(), visits.end()), statusMb("VmRSS:"));
        std::fflush(stdout);
        return messages.errors == 0 ? 0 : 1;
    }
    if (!fresh.isEmpty()) {
        std::fprintf(stderr, "no step %s\n", qPrintable(fresh));
        return 2;
    }

    const Range ranges[] = {{"one month", QDate(2025, 6, 1), QDate(2025, 6, 30)},
                            {"one year", QDate(2024, 1, 1), QDate(2024, 12, 31)},
                            {"twenty years", kFirstDay, kLastDay}};

    // A search through the window, the grid painted.
    auto searchInWindow = [&] {
        searchButton->click();
        QCoreApplication::processEvents();
    };

    std::printf("\n%-44s %13s %13s %8s\n", "figure (median)", "ours", "raw engine", "ratio");
    for (const Range& r : ranges) {
        const QString conditions =
            searchConditions(EntryKind::Income, r.from, r.to, QString(), QString());
        const QString totals = totalsSql(EntryKind::Income, conditions);
        const QString list = listingSql(EntryKind::Income, conditions);
        const int runs = r.from == kFirstDay ? 7 : 21;
        const long long rangeRows = stepRaw(raw, list);
        const QByteArray label = QByteArray("search totals, ") + r.name;
        measure(
            label.constData(), runs,
            [&] {
                listing.setText(totals);
                listing.open();
                g_sink = g_sink + listing.field(0).toLongLong() +
                         static_cast<long long>(listing.field(1).toDouble());
            },
            [&] { stepRaw(raw, totals); },
            r.from == kFirstDay ? 100 : (r.to.year() == 2024 ? 10 : 0));
        const QByteArray label2 = QByteArray("listing first screen, ") + r.name;
        measure(
            label2.constData(), runs,
            [&] {
                // As the search opens it, with the count its totals found.
                listing.setText(list);
                listing.openForGrid(rangeRows);
                // The first page of the grid: 256 rows, every column.
                QAbstractItemModel* m = listing.model();
                long long sink = 0;
                for (int row = 0; row < std::min(m->rowCount(), 256); ++row)
                    for (int c = 0; c < 7; ++c)
                        sink += m->index(row, c).data().isValid();
                g_sink = g_sink + sink;
            },
            [&] { stepRaw(raw, list, 256); }, 20);
        const QByteArray label3 = QByteArray("search in the window, ") + r.name;
        cx1->setDate(r.from);
        cx2->setDate(r.to);
        measure(label3.constData(), runs, searchInWindow, [&] { rawSearch(raw, totals, list); });
    }

    // The remark search over twenty years, a two- and a four-character word, each
    // in one remark of twenty: through the window (count and sum, the grid's
    // first page) against the raw engine's same statements.
    if (wanted("remark search")) {
        auto* remarkBox = control<QLineEdit>(window, "Edit_cx_sm");
        cx1->setDate(kFirstDay);
        cx2->setDate(kLastDay);
        for (const char* word : {kRemarkWord2, kRemarkWord4}) {
            const QString text = QString::fromUtf8(word);
            const QString conditions = searchConditions(EntryKind::Income, kFirstDay, kLastDay,
                                                        QString(), QString(), text);
            const QString totals = totalsSql(EntryKind::Income, conditions);
            const QString list = listingSql(EntryKind::Income, conditions);
            remarkBox->setText(text);
            const QByteArray label = QStringLiteral("remark search, twenty years, %1 characters")
                                         .arg(text.size())
                                         .toUtf8();
            measure(
                label.constData(), 7, searchInWindow, [&] { rawSearch(raw, totals, list); }, 150);
            // The work itself, whatever else the machine runs meanwhile.
            std::vector<double> cpu;
            for (int i = 0; i < 7; ++i)
                cpu.push_back(cpuMsOf(searchInWindow));
            const long long found = stepRaw(raw, list);
            std::printf("  %s: %lld entries, %.1f%% (drawn for %.0f%%); processor time %.1f ms, "
                        "load average %s\n",
                        word, found, 100.0 * found / kEntriesPerTable, 100 * kRemarkWordShare,
                        median(cpu), qPrintable(loadAverage()));
        }
        remarkBox->clear();
    }

    // Deletion and edit, each with its search (one month). The window deletes the
    // newest listed entry, or loads it with "修改", changes its amount and saves,
    // which runs the search again; the raw side runs the same statement on the
    // oldest entry of the month (deletion) or on the same entry (edit), then the
    // search's statements. Before each raw run the window's listing is closed,
    // since its pending read would hold another connection's writer off.
    {
        const QDate from(2025, 6, 1);
        const QDate to(2025, 6, 30);
        const QString conditions =
            searchConditions(EntryKind::Income, from, to, QString(), QString());
        const QString totals = totalsSql(EntryKind::Income, conditions);
        const QString list = listingSql(EntryKind::Income, conditions);
        auto searchMonth = [&] {
            cx1->setDate(from);
            cx2->setDate(to);
            searchButton->click();
        };
        QString rawStatement;
        auto rawSide = [&] {
            stepRaw(raw, rawStatement);
            rawSearch(raw, totals, list);
        };
        // The raw side's next statement, made from the first row of a query.
        auto prepareRaw = [&](const QString& query, auto statementFor) {
            return [&, query, statementFor] {
                listing.close();
                sqlite3_stmt* st = nullptr;
                const QByteArray sql = toSqliteDialect(query).toUtf8();
                check(sqlite3_prepare_v2(raw, sql.constData(), -1, &st, nullptr), raw, "prepare");
                check(sqlite3_step(st), raw, "step");
                rawStatement = statementFor(st);
                sqlite3_finalize(st);
            };
        };
        measure(
            "deletion with its search, one month", 9,
            [&] {
                deleteButton->click();
                QCoreApplication::processEvents();
            },
            rawSide, 0, searchMonth,
            prepareRaw(QStringLiteral("select uid from srb where srrq between #2025-06-01# and "
                                      "#2025-06-30# order by srrq limit 1"),
                       [](sqlite3_stmt* st) {
                           return deleteEntrySql(EntryKind::Income, sqlite3_column_int64(st, 0));
                       }));
        auto* editButton = control<QPushButton>(window, "BitBtn_update");
        auto* amount = control<QLineEdit>(window, "Edit_lr_je");
        auto* save = control<QPushButton>(window, "BitBtn_save");
        int turn = 0;
        measure(
            "edit with its search, one month", 9,
            [&] {
                editButton->click();
                amount->setText(QString::number(100 + ++turn));
                save->click();
                QCoreApplication::processEvents();
            },
            rawSide, 0, searchMonth,
            prepareRaw(list + QStringLiteral(" limit 1"), [&turn](sqlite3_stmt* st) {
                return updateEntrySql(EntryKind::Income, sqlite3_column_int64(st, 0),
                                      QDate::fromString(columnText(st, 1), Qt::ISODate),
                                      columnText(st, 2), columnText(st, 3),
                                      QString::number(100 + ++turn), columnText(st, 5));
            }));
        if (wanted("edit"))
            std::printf("last message: %s\n", qPrintable(messages.last));
    }

    // Save: one INSERT through the window, durable (synchronous=FULL) on both sides.
    {
        auto* entryList = control<QComboBox>(window, "ComboBox_lr_lb");
        auto* amount = control<QLineEdit>(window, "Edit_lr_je");
        auto* remark = control<QLineEdit>(window, "Memo_lr_sm");
        auto* save = control<QPushButton>(window, "BitBtn_save");
        listing.close(); // a pending read would hold the raw writer off
        const QString insert = insertEntrySql(EntryKind::Income, QDate::currentDate(),
                                              QStringLiteral("01"), QStringLiteral("工资"),
                                              QStringLiteral("3500.5"), QStringLiteral("基准"));
        measure(
            "save", 15,
            [&] {
                entryList->setCurrentIndex(0);
                amount->setText(QStringLiteral("3500.5"));
                remark->setText(QStringLiteral("基准"));
                save->click();
            },
            [&] { stepRaw(raw, insert); }, 20);
    }

    // Export of a listing of about 100,000 entries (two years). The raw side steps
    // the listing statement; a second figure adds the same lines and file writing
    // to it, to show what the query object's model costs.
    auto exportClick = [&] {
        exportButton->click();
    };
    auto search = [&] {
        searchButton->click();
    };
    if (wanted("export")) {
        const QDate from(2022, 1, 1);
        const QDate to(2023, 12, 31);
        cx1->setDate(from);
        cx2->setDate(to);
        const QString list = listingSql(
            EntryKind::Income, searchConditions(EntryKind::Income, from, to, QString(), QString()));
        std::printf("export listing: %lld entries\n", stepRaw(raw, list));
        measure(
            "export, 100,000 entries (vs statement)", 5, exportClick, [&] { stepRaw(raw, list); },
            0, search);
        measure(
            "export, 100,000 entries (vs raw + lines)", 5, exportClick,
            [&] { rawExport(raw, list, from, to); }, 0, search);
        std::printf("last message: %s\n", qPrintable(messages.last));
    }

    // The export of the twenty-year listing (about 1,000,000 entries): the window
    // against the raw engine writing the same lines to the same GBK file, and
    // against Python's sqlite3 module; then the program's peak memory during it.
    if (wanted("twenty-year export")) {
        cx1->setDate(kFirstDay);
        cx2->setDate(kLastDay);
        const QString list =
            listingSql(EntryKind::Income, searchConditions(EntryKind::Income, kFirstDay, kLastDay,
                                                           QString(), QString()));
        const auto [ours, rawMs] = measure(
            "twenty-year export (vs raw + lines)", 5, exportClick,
            [&] { rawExport(raw, list, kFirstDay, kLastDay); }, 0, search);
        std::printf("last message: %s\n", qPrintable(messages.last));

        const QString script = QDir(folder).filePath(QStringLiteral("bench_export.py"));
        QFile py(script);
        if (py.open(QIODevice::WriteOnly))
            py.write(kPythonExport);
        py.close();
        std::vector<double> pythonMs;
        double pythonPeak = 0;
        for (int i = 0; i < 3; ++i) {
            QProcess p;
            p.start(QStringLiteral("python3"),
                    {script, path, toSqliteDialect(list), QStringLiteral("python-export.txt")});
            p.waitForFinished(-1);
            const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
            if (out.size() == 2) {
                pythonMs.push_back(out[0].toDouble());
                pythonPeak = out[1].toDouble() / 1024.0;
            }
        }
        std::printf("%-44s %10.3f ms   python3's sqlite3, same lines, peak %.0f MB; ours %.2fx of "
                    "it\n",
                    "twenty-year export, Python", median(pythonMs), pythonPeak,
                    median(pythonMs) > 0 ? ours / median(pythonMs) : 0.0);
        std::printf("  target: within 1.3x of the raw engine and faster than Python: %s\n",
                    ours <= 1.3 * rawMs && ours < median(pythonMs) ? "met" : "MISSED");

        runFresh("export-peak", folder);
    }

    if (wanted("scroll"))
        runFresh("scroll", folder);

    std::printf("\nquery plans\n");
    const QString month = searchConditions(EntryKind::Income, QDate(2025, 6, 1), QDate(2025, 6, 30),
                                           QString(), QString());
    const QString narrow =
        searchConditions(EntryKind::Income, QDate(2025, 6, 1), QDate(2025, 6, 30),
                         QStringLiteral("01"), QStringLiteral("3500"));
    const QString amountOnly =
        searchConditions(EntryKind::Expense, QDate(2025, 6, 1), QDate(2025, 6, 30), QString(),
                         QStringLiteral("12.5"));
    const QString remark = searchConditions(EntryKind::Income, kFirstDay, kLastDay, QString(),
                                            QString(), QString::fromUtf8(kRemarkWord2));
    for (const QString& s :
         {totalsSql(EntryKind::Income, month), listingSql(EntryKind::Income, month),
          totalsSql(EntryKind::Income, remark), listingSql(EntryKind::Income, remark),
          totalsSql(EntryKind::Income, narrow), listingSql(EntryKind::Income, narrow),
          totalsSql(EntryKind::Expense, amountOnly), listingSql(EntryKind::Expense, amountOnly),
          deleteEntrySql(EntryKind::Income, 5), categoryListSql(EntryKind::Income)})
        explain(raw, s);

    listing.close();
    sqlite3_close(raw);
    std::printf("errors shown: %d\n", messages.errors);
    return messages.errors == 0 ? 0 : 1;
}
