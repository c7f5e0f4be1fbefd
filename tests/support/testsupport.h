#pragma once

#include "store/context.h"
#include "store/messages.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <memory>

class QWidget;

template <typename T> class WindowFixture;

// Records every message and question; answers questions from a script
// (Yes when the script is empty).
class FakeMessages final : public Messages
{
public:
    void info(const QString& text, const QString& detail = QString()) override
    {
        infos << text;
        details << detail;
    }
    bool ask(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void error(const QString& text) override { errors << text; }

    // Every text shown, in order, of every kind.
    QStringList all() const { return infos + questions + errors; }
    void clear()
    {
        infos.clear();
        details.clear();
        questions.clear();
        errors.clear();
    }

    QStringList infos;
    QStringList details; // beside each info, what went wrong underneath (mostly empty)
    QStringList questions;
    QStringList errors;
    std::deque<bool> answers;
};

// A fresh book in a temporary folder, made by the program's own creation
// code, with a context over it and a fake messages service. Files are written
// into the book's folder; a lock held by another program is waited for
// briefly only.
class TestBook
{
public:
    static constexpr int busyTimeoutMs = 200;

    TestBook();
    ~TestBook();

    QString path() const;
    QString dir() const { return m_dir.path(); }
    Context& context() { return *m_context; }
    FakeMessages& messages() { return m_messages; }

    // Runs statements directly on the book (test setup), in the program's dialect.
    void exec(const QString& statement);
    // The first field of the first row of a query, or a null variant.
    QVariant value(const QString& statement);
    // Income entries of category 01 工资 for n = 1..count; each value is an
    // expression of n in SQLite's dialect, the period follows the date.
    void addIncomes(int count, const QString& date = QStringLiteral("'2005-11-05'"),
                    const QString& amount = QStringLiteral("n"),
                    const QString& remark = QStringLiteral("''"));

    // Statements the program ran since the last call, in its own dialect.
    QStringList takeStatements();

private:
    QTemporaryDir m_dir;
    FakeMessages m_messages;
    std::unique_ptr<Context> m_context;
    QStringList m_statements;
};

struct sqlite3;

// Another program's connection to a book, straight to the engine. It never waits
// for a lock: what would have to wait fails at once.
class AnotherProgram
{
public:
    explicit AnotherProgram(const QString& bookPath);
    ~AnotherProgram();
    AnotherProgram(const AnotherProgram&) = delete;
    AnotherProgram& operator=(const AnotherProgram&) = delete;

    // Runs statements in SQLite's dialect; false when one fails.
    bool exec(const char* sql);
    // The first field of every row of a query, as text; a failure fails the test.
    QStringList column(const QString& sql);

private:
    sqlite3* m_db = nullptr;
};

// Whether another program can write to the book at once.
bool anotherProgramWritesAtOnce(const QString& bookPath);

// A file's bytes (empty when it cannot be read), and a file written whole.
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Whether texts holds exactly one text, starting with head.
bool oneStartingWith(const QStringList& texts, const QString& head);

// A data row of text columns, each given as UTF-8.
template <typename... Texts> void textRow(const char* tag, const Texts*... texts)
{
    QTestData& row = QTest::newRow(tag);
    ((row << QString::fromUtf8(texts)), ...);
}

// Sends text as typed keys, Chinese included (QTest::keyClicks cannot).
void typeText(QWidget* widget, const QString& text);

// Lets deferred deletions and queued events run.
void settle();

// Writes garbage over the middle leaf page of a table or index of the book (as a
// failing disk would) and marks the file as changed, so that open connections
// read it afresh. Returns the page number, or 0 when the b-tree has no leaf page.
int damageLeafPage(const QString& bookPath, const QString& btree);

// A small filesystem of its own (tmpfs) in a temporary folder, filled to its last
// byte by fill(). Mounting needs the rights to mount; where they are missing,
// mounted() is false and why() says so.
class FullDisk
{
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& why() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    QStringList files() const;
    // Writes a filler file until the filesystem refuses more; an older file of
    // the name given (with the bytes older()) is put there first.
    void fill(const QString& olderFile = QString());
    // Mounts it again read-only, as a write-protected medium; false on failure.
    bool makeReadOnly();
    static QByteArray older() { return QByteArrayLiteral("an older file\r\n"); }
    // The system's text for a full disk, as a failed write reports it.
    static QString fullText();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

// A window of the program over a fresh book (see TestBook), signed in as user.
// create() makes the window, once the book holds what it reads at creation;
// show() shows it and waits until it is active, as a user would find it.
template <typename T> class WindowFixture
{
public:
    explicit WindowFixture(const QString& user = QStringLiteral("admin"))
    {
        book.context().setCurrentUser(user);
    }
    ~WindowFixture()
    {
        window.reset();
        settle();
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    T& create()
    {
        window = std::make_unique<T>(book.context());
        return *window;
    }
    // Shows the window (made now if it is not yet); false when it never became
    // active. Forgets the statements run so far.
    bool show()
    {
        if (!window)
            create();
        window->show();
        const bool active = QTest::qWaitForWindowActive(window.get());
        book.takeStatements();
        return active;
    }
    template <typename W> W* child(const char* name) const
    {
        W* w = window->template findChild<W*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    FakeMessages& messages() { return book.messages(); }
    QStringList& infos() { return book.messages().infos; }

    TestBook book;
    std::unique_ptr<T> window;
};
