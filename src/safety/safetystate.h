#pragma once

#include <QObject>
#include <optional>

class Context;
class QWidget;

// What the safety net remembers of a run, beside the program's shared state:
// the generation of the book the windows list, whether the run changed the
// book, and the news of a restore.
class SafetyState final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SafetyState)

public:
    // The state of the context's run, made on first use.
    static SafetyState& of(Context& context);

    // Entries, categories, budgets or the whole book changed during this run.
    bool bookChanged() const { return m_changed; }
    void noteExitCopy() { m_exitCopyDone = true; }
    bool exitCopyDone() const { return m_exitCopyDone; }

    // The generation the windows' lists were read in; remembered on first sight.
    std::optional<qint64> generation;

Q_SIGNALS:
    // This program replaced the book by a copy: windows that list the old one close.
    void restored();

private:
    explicit SafetyState(Context& context);

    bool m_changed = false;
    bool m_exitCopyDone = false;
};

// Remembers the book's generation unless known already.
void noteGeneration(Context& context);

// Before a write that names an entry by its number: throws StoreError when a
// restore by another program replaced the book since its entries were listed.
// The listings are then searched again; the next write goes ahead.
void checkGeneration(Context& context);

// After this program restored the book: the new generation is remembered, the
// windows that list the old book close and the others start afresh.
void announceRestore(Context& context, qint64 generation);

// Automatic copies: after sign-in when the newest automatic copy is older than
// a day, and when the program ends after a run that changed the book. A failure
// shows "自动备份失败：" with the reason and the work goes on. parent: where the
// progress shows.
void automaticCopyAfterSignIn(Context& context, QWidget* parent);
void automaticCopyAtExit(Context& context, QWidget* parent);
