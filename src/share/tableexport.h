#pragma once

#include "analysis/reportlines.h"
#include "store/progress.h"

#include <QString>
#include <QStringList>

class Query;
class QWidget;

// The save dialog of a table export: CSV or XLSX, starting at suggestedPath.
// Returns the path chosen, with the chosen type's extension when the name has
// neither; empty when the user cancelled.
QString askTableFile(QWidget* parent, const QString& suggestedPath);

// The name of a table beside a text file's name: "….csv".
QString tableFileName(const QString& textFileName);

// Writes the rows of the listing that the grid's query object shows, read
// afresh by a statement of its own, under the grid's captions; rows:
// how many there are, for progress. Throws StoreError, or Cancelled when
// progress stops it; no file is left then.
void writeListingTable(const QString& path, const QStringList& captions, const Query& listing,
                       qint64 rows, const Progress& progress);

// Writes a report's figures as a table. Throws StoreError.
void writeReportTable(const QString& path, const QString& periodText, const ReportFigures& figures);
