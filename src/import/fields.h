#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

// Reading single cells of a statement: amounts, dates, directions, states.
// All pure; none depends on the locale.

// Blanks, tabs and the ideographic space around a cell, as exports pad them.
QString trimCell(const QString& text);

// An amount as statements write it: "28.16", "+10000.00", "-3.00", "1,234.00",
// "¥28.16", "CNY 12.30", "12.30元", "(12.30)", "131.77(已退款89.84)". Integer
// cents after the cent rounding of typed amounts, sign kept.
struct Amount
{
    qint64 cents = 0;
    // A refund noted beside the amount: "(已退款89.84)" gives 8984.
    qint64 refundCents = 0;
    // "(已全额退款)" beside the amount.
    bool refundedInFull = false;
};
std::optional<Amount> readAmountCell(const QString& text);

// The forms a date cell takes. Year-first forms are read at once; the others
// wait for the order of day and month, and a year-less one for its year.
struct DateCell
{
    enum class Form
    {
        YearFirst,
        YearLast,
        YearLess
    };
    Form form = Form::YearFirst;
    // YearFirst: year, month, day. YearLast: first, second, year. YearLess:
    // first, second.
    int a = 0;
    int b = 0;
    int c = 0;
    QTime time; // invalid when the cell has none
};
std::optional<DateCell> readDateCell(const QString& text);

// "10:20", "10:20:30", "102030".
QTime readTimeCell(const QString& text);

enum class DateOrder
{
    DayMonth,
    MonthDay
};

// The date of a cell once the order is known; for a year-less cell the year is
// the one that puts the date on or before the statement's end. Invalid when the
// cell names no such day.
QDate resolveDate(const DateCell& cell, DateOrder order, const QDate& statementEnd);

// The latest date or month named in a title or period text ("2024年01月",
// "起始日期:[20230101]  终止日期:[20230131]", "2023/12/10-2024/01/09"): a
// month counts as its last day. Invalid when the text names none.
QDate latestDateIn(const QString& text);

// Which way money went, as a direction cell says it.
enum class Flow
{
    Unknown,
    In,
    Out
};
struct Direction
{
    Flow flow = Flow::Unknown;
    // The cell says neither in nor out: 不计收支, "/", 中性交易, empty.
    bool neutral = false;
    bool readable = true;
};
Direction readDirectionCell(const QString& text);

// The state says the payment did not go through (交易关闭, 失败, 已撤销,
// 已全额退款, …).
bool isFailedState(const QString& state);

// A refund in part noted in a state: "已退款(￥3.00)" gives 300; 0 when none.
qint64 refundInState(const QString& state);

// Texts that mark a row as money moved between the household's own accounts:
// repayments, top-ups, withdrawals, own transfers.
bool isOwnTransferText(const QString& text);

// Texts that mark a row as a refund of an earlier payment.
bool isRefundText(const QString& text);
