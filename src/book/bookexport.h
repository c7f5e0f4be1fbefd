#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// One listed entry as the export file writes it.
struct ExportEntry
{
    qint64 uid = 0;
    QString date; // yyyy-mm-dd
    QString code;
    QString name;
    double amount = 0;
    QString remark;
};

// "收入" + first date + "--" + last date + ".txt".
QString exportFileName(const QString& kindWord, const QDate& from, const QDate& to);

// "--12--2005-11-05--01--工资--3500--十一月"; line breaks in the remark become
// blanks so that one entry stays on one line.
QString exportEntryLine(const ExportEntry& entry);

// The listed date as yyyy-mm-dd, whether the column came back as a date or as text.
QString listedDateText(const QVariant& value);

// The three lines before the entries: the name, an empty line, the heading.
QStringList exportHeadLines(const QString& fileName);
// The six lines after the entries: the export time, the range and the totals.
QStringList exportFootLines(qint64 entryCount, const QDateTime& exportedAt, const QDate& from,
                            const QDate& to, const QString& sumLabel);

// Every line of the export file: name, heading, entries, footer with the export
// time, the range and the totals (sumLabel is the sum label's text as shown).
QStringList exportLines(const QString& fileName, const QList<ExportEntry>& entries,
                        const QDateTime& exportedAt, const QDate& from, const QDate& to,
                        const QString& sumLabel);
