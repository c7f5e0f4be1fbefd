#include "ui/palette.h"

#include <QPalette>
#include <QWidget>

void setWindowTextBlue(QWidget* window)
{
    QPalette p = window->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            p.setColor(group, role, kWindowBlue);
    window->setPalette(p);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}
