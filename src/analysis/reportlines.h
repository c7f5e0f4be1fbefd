#pragma once

#include "analysis/analysissql.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One category line of a report: code, stored name and the period's sum.
struct ReportCategory
{
    QString code;
    QString name;
    double sum = 0;
};

// Everything a report file shows, as read from the book.
struct ReportFigures
{
    double income = 0;
    double expense = 0;
    QList<ReportCategory> incomeRows;
    QList<ReportCategory> expenseRows;
};

namespace reportlines {

// "2005年度收支情况报告表.txt" / "200511月度收支情况报告表.txt"
QString fileName(analysissql::Period period, const QString& periodText);

// "请输入四位数的年度，如2005" / "请输入六位长的月份，如200511"
QString periodCheckMessage(analysissql::Period period);
// True when the period text has the length the report needs.
bool periodTextValid(analysissql::Period period, const QString& periodText);

// "2005年度报表导出完毕，文件名：2005年度收支情况报告表.txt"
QString doneMessage(analysissql::Period period, const QString& periodText);
// The same for a file of the report under another name (a table).
QString doneMessage(analysissql::Period period, const QString& periodText, const QString& fileName);

// "---01----工资----5000----83.3333333333333%"
QString categoryLine(const ReportCategory& row, double kindTotal);

// Every line of the file, the last one empty.
QStringList lines(analysissql::Period period, const QString& periodText,
                  const ReportFigures& figures, const QDateTime& created);

} // namespace reportlines
