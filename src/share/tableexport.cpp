#include "share/tableexport.h"

#include "share/tablerows.h"
#include "share/tablewriter.h"
#include "store/query.h"

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
    Query cursor(listing.database());
    cursor.setText(listing.text(), listing.values());
    cursor.open();
    TableWriter table(path, captions);
    qint64 written = 0;
    for (; !cursor.eof(); cursor.next(), ++written) {
        table.addRow(listingTableRow(cursor));
        if (written % 4096 == 0)
            reportProgress(progress, written, rows);
    }
    cursor.close();
    table.commit();
}

void writeReportTable(const QString& path, const QString& periodText, const ReportFigures& figures)
{
    TableWriter table(path, reportTableCaptions());
    for (const TableRow& row : reportTableRows(periodText, figures))
        table.addRow(row);
    table.commit();
}
