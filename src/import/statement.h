#pragma once

#include "import/fields.h"
#include "import/layouts.h"
#include "import/statementfile.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

// What a statement row comes to. Income and expense rows become entries;
// neutral rows (不计收支, repayments, own transfers, top-ups, withdrawals,
// separate refunds) are left out unless the user takes them in; failed rows
// (closed, failed, cancelled, refunded in full) are always left out; error rows
// could not be read.
enum class RowKind
{
    Income,
    Expense,
    Neutral,
    Failed,
    Error
};

struct StatementRow
{
    qint64 line = 0; // where the row starts in the file, from 1
    QDate date;
    QTime time; // invalid when the statement gives none
    RowKind kind = RowKind::Error;
    // Which way the money went as the file says it, also for neutral and
    // failed rows; Unknown where the file does not say.
    Flow flow = Flow::Unknown;
    // Absolute, in whole cents, less any refund in part.
    qint64 amountCents = 0;
    QString counterpart;
    QString description;
    QString sourceCategory; // the statement's own category (餐饮美食)
    QString sourceType;     // the statement's type of transaction (商户消费)
    QString transactionNo;
    QString state;
    QString error; // of an error row: "第 12 行：…", naming the line
};

// Rows move in memory as they are: the list of a large statement grows cheaply.
Q_DECLARE_TYPEINFO(StatementRow, Q_RELOCATABLE_TYPE);

// Answers to the questions a statement may leave open, given by the dialog
// or the command line.
struct ReadOptions
{
    std::optional<DateOrder> dateOrder;
    std::optional<bool> card;
    // Columns the user chose for roles, remembered per layout signature;
    // -1 says the statement has no such column.
    ColumnMap columns;
    // More rows than this are no household's statement: the read stops with a
    // message instead of filling the memory.
    qsizetype maxRows = 200000;
};

struct OpenQuestions
{
    bool dateOrder = false;         // day/month or month/day: no date in the file tells
    bool card = false;              // amounts carry the direction in their sign, and
                                    // nothing tells whether it is a credit card's
    QList<ColumnRole> missingRoles; // roles no column was found for
    bool any() const { return dateOrder || card || !missingRoles.isEmpty(); }
};

struct ParsedStatement
{
    FileKind fileKind = FileKind::Text;
    QString encoding;

    QString layout;    // "支付宝", "支付宝（旧版）", "微信支付", …, "通用"
    QString source;    // "支付宝", "微信支付", "招商银行", …; "账单" for others
    QString keySource; // the source in duplicate keys: the layout signature for others
    QString signature; // of the header layout (see layoutSignature())
    bool card = false;
    QStringList header;
    ColumnMap columns; // the columns in use
    // The first data rows as read, for the dialog's column choice.
    QList<QStringList> sample;

    // While any is open the rows are not read and the list stays empty: read
    // again with the answers.
    OpenQuestions questions;
    QList<StatementRow> rows;
    // Lines after the header that are no entries: totals, notes, repeated headers.
    int skippedLines = 0;

    qsizetype count(RowKind kind) const;
};

// Reads and understands a statement file: the container, the header row among
// preamble lines, the layout, then every row. Throws StoreError with a message
// for the user when the file cannot be read or understood (never half a
// statement), Cancelled when progress says stop.
ParsedStatement readStatement(const QString& path, const ReadOptions& options = {},
                              const Progress& progress = {});
