#pragma once

#include <QObject>
#include <QPointer>
#include <optional>

class Context;
class QPushButton;
class QWidget;

// The book window's 撤销 and 重做: their tooltips name the next action from
// the journal, they are disabled when there is none, and Ctrl+Z, Ctrl+Y and
// Ctrl+Shift+Z press them while the focus is not in a text box (which keeps its
// own undo). An undo or redo acts only on the action its button named.
class UndoControl final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UndoControl)

public:
    UndoControl(Context& context, QWidget* window, QPushButton* undo, QPushButton* redo);

    // Reads the next actions again. Never fails: a journal that cannot be read
    // (a read-only book of an older version) leaves both buttons disabled.
    void refresh();

public Q_SLOTS:
    void undo();
    void redo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void act(bool undo);
    bool focusInTextBox() const;

    Context& m_context;
    QPointer<QWidget> m_window;
    QPointer<QPushButton> m_undo;
    QPointer<QPushButton> m_redo;
    std::optional<qint64> m_undoNumber;
    std::optional<qint64> m_redoNumber;
};
