#include "share/tableexport.h"

#include "share/tablerows.h"
#include "share/tablewriter.h"
#include "store/database.h"
#include "store/query.h"
#include "store/sqltext.h"
#include "store/statement.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

const QString& csvFilter()
{
    static const QString filter = QStringLiteral("CSV 表格 (*.csv)");
    return filter;
}

const QString& xlsxFilter()
{
    static const QString filter = QStringLiteral("XLSX 表格 (*.xlsx)");
    return filter;
}

} // namespace

QString askTableFile(QWidget* parent, const QString& suggestedPath)
{
    QString chosenFilter = csvFilter();
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("导出表格"), suggestedPath,
                                                csvFilter() + QStringLiteral(";;") + xlsxFilter(),
                                                &chosenFilter);
    if (path.isEmpty())
        return path;
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) != 0 &&
        suffix.compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0)
        path += chosenFilter == xlsxFilter() ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    return path;
}

QString tableFileName(const QString& textFileName)
{
    return QFileInfo(textFileName).completeBaseName() + QStringLiteral(".csv");
}

void writeListingTable(const QString& path, const QStringList& captions, const Query& listing,
                       qint64 rows, const Progress& progress)
{
    Database& database = listing.database();
    database.noteStatement(listing.text());
    Statement cursor(database, toSqliteDialect(listing.text()), listing.values());
    TableWriter table(path, captions);
    TableRow row;
    for (qint64 written = 0; cursor.step();) {
        readListingRow(cursor, row);
        table.addRow(row);
        if (++written % 4096 == 0)
            reportProgress(progress, written, rows);
    }
    table.commit();
}

void writeReportTable(const QString& path, const QString& periodText, const ReportFigures& figures)
{
    TableWriter table(path, reportTableCaptions());
    for (const TableRow& row : reportTableRows(periodText, figures))
        table.addRow(row);
    table.commit();
}
