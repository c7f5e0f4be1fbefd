#pragma once

#include <QString>
#include <optional>

// The two kinds of entry: income lives in srb (columns sr...), expense in zcb
// (zc...); the category table marks them "S" and "Z".
enum class EntryKind
{
    Income,
    Expense
};

inline constexpr EntryKind kEntryKinds[] = {EntryKind::Income, EntryKind::Expense};

// "srb" or "zcb".
QString entryTable(EntryKind kind);
// "sr" or "zc".
QString columnPrefix(EntryKind kind);
// "S" or "Z", as the category table stores the kind.
QString kindLetter(EntryKind kind);
// "收入" or "支出".
QString kindWord(EntryKind kind);
// The kind of a letter, in either case; empty for anything else.
std::optional<EntryKind> kindOfLetter(const QString& letter);
