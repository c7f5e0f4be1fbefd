#include "share/tablerows.h"

#include <QDate>

namespace {

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
    const QDate date = QDate::fromString(entry.date, Qt::ISODate);
    return {TableCell::integer(entry.uid),
            date.isValid() ? TableCell::date(date) : TableCell::text(entry.date),
            TableCell::text(entry.code),
            TableCell::text(entry.name),
            TableCell::amount(entry.amount),
            TableCell::text(entry.remark),
            TableCell::text(periodKey)};
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
