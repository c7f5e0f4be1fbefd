#pragma once

#include <QDate>
#include <QString>

class TestBook;

// Test data helpers: categories and entries written the way the book window writes them.
void addCategory(TestBook& book, const QString& kind, const QString& code, const QString& name);
void addEntry(TestBook& book, const QString& kind, const QDate& date, const QString& code,
              const QString& name, double amount, const QString& remark = QString());

// A household's book over 2024 to 2026, for pictures and demonstrations.
void fillSampleBook(TestBook& book);
