#pragma once

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QRectF>
#include <QString>
#include <array>

class QGraphicsView;
class QPagedPaintDevice;
class QPainter;

// What the analysis page shows, as the analysis window holds it.
struct AnalysisPage
{
    struct Text
    {
        QString text;
        QColor color = Qt::black;
    };

    QString title; // analysisPageTitle()
    // The income pie, the expense pie, the monthly bars and the yearly bars, as
    // drawn on screen (a chart panel hands its pending points over when shown).
    std::array<QGraphicsView*, 4> charts{};
    // Row by row (income, expense, balance), each the date range, the chart
    // year and all years.
    std::array<Text, 9> summary;
    QDateTime made;
};

// The family of every text on the page: its PDF text maps back to the
// characters drawn, so a reader's search finds them.
QString analysisPageFontFamily();

// "分析图表  2005-01-01－至－2005-12-31"
QString analysisPageTitle(const QDate& from, const QDate& to);
// "2005图表分析.pdf": the year of the chart period's start.
QString analysisPdfFileName(const QDate& from);

// Landscape A4 with margins, for a printer or a PDF writer before painting.
bool setAnalysisPageLayout(QPagedPaintDevice& device);

// Paints the page into area (in the painter's coordinates) as vectors: the
// title, the four charts, the summary figures in their colours and the date
// the page was made.
void paintAnalysisPage(QPainter& painter, const QRectF& area, const AnalysisPage& page);

// Lays out the device's page and paints it there (a print preview's printer).
bool printAnalysisPage(QPagedPaintDevice& device, const AnalysisPage& page);

// Writes the page as a one-page PDF at path, whole or not at all (PendingFile).
// On failure returns false and sets the error text.
bool writeAnalysisPdf(const QString& path, const AnalysisPage& page, QString* error = nullptr);
