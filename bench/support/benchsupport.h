#pragma once

#include "store/messages.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <sqlite3.h>
#include <vector>

// The book benchmark's book: 1,000,000 entries per table over twenty years, made
// once in its folder and reused by later runs of every benchmark that reads it.
inline constexpr char kBenchBookFolder[] = "/tmp/pelmora-bench-book";
inline constexpr int kEntriesPerTable = 1000000;
inline const QDate kFirstDay(2006, 1, 1);
inline const QDate kLastDay(2025, 12, 31);

// Two words of the book's remarks, each in one remark of twenty (drawn at random).
inline constexpr char kRemarkWord2[] = "早餐";
inline constexpr char kRemarkWord4[] = "生日礼物";
inline constexpr double kRemarkWordShare = 0.05;

// Makes the book in folder unless a whole one is there; returns its path.
QString benchBook(const QString& folder);

// Keeps the last message, prints and counts every error, answers Yes; with
// stopOnError the first error ends the program.
class QuietMessages final : public Messages
{
public:
    explicit QuietMessages(bool stopOnError = false) : m_stop(stopOnError) {}
    void info(const QString& text, const QString& = QString()) override { last = text; }
    bool ask(const QString&) override { return true; }
    void error(const QString& text) override;

    QString last;
    int errors = 0;

private:
    bool m_stop;
};

// The raw engine, failing fast: an error ends the program with the engine's message.
void check(int rc, sqlite3* db, const char* what);
void execRaw(sqlite3* db, const QString& sql);
sqlite3* openRaw(const QString& path, int flags = SQLITE_OPEN_READWRITE);
QString columnText(sqlite3_stmt* st, int column);

double median(std::vector<double> values);
double msOf(const std::function<void()>& f);

// --- memory, each figure a step's own ---

// A line of /proc/self/status in MB ("VmRSS:", "VmHWM:").
double statusMb(const char* key);
// Starts the peak (VmHWM) afresh from the current resident size.
void resetPeak();

// A benchmark's arguments: [folder] [--fresh step]. The folder of the book
// (default kBenchBookFolder); the step to run alone, or empty.
struct BenchArguments
{
    QString folder;
    QString fresh;
};
BenchArguments benchArguments(const QStringList& arguments);
// Runs this program again for one step alone (--fresh step), its output in ours.
void runFresh(const char* step, const QString& folder);
// The figure of a step run alone in a fresh process: its time, the resident
// size before it and the process's peak, against a target of 150 MB.
void printFreshPeak(const char* figure, double ms, double rssBeforeMb);

// --- the book window ---

// Shows the window at the size of the pictures and lets it settle.
void showWindow(QWidget& window);
// The window's control of that name.
template <typename T = QWidget> T* control(QWidget& window, const char* name)
{
    return window.findChild<T*>(QString::fromLatin1(name));
}
// The book window's search of the kind chosen, from one day to another, with
// the grid painted.
void searchListing(QWidget& window, const QDate& from, const QDate& to);
