#pragma once

#include "store/categorysql.h"
#include "store/entrykind.h"

#include <QDate>
#include <QString>
#include <QStringList>

// Stores one entry; amountText is the rounded amount as number text.
QString insertEntrySql(EntryKind kind, const QDate& date, const QString& code, const QString& name,
                       const QString& amountText, const QString& remark);

// Corrects the entry numbered uid; the values as insertEntrySql takes them.
QString updateEntrySql(EntryKind kind, qint64 uid, const QDate& date, const QString& code,
                       const QString& name, const QString& amountText, const QString& remark);

// The conditions of a search: the date range, then the category (none when code
// is empty), then the amount (none when amountText is empty).
QString searchConditions(EntryKind kind, const QDate& from, const QDate& to, const QString& code,
                         const QString& amountText);

// The remark search: a text that matches itself wherever it stands in a remark,
// ASCII letters in either case. \, % and _ are escaped with \ and quotes doubled.
QString remarkLikePattern(const QString& text);
// " and srsm like '%…%' escape '\'" (zcsm for expenses); empty for an empty text.
QString remarkConditionSql(EntryKind kind, const QString& text);
// searchConditions followed by the remark condition.
QString searchConditions(EntryKind kind, const QDate& from, const QDate& to, const QString& code,
                         const QString& amountText, const QString& remark);

// Count and sum of the entries matching the conditions.
QString totalsSql(EntryKind kind, const QString& conditions);
// The matching entries, newest first.
QString listingSql(EntryKind kind, const QString& conditions);
QString deleteEntrySql(EntryKind kind, qint64 uid);

// Grid captions of a listing, by column position.
QStringList listingCaptions(EntryKind kind);
