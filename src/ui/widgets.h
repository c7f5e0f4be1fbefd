#pragma once

#include <QChar>
#include <QStyle>
#include <QValidator>
#include <functional>

class QAbstractButton;
class QDateEdit;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Controls are made with their parent first and their name second, the name
// being the control's objectName, which tests find it by.
template <typename T> T* named(QWidget* parent, const char* name)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text);

// A push button with the style's stock glyph (a near kin where the style draws
// none); Enter on it when focused presses it, as in every window.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        QStyle::StandardPixmap glyph);

// A date field with a calendar drop-down showing yyyy-MM-dd, set to today.
QDateEdit* makeDateField(QWidget* parent, const char* name);

// Accepts a text only while its GBK form has at most maxBytes bytes and the
// book can hold every character faithfully, so typed and pasted text alike stop
// at the limit. Refused: characters without a GBK form (lone surrogates among
// them) and control characters (NUL, line breaks, tab, escape, DEL), which would
// end a statement early or break the lines of a file or list.
class GbkLengthValidator final : public QValidator
{
    Q_OBJECT
public:
    static constexpr int NoLimit = -1;
    explicit GbkLengthValidator(int maxBytes, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;

private:
    int m_maxBytes;
};

// Typed characters for which allowed() is false are dropped; control keys
// (backspace, Enter, arrows) and pasted text pass.
void installCharFilter(QWidget* widget, std::function<bool(QChar)> allowed);

// The box takes decimal digits only, typed and pasted alike (codes and periods
// name files and categories, so nothing else may get in).
void setDigitsOnly(QLineEdit* edit);

// Runs the handler when the button becomes checked, never when it is unchecked
// or clicked while already checked.
void connectChecked(QAbstractButton* button, QObject* context, std::function<void()> handler);

// Enter (Return or keypad Enter) in the widget moves the focus to the next
// control in tab order that is visible and enabled, wrapping at the end.
void installEnterMovesFocus(QWidget* widget);

// Enter in the widget clicks the button (a form's default button).
void installEnterClicks(QWidget* widget, QAbstractButton* button);

// The next widget after `from` in the focus chain that is visible, enabled and
// accepts focus; wraps around. Returns nullptr when there is none.
QWidget* nextFocusable(QWidget* from);

// Shows every character of the box as `mask` ('*' or '#').
void setPasswordCharacter(QLineEdit* edit, QChar mask);

// The height of a line of Chinese and Latin text in the font, fallback fonts
// included: label heights laid out for one font clip the taller glyphs of another.
int lineHeight(const QFont& font);

// Closes a form: its MDI subwindow when it has one, else the form itself.
void closeForm(QWidget* form);
