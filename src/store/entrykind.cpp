#include "store/entrykind.h"

QString entryTable(EntryKind kind)
{
    return kind == EntryKind::Income ? QStringLiteral("srb") : QStringLiteral("zcb");
}

QString columnPrefix(EntryKind kind)
{
    return kind == EntryKind::Income ? QStringLiteral("sr") : QStringLiteral("zc");
}

QString kindLetter(EntryKind kind)
{
    return kind == EntryKind::Income ? QStringLiteral("S") : QStringLiteral("Z");
}

QString kindWord(EntryKind kind)
{
    return kind == EntryKind::Income ? QStringLiteral("收入") : QStringLiteral("支出");
}

std::optional<EntryKind> kindOfLetter(const QString& letter)
{
    if (letter.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0)
        return EntryKind::Income;
    if (letter.compare(QLatin1String("Z"), Qt::CaseInsensitive) == 0)
        return EntryKind::Expense;
    return std::nullopt;
}
