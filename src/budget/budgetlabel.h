#pragma once

#include "budget/budgetlines.h"

class QGroupBox;
class QLabel;

// A label on the title line of a group, at its right end, where the frame
// leaves the strip beside the title free. It keeps its place as the group
// changes size.
QLabel* makeTitleLineLabel(QGroupBox* group, const char* name);

// Shows the line in the label: blue, red when over; nothing when it is empty.
void showBudgetLine(QLabel* label, const BudgetLine& line);
