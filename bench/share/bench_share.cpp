// Times the book window's table export of the twenty-year listing (about
// 1,000,000 entries) as CSV beside raw C++ writing the same bytes from the
// same statement on the engine's own interface, times the XLSX export, and
// reads each export's peak memory in a fresh run of this program that does
// that export alone (--fresh csv|xlsx).
//
//   QT_QPA_PLATFORM=offscreen bench_share [folder]
//
// The book (benchsupport.h) is made once in the folder (default
// /tmp/pelmora-bench-book) and reused by later runs.

#include "benchsupport.h"
#include "book/booksql.h"
#include "book/tszgl.h"
#include "store/context.h"
#include "store/database.h"
#include "store/sqltext.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The save dialog the window opens next chooses path; chosen starts then.
void chooseInNextFileDialog(const QString& path, QElapsedTimer& chosen)
{
    QTimer::singleShot(0, qApp, [path, &chosen] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(path);
            chosen.start();
            static_cast<QDialog*>(dialog)->accept();
        }
    });
}

void appendField(std::string& out, const char* text, int size, bool guard)
{
    const std::string_view value(text, static_cast<size_t>(size));
    const bool formula = guard && !value.empty() &&
                         std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
    if (value.find_first_of("\",\r\n") == std::string_view::npos) {
        if (formula)
            out += '\'';
        out += value;
        return;
    }
    out += '"';
    if (formula)
        out += '\'';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendText(std::string& out, sqlite3_stmt* st, int column)
{
    appendField(out, reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                sqlite3_column_bytes(st, column), true);
}

// The CSV export's bytes by hand: the listing stepped, each line built in a
// buffer, written 64 KiB at a time into a new file that is synced and renamed
// into place.
void rawCsv(sqlite3* db, const QString& list, const QStringList& captions, const QString& path)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".part";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        std::exit(1);
    std::string out = "\xEF\xBB\xBF";
    out.reserve(1 << 17);
    const QByteArray header = captions.join(QLatin1Char(',')).toUtf8();
    out.append(header.constData(), static_cast<size_t>(header.size()));
    out += "\r\n";
    auto flush = [&] {
        if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size()))
            std::exit(1);
        out.clear();
    };
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = toSqliteDialect(list).toUtf8();
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db, "prepare export");
    char number[32];
    while (sqlite3_step(st) == SQLITE_ROW) {
        out.append(number, std::to_chars(number, number + 32, sqlite3_column_int64(st, 0)).ptr);
        out += ',';
        appendText(out, st, 1);
        out += ',';
        appendText(out, st, 2);
        out += ',';
        appendText(out, st, 3);
        out += ',';
        const long long cents = static_cast<long long>(
            std::nearbyintl(static_cast<long double>(sqlite3_column_double(st, 4)) * 100.0L));
        const unsigned long long magnitude =
            cents < 0 ? 0 - static_cast<unsigned long long>(cents) : cents;
        if (cents < 0)
            out += '-';
        out.append(number, std::to_chars(number, number + 32, magnitude / 100).ptr);
        out += '.';
        out += static_cast<char>('0' + magnitude % 100 / 10);
        out += static_cast<char>('0' + magnitude % 10);
        out += ',';
        appendText(out, st, 5);
        out += ',';
        appendText(out, st, 6);
        out += "\r\n";
        if (out.size() >= (1 << 16))
            flush();
    }
    sqlite3_finalize(st);
    flush();
    if (::fsync(fd) != 0 || ::close(fd) != 0 ||
        ::rename(temporary.constData(), target.constData()) != 0)
        std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const auto [folder, fresh] = benchArguments(app.arguments());
    const QString path = benchBook(folder);
    const QDir dir(folder);

    QuietMessages messages;
    Context context(path, messages);
    context.setWorkFolder(folder);
    Tszgl window(context);
    showWindow(window);
    control<QRadioButton>(window, "RadioButton_cx_sr")->click();
    searchListing(window, kFirstDay, kLastDay);
    auto* tableButton = control<QPushButton>(window, "BitBtn_table");
    // One export through the window's button and save dialog, into a new file;
    // the time from the file's choice to the end.
    auto exportAs = [&](const QString& name) {
        const QString file = dir.filePath(name);
        QFile::remove(file);
        QElapsedTimer chosen;
        chooseInNextFileDialog(file, chosen);
        tableButton->click();
        return chosen.nsecsElapsed() / 1e6;
    };

    if (!fresh.isEmpty()) {
        const QString name = QStringLiteral("bench-table.") + fresh;
        QFile::remove(dir.filePath(name));
        const double before = statusMb("VmRSS:");
        const double ms = exportAs(name);
        const QByteArray label =
            QStringLiteral("twenty-year %1 table, peak memory").arg(fresh.toUpper()).toUtf8();
        printFreshPeak(label.constData(), ms, before);
        std::printf("  %s\n", qPrintable(messages.last));
        return messages.errors == 0 ? 0 : 1;
    }

    sqlite3* raw = openRaw(path);
    execRaw(raw, QStringLiteral("pragma cache_size=-%1").arg(kPageCacheKiB));
    const QString list =
        listingSql(EntryKind::Income,
                   searchConditions(EntryKind::Income, kFirstDay, kLastDay, QString(), QString()));
    const QStringList captions = listingCaptions(EntryKind::Income);

    std::printf("\n%-44s %13s %13s %8s\n", "figure (median)", "ours", "raw C++", "ratio");
    std::vector<double> ours;
    std::vector<double> rawMs;
    const QString rawFile = dir.filePath(QStringLiteral("raw-table.csv"));
    exportAs(QStringLiteral("bench-table.csv")); // warm both sides
    rawCsv(raw, list, captions, rawFile);
    for (int i = 0; i < 5; ++i) {
        ours.push_back(exportAs(QStringLiteral("bench-table.csv")));
        rawMs.push_back(msOf([&] { rawCsv(raw, list, captions, rawFile); }));
    }
    const double a = median(ours);
    const double b = median(rawMs);
    std::printf("%-44s %10.3f ms %10.3f ms %7.2fx   target 1.3x: %s\n",
                "twenty-year CSV table (vs raw C++ lines)", a, b, a / b,
                a <= 1.3 * b ? "met" : "MISSED");
    const QByteArray csv = readAll(dir.filePath(QStringLiteral("bench-table.csv")));
    std::printf("  %lld bytes, the same as raw C++'s: %s; %s\n", static_cast<long long>(csv.size()),
                csv == readAll(rawFile) ? "yes" : "NO", qPrintable(messages.last));

    const double xlsx = exportAs(QStringLiteral("bench-table.xlsx"));
    std::printf(
        "%-44s %10.3f ms   %lld bytes; %s\n", "twenty-year XLSX table", xlsx,
        static_cast<long long>(QFileInfo(dir.filePath(QStringLiteral("bench-table.xlsx"))).size()),
        qPrintable(messages.last));
    sqlite3_close(raw);

    runFresh("csv", folder);
    runFresh("xlsx", folder);
    for (const char* name : {"bench-table.csv", "bench-table.xlsx", "raw-table.csv"})
        QFile::remove(dir.filePath(QString::fromLatin1(name)));
    std::printf("errors shown: %d\n", messages.errors);
    return messages.errors == 0 ? 0 : 1;
}
