#include "import/entrytexts.h"

#include "store/gbk.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>

namespace {

bool isPlaceholder(const QString& text)
{
    if (text.size() > 4)
        return false;
    static const QStringList placeholders = {
        QStringLiteral("/"),  QStringLiteral("-"),    QStringLiteral("--"),   QStringLiteral("—"),
        QStringLiteral("无"), QStringLiteral("null"), QStringLiteral("none"), QStringLiteral("n/a"),
    };
    return text.isEmpty() || placeholders.contains(text, Qt::CaseInsensitive);
}

// Drops the characters that have no GBK form, counting them.
QString gbkOnly(const QString& text, int* dropped)
{
    if (isGbkText(text))
        return text;
    QString kept;
    kept.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (isGbkText(character))
            kept += character;
        else
            ++*dropped;
        i += length;
    }
    return kept;
}

// Cuts at a character boundary so that the GBK form fits the limit.
QString cutToGbkBytes(const QString& text, qsizetype limit)
{
    // A character takes two bytes at most.
    if (text.size() * 2 <= limit || gbkLength(text) <= limit)
        return text;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const qsizetype size = text[i].unicode() < 0x80 ? 1 : encodeGbk(text.mid(i, length)).size();
        if (bytes + size > limit)
            break;
        bytes += size;
        i += length;
    }
    return text.left(i).trimmed();
}

Remark remarkOf(const QStringList& parts)
{
    Remark remark;
    QStringList kept;
    for (const QString& part : parts) {
        const QString text = part.simplified();
        if (!isPlaceholder(text) && !kept.contains(text))
            kept.append(text);
    }
    remark.text = cutToGbkBytes(gbkOnly(kept.join(QLatin1Char(' ')), &remark.dropped).simplified(),
                                remarkLimit);
    return remark;
}

bool isUsableNumber(const QString& number)
{
    // A number a spreadsheet turned into 4.2000012345E+27 names no single row.
    static const QRegularExpression mangled(QStringLiteral("^[0-9.]+e\\+?[0-9]+$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return !isPlaceholder(number) && !(number.contains(QLatin1Char('e'), Qt::CaseInsensitive) &&
                                       mangled.match(number).hasMatch());
}

QChar flowMark(Flow flow)
{
    switch (flow) {
    case Flow::In:
        return QLatin1Char('+');
    case Flow::Out:
        return QLatin1Char('-');
    case Flow::Unknown:
        break;
    }
    return QLatin1Char('?');
}

} // namespace

Remark entryRemark(const StatementRow& row, const QString& source)
{
    Remark remark = remarkOf({row.counterpart, row.description});
    if (!remark.text.isEmpty())
        return remark;
    const QString type =
        isPlaceholder(row.sourceType.trimmed()) ? row.sourceCategory : row.sourceType;
    Remark fallback = remarkOf({source, type});
    fallback.dropped += remark.dropped;
    return fallback;
}

QStringList duplicateKeys(const QString& keySource, const QList<StatementRow>& rows)
{
    QStringList keys;
    keys.reserve(rows.size());
    QHash<QByteArray, int> seen;
    for (const StatementRow& row : rows) {
        const QString number = row.transactionNo.trimmed();
        if (isUsableNumber(number)) {
            keys.append(keySource + QStringLiteral("|no|") + number);
            continue;
        }
        const QString content = row.date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
                                row.time.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('|') +
                                QString::number(row.amountCents) + QLatin1Char('|') +
                                flowMark(row.flow) + QLatin1Char('|') + row.counterpart +
                                QChar(0x1F) + row.description;
        const QByteArray hash =
            QCryptographicHash::hash(content.toUtf8(), QCryptographicHash::Sha1).toHex();
        const int place = seen[hash]++;
        keys.append(keySource + QStringLiteral("|row|") + QString::fromLatin1(hash) +
                    QLatin1Char('#') + QString::number(place));
    }
    return keys;
}

bool categoryMatches(const QString& sourceCategory, const QString& bookCategory)
{
    const QString source = sourceCategory.trimmed();
    const QString book = bookCategory.trimmed();
    if (source.isEmpty() || book.isEmpty())
        return false;
    return source.contains(book, Qt::CaseInsensitive) || book.contains(source, Qt::CaseInsensitive);
}

qsizetype matchingCategory(const QString& sourceCategory, const QStringList& bookCategories)
{
    qsizetype found = -1;
    int matches = 0;
    for (qsizetype i = 0; i < bookCategories.size(); ++i) {
        if (bookCategories.at(i).trimmed().compare(sourceCategory.trimmed(), Qt::CaseInsensitive) ==
                0 &&
            !sourceCategory.trimmed().isEmpty())
            return i;
        if (categoryMatches(sourceCategory, bookCategories.at(i))) {
            found = i;
            ++matches;
        }
    }
    return matches == 1 ? found : -1;
}
