#include "safety/undocontrol.h"

#include "safety/journal.h"
#include "safety/safetystate.h"
#include "store/context.h"
#include "store/messages.h"
#include "store/storeerror.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>

namespace {

void show(QPushButton* button, const QString& verb, const std::optional<JournalRecord>& record)
{
    button->setEnabled(record.has_value());
    button->setToolTip(record ? verb + QStringLiteral("：") + record->action.description
                              : QString());
}

} // namespace

UndoControl::UndoControl(Context& context, QWidget* window, QPushButton* undo, QPushButton* redo)
    : QObject(window), m_context(context), m_window(window), m_undo(undo), m_redo(redo)
{
    connect(m_undo, &QPushButton::clicked, this, &UndoControl::undo);
    connect(m_redo, &QPushButton::clicked, this, &UndoControl::redo);
    const struct
    {
        QKeySequence keys;
        void (UndoControl::*slot)();
    } shortcuts[] = {{QKeySequence(Qt::CTRL | Qt::Key_Z), &UndoControl::undo},
                     {QKeySequence(Qt::CTRL | Qt::Key_Y), &UndoControl::redo},
                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &UndoControl::redo}};
    for (const auto& s : shortcuts) {
        auto* shortcut = new QShortcut(s.keys, window);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, slot = s.slot] {
            if (!focusInTextBox())
                (this->*slot)();
        });
    }
    // Another program may have recorded actions while the window was in the back.
    window->installEventFilter(this);
    connect(&context, &Context::entriesChanged, this, &UndoControl::refresh);
    connect(&context, &Context::bookReplaced, this, &UndoControl::refresh);
    try {
        noteGeneration(context);
    } catch (const StoreError&) {
    }
    refresh();
}

void UndoControl::refresh()
{
    std::optional<JournalRecord> undo;
    std::optional<JournalRecord> redo;
    try {
        undo = nextUndo(m_context.database());
        redo = nextRedo(m_context.database());
    } catch (const StoreError&) {
        undo.reset();
        redo.reset();
    }
    m_undoNumber = undo ? std::optional(undo->number) : std::nullopt;
    m_redoNumber = redo ? std::optional(redo->number) : std::nullopt;
    show(m_undo, QStringLiteral("撤销"), undo);
    show(m_redo, QStringLiteral("重做"), redo);
}

void UndoControl::undo()
{
    act(true);
}

void UndoControl::redo()
{
    act(false);
}

void UndoControl::act(bool undo)
{
    QPushButton* button = undo ? m_undo : m_redo;
    const std::optional<qint64> number = undo ? m_undoNumber : m_redoNumber;
    if (!button->isEnabled() || !number)
        return;
    const QString verb = undo ? QStringLiteral("撤销") : QStringLiteral("重做");
    // What the button named, as the user read it.
    const QString named = button->toolTip().mid(verb.size() + 1);
    Messages& messages = m_context.messages();
    guarded(messages, [&] {
        switch (undo ? undoAction(m_context, *number) : redoAction(m_context, *number)) {
        case StepOutcome::Done:
            break;
        case StepOutcome::Moved:
            refresh();
            messages.info(verb + QStringLiteral("未进行：“") + named +
                          QStringLiteral("”已不是下一步可") + verb +
                          QStringLiteral("的操作（另一个程序刚刚记了账）。请看按钮上的提示。"));
            break;
        case StepOutcome::Unknown:
            messages.info(verb + QStringLiteral("未进行：这个版本的程序不能") + verb +
                          QStringLiteral("“") + named + QStringLiteral("”。"));
            break;
        case StepOutcome::Conflict:
            if (messages.ask(verb + QStringLiteral("未进行：“") + named +
                             QStringLiteral("”涉及的记录已被另一个程序修改，没有改动。\n"
                                            "是否从撤销记录中删去这一步？")))
                dropAction(m_context.database(), *number);
            break;
        }
    });
    refresh();
}

bool UndoControl::focusInTextBox() const
{
    const QWidget* focus = QApplication::focusWidget();
    return qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus) ||
           qobject_cast<const QTextEdit*>(focus) || qobject_cast<const QPlainTextEdit*>(focus);
}

bool UndoControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::WindowActivate)
        refresh();
    return QObject::eventFilter(watched, event);
}
