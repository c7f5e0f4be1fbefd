#include "budget/budgetlabel.h"

#include "ui/palette.h"
#include "ui/widgets.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace {

void placeOnTitleLine(QLabel* label)
{
    auto* group = static_cast<QGroupBox*>(label->parentWidget());
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.textAlignment = group->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, group);
    const int right = group->layout() ? group->layout()->contentsMargins().right() : 8;
    label->adjustSize();
    label->move(group->width() - right - label->width(),
                std::max(0, title.center().y() - label->height() / 2));
    label->raise();
}

class KeepOnTitleLine final : public QObject
{
public:
    explicit KeepOnTitleLine(QLabel* label) : QObject(label), m_label(label) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            placeOnTitleLine(m_label);
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QLabel* m_label;
};

} // namespace

QLabel* makeTitleLineLabel(QGroupBox* group, const char* name)
{
    QLabel* label = makeLabel(group, name, QString());
    // The frame's line runs through the title strip: the label covers it as the
    // title does, with a little room at both ends.
    label->setAutoFillBackground(true);
    label->setContentsMargins(4, 0, 4, 0);
    label->hide();
    group->installEventFilter(new KeepOnTitleLine(label));
    return label;
}

void showBudgetLine(QLabel* label, const BudgetLine& line)
{
    label->setText(line.text);
    setTextColour(label, line.over ? kWarningRed : kWindowBlue);
    label->setVisible(!line.text.isEmpty());
    placeOnTitleLine(label);
}
