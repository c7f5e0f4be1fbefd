#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <map>

// What a column of a statement holds.
enum class ColumnRole
{
    Date,
    Time,
    Amount,        // one column of amounts, signed or with a direction beside it
    Income,        // separate columns for money in ...
    Expense,       // ... and out
    Direction,     // 收/支, 借贷
    Counterpart,   // 交易对方, 对方户名, 商户名称
    Description,   // 商品, 摘要, 说明
    Category,      // the statement's own category: 交易分类
    Type,          // 交易类型
    State,         // 交易状态, 当前状态
    TransactionNo, // 交易号, 交易单号
    Refund,        // 成功退款（元）
};

// The column of each role, by index into the header row. A role without a
// column is absent; the user's choice may map a role to -1 (no such column).
using ColumnMap = std::map<ColumnRole, int>;

// The role's name as the dialog shows it ("日期", "金额", …).
QString roleName(ColumnRole role);

enum class CardKind
{
    Account,
    Card,
    Unknown
};

struct Layout
{
    // How well a header row fits: a known layout's names, common names for a
    // date and an amount, common names for some roles only, or none at all.
    enum class Fit
    {
        None,
        Partial,
        Complete,
        Known
    };

    Fit fit = Fit::None;
    QString name;   // "支付宝", "微信支付", "招商银行信用卡"; "通用" for others
    QString source; // who issued the statement; "账单" for others
    CardKind card = CardKind::Unknown;
    ColumnMap columns;
};

// A header cell in the form layouts are matched in: no blanks, ASCII brackets
// and slashes, lower case.
QString normalizedHeader(const QString& cell);

// The layout whose header row this is.
Layout recognizeHeader(const QStringList& cells);

// A generic layout over any header row: the columns found by common names.
Layout genericLayout(const QStringList& cells);

// The roles a statement cannot do without that have no column: the date, an
// amount (one column or separate ones) and a text (counterpart, description or
// type).
QList<ColumnRole> missingRoles(const ColumnMap& columns);

// Names the header's layout so that a user's column choice can be remembered
// for the next file of the same layout: the same names in the same order give
// the same signature, whatever their padding and brackets.
QString layoutSignature(const QStringList& header);
