#pragma once

#include "import/statement.h"

#include <QList>
#include <QString>
#include <QStringList>

// Texts an entry takes from its statement row.

// The remark's limit in GBK bytes.
constexpr qsizetype remarkLimit = 200;

struct Remark
{
    QString text;
    // Characters dropped because GBK has no form for them (emoji in names).
    int dropped = 0;
};

// Counterpart and description joined by a blank, placeholders such as "/"
// left out, line breaks made blanks, cut at a character boundary to the
// remark's limit. Never empty: a row with neither text gets the source and
// its type ("微信支付 商户消费").
Remark entryRemark(const StatementRow& row, const QString& source);

// The key of each row, in file order, by which an import knows a row it has
// taken before: the source and the transaction number where the row has one;
// otherwise the date and time, amount, direction and texts, with the row's
// place among identical rows, so that two identical coffees on one day stay two.
QStringList duplicateKeys(const QString& keySource, const QList<StatementRow>& rows);

// A statement's category matches a book's category when either name contains
// the other (餐饮美食 matches 餐饮).
bool categoryMatches(const QString& sourceCategory, const QString& bookCategory);

// The one book category that matches, an exact name before others; -1 when
// none or several match, and the user is asked.
qsizetype matchingCategory(const QString& sourceCategory, const QStringList& bookCategories);
