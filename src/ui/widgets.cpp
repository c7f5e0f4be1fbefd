#include "ui/widgets.h"

#include "store/gbk.h"

#include <QAbstractButton>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTextLayout>
#include <QtMath>

namespace {

bool isEnter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

class CharFilter final : public QObject
{
public:
    CharFilter(QObject* parent, std::function<bool(QChar)> allowed)
        : QObject(parent), m_allowed(std::move(allowed))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            if (!text.isEmpty() && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                for (const QChar c : text) {
                    if (c.category() == QChar::Other_Control)
                        continue;
                    if (!m_allowed(c))
                        return true;
                }
            }
        } else if (event->type() == QEvent::InputMethod) {
            auto* im = static_cast<QInputMethodEvent*>(event);
            for (const QChar c : im->commitString()) {
                if (!m_allowed(c))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QChar)> m_allowed;
};

class EnterFilter final : public QObject
{
public:
    EnterFilter(QObject* parent, std::function<void(QWidget*)> action)
        : QObject(parent), m_action(std::move(action))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(event))) {
            m_action(static_cast<QWidget*>(watched));
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(QWidget*)> m_action;
};

} // namespace

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject* parent)
    : QValidator(parent), m_maxBytes(maxBytes)
{}

QValidator::State GbkLengthValidator::validate(QString& input, int&) const
{
    // GBK encodes the C0 controls and DEL as themselves, so they are refused apart.
    for (const QChar c : std::as_const(input)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return Invalid;
    }
    // The book is GBK text: a character without a GBK form cannot be entered.
    if (!isGbkText(input))
        return Invalid;
    if (m_maxBytes != NoLimit && gbkLength(input) > m_maxBytes)
        return Invalid;
    return Acceptable;
}

namespace {

// Key events reach a spin box's or date field's inner edit, its focus proxy.
void installOnWidgetAndProxy(QWidget* widget, const std::function<QObject*(QWidget*)>& make)
{
    widget->installEventFilter(make(widget));
    if (QWidget* proxy = widget->focusProxy())
        proxy->installEventFilter(make(proxy));
}

} // namespace

void installCharFilter(QWidget* widget, std::function<bool(QChar)> allowed)
{
    installOnWidgetAndProxy(widget, [&](QWidget* w) { return new CharFilter(w, allowed); });
}

namespace {

// The form a control belongs to: its window, or its MDI subwindow's form.
QWidget* formOf(QWidget* w)
{
    while (w->parentWidget() && !w->isWindow() && !qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        w = w->parentWidget();
    return w;
}

} // namespace

QWidget* nextFocusable(QWidget* from)
{
    QWidget* const form = formOf(from);
    // Start after the widget's own inner parts (a date field's edit box).
    QWidget* w = from->nextInFocusChain();
    while (w && w != from && from->isAncestorOf(w))
        w = w->nextInFocusChain();
    while (w && w != from) {
        QWidget* target = w->focusProxy() ? w->focusProxy() : w;
        if (w->isVisible() && w->isEnabled() && (target->focusPolicy() & Qt::TabFocus) &&
            form->isAncestorOf(w) && !(w->parentWidget() && w->parentWidget()->focusProxy() == w))
            return w;
        w = w->nextInFocusChain();
    }
    return nullptr;
}

void installEnterMovesFocus(QWidget* widget)
{
    installOnWidgetAndProxy(widget, [widget](QWidget* w) {
        return new EnterFilter(w, [widget](QWidget*) {
            if (QWidget* next = nextFocusable(widget))
                next->setFocus(Qt::TabFocusReason);
        });
    });
}

void installEnterClicks(QWidget* widget, QAbstractButton* button)
{
    installOnWidgetAndProxy(widget, [button](QWidget* w) {
        return new EnterFilter(w, [button](QWidget*) {
            if (button->isEnabled())
                button->click();
        });
    });
}

void setDigitsOnly(QLineEdit* edit)
{
    installCharFilter(edit, [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}

void connectChecked(QAbstractButton* button, QObject* context, std::function<void()> handler)
{
    QObject::connect(button, &QAbstractButton::toggled, context,
                     [handler = std::move(handler)](bool checked) {
                         if (checked)
                             handler();
                     });
}

void setPasswordCharacter(QLineEdit* edit, QChar mask)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(
        edit->styleSheet() +
        QStringLiteral("QLineEdit { lineedit-password-character: %1; }").arg(mask.unicode()));
}

void closeForm(QWidget* form)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget()))
        sub->close();
    else
        form->close();
}

int lineHeight(const QFont& font)
{
    QTextLayout layout(QStringLiteral("中Ag"), font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return qCeil(line.height());
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = named<QLabel>(parent, name);
    label->setText(text);
    return label;
}

namespace {

// Some styles draw no Ignore or Retry glyph; a near kin stands in then.
QIcon glyphIcon(const QStyle* style, QStyle::StandardPixmap glyph)
{
    QIcon icon = style->standardIcon(glyph);
    if (!icon.availableSizes().isEmpty())
        return icon;
    if (glyph == QStyle::SP_DialogIgnoreButton)
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    if (glyph == QStyle::SP_DialogRetryButton)
        return style->standardIcon(QStyle::SP_BrowserReload);
    return icon;
}

} // namespace

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        QStyle::StandardPixmap glyph)
{
    auto* button = named<QPushButton>(parent, name);
    button->setText(text);
    button->setIcon(glyphIcon(parent->style(), glyph));
    button->setAutoDefault(true);
    return button;
}

QDateEdit* makeDateField(QWidget* parent, const char* name)
{
    auto* field = named<QDateEdit>(parent, name);
    field->setCalendarPopup(true);
    field->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    field->setDate(QDate::currentDate());
    return field;
}
