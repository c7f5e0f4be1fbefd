#include "share/tablerows.h"

#include "store/statement.h"

#include <QDate>
#include <algorithm>
#include <iterator>

namespace {

int digit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : -1;
}

// A stored date, yyyy-mm-dd, read without a general parser: a listing has a
// million of them.
QDate storedDate(QStringView text)
{
    if (text.size() == 10 && text[4] == QLatin1Char('-') && text[7] == QLatin1Char('-')) {
        int v[8];
        int n = 0;
        for (const int at : {0, 1, 2, 3, 5, 6, 8, 9})
            v[n++] = digit(text[at]);
        if (std::find(std::begin(v), std::end(v), -1) == std::end(v))
            return QDate(v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5],
                         v[6] * 10 + v[7]);
    }
    return QDate::fromString(text.toString(), Qt::ISODate);
}

void addKind(QList<TableRow>& rows, const QString& p, const QString& kind, const QString& total,
             const QList<ReportCategory>& categories, double kindTotal)
{
    for (const ReportCategory& c : categories) {
        // As the file: no share of a kind without a positive total.
        const double share = kindTotal > 0 ? c.sum / kindTotal * 100 : 0;
        rows << TableRow{TableCell::text(p),       TableCell::text(kind),
                         TableCell::text(c.code),  TableCell::text(c.name),
                         TableCell::amount(c.sum), TableCell::number(share)};
    }
    rows << TableRow{
        TableCell::text(p), TableCell::text(total), {}, {}, TableCell::amount(kindTotal)};
}

} // namespace

QString listingTableFileName()
{
    return QStringLiteral("收支查询.csv");
}

TableRow listingTableRow(const ExportEntry& entry, const QString& periodKey)
{
    const QDate date = storedDate(entry.date);
    return {TableCell::integer(entry.uid),
            date.isValid() ? TableCell::date(date) : TableCell::text(entry.date),
            TableCell::text(entry.code),
            TableCell::text(entry.name),
            TableCell::amount(entry.amount),
            TableCell::text(entry.remark),
            TableCell::text(periodKey)};
}

void readListingRow(const Statement& rows, TableRow& row)
{
    row.resize(7);
    row[0] = TableCell::integer(rows.integerValue(0));
    TableCell& date = row[1];
    rows.textValue(1, date.textValue);
    date.dateValue = storedDate(date.textValue);
    date.kind = date.dateValue.isValid() ? TableCell::Kind::Date : TableCell::Kind::Text;
    for (const int column : {2, 3, 5, 6}) {
        // The book's UTF-8 as it is; anything else as the engine's text reads.
        TableCell& cell = row[column];
        rows.textBytes(column, cell.utf8Value);
        if (cell.utf8Value.isValidUtf8()) {
            cell.kind = TableCell::Kind::Utf8Text;
        } else {
            cell.kind = TableCell::Kind::Text;
            rows.textValue(column, cell.textValue);
        }
    }
    row[4] = TableCell::amount(rows.realValue(4));
}

QStringList reportTableCaptions()
{
    return {QStringLiteral("时期"), QStringLiteral("收支"), QStringLiteral("代码"),
            QStringLiteral("名称"), QStringLiteral("金额"), QStringLiteral("比例(%)")};
}

QList<TableRow> reportTableRows(const QString& periodText, const ReportFigures& figures)
{
    QList<TableRow> rows;
    addKind(rows, periodText, QStringLiteral("收入"), QStringLiteral("收入合计"),
            figures.incomeRows, figures.income);
    addKind(rows, periodText, QStringLiteral("支出"), QStringLiteral("支出合计"),
            figures.expenseRows, figures.expense);
    // The difference of the two totals in cents, so that 0.3 - 0.1 gives 0.20.
    const TableCell income = TableCell::amount(figures.income);
    const TableCell expense = TableCell::amount(figures.expense);
    const TableCell difference =
        income.kind == TableCell::Kind::Cents && expense.kind == TableCell::Kind::Cents
            ? TableCell::cents(income.whole - expense.whole)
            : TableCell::number(figures.income - figures.expense);
    rows << TableRow{TableCell::text(periodText),
                     TableCell::text(QStringLiteral("收入－支出")),
                     {},
                     {},
                     difference};
    return rows;
}
