#pragma once

#include "analysis/reportlines.h"
#include "book/bookexport.h"
#include "share/tablewriter.h"

#include <QList>
#include <QString>
#include <QStringList>

// Rows of the tables the windows export, beside the text files they already
// write. The book listing's header is the grid's captions (listingCaptions).

// "收支查询.csv": the listing's table in the working folder.
QString listingTableFileName();

// A listed entry under the listing's seven columns: number, date, code, name,
// amount, remark as stored, period key.
TableRow listingTableRow(const ExportEntry& entry, const QString& periodKey);

// "时期", "收支", "代码", "名称", "金额", "比例(%)".
QStringList reportTableCaptions();

// The figures of a report file as rows: each category with its share, the
// two totals and the difference, to the cent as the file shows them.
QList<TableRow> reportTableRows(const QString& periodText, const ReportFigures& figures);
