#pragma once

#include <QString>

class TestBook;

// A category's budget for a month ("202511"), in cents.
void addBudget(TestBook& book, const QString& code, const QString& month, qint64 cents);
