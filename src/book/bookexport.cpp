#include "book/bookexport.h"

#include "store/numbers.h"

namespace {

const QString& asteriskRule()
{
    static const QString rule(44, QLatin1Char('*'));
    return rule;
}

QString rangeText(const QDate& from, const QDate& to)
{
    return dateText(from) + QStringLiteral("--") + dateText(to);
}

} // namespace

QString exportFileName(const QString& kindWord, const QDate& from, const QDate& to)
{
    return kindWord + rangeText(from, to) + QStringLiteral(".txt");
}

QString exportEntryLine(const ExportEntry& entry)
{
    QString remark = entry.remark;
    remark.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    remark.replace(QLatin1Char('\r'), QLatin1Char(' '));
    remark.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString sep = QStringLiteral("--");
    return sep + QString::number(entry.uid) + sep + entry.date + sep + entry.code + sep +
           entry.name + sep + numberText(entry.amount) + sep + remark;
}

QString listedDateText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QDate)
        return dateText(value.toDate());
    if (value.typeId() == QMetaType::QDateTime)
        return dateText(value.toDateTime().date());
    const QString text = value.toString();
    // Dates are stored as yyyy-mm-dd already; only other forms need a parse.
    if (text.size() == 10 && text[4] == QLatin1Char('-') && text[7] == QLatin1Char('-'))
        return text;
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    return date.isValid() ? dateText(date) : text;
}

QStringList exportHeadLines(const QString& fileName)
{
    return {fileName, QString(),
            QStringLiteral("--编号--日  期--类别--类别名称--金  额--备    注----------")};
}

QStringList exportFootLines(qint64 entryCount, const QDateTime& exportedAt, const QDate& from,
                            const QDate& to, const QString& sumLabel)
{
    return {QString(),
            asteriskRule(),
            QStringLiteral("导出日期：") + dateTimeText(exportedAt),
            QStringLiteral("日期范围：") + rangeText(from, to),
            QStringLiteral("记录合计：") + QString::number(entryCount) + QStringLiteral("条     ") +
                sumLabel,
            asteriskRule()};
}

QStringList exportLines(const QString& fileName, const QList<ExportEntry>& entries,
                        const QDateTime& exportedAt, const QDate& from, const QDate& to,
                        const QString& sumLabel)
{
    QStringList lines = exportHeadLines(fileName);
    lines.reserve(entries.size() + 9);
    for (const ExportEntry& entry : entries)
        lines << exportEntryLine(entry);
    lines << exportFootLines(entries.size(), exportedAt, from, to, sumLabel);
    return lines;
}
