#pragma once

#include "store/messages.h"

#include <QDate>
#include <QString>
#include <functional>
#include <sqlite3.h>
#include <vector>

// The book benchmark's book: 1,000,000 entries per table over twenty years, made
// once in its folder and reused by later runs of every benchmark that reads it.
inline constexpr char kBenchBookFolder[] = "/tmp/pelmora-bench-book";
inline constexpr int kEntriesPerTable = 1000000;
inline const QDate kFirstDay(2006, 1, 1);
inline const QDate kLastDay(2025, 12, 31);

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
