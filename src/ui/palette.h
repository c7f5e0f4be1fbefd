#pragma once

#include <QColor>

class QWidget;

// The program's windows write in blue; warnings and figures below zero in red.
inline const QColor kWindowBlue{Qt::blue};
inline const QColor kWarningRed{Qt::red};

// The window's text in blue, typed text and buttons included; disabled
// controls keep the style's grey, so that their state shows.
void setWindowTextBlue(QWidget* window);

// The colour of a label's (or any widget's) own text.
void setTextColour(QWidget* widget, const QColor& colour);
