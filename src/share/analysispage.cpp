#include "share/analysispage.h"

#include "share/pendingfile.h"
#include "store/numbers.h"

#include <QAbstractAxis>
#include <QAbstractBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QGraphicsView>
#include <QLegend>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPieSeries>
#include <QPieSlice>
#include <functional>

namespace {

QFont pageFont(qreal points, bool bold = false)
{
    QFont font;
    font.setFamilies({analysisPageFontFamily()});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Gives a chart's texts the page's family while the page is painted, and
// their own back afterwards.
class PageFonts final
{
public:
    PageFonts() = default;
    PageFonts(const PageFonts&) = delete;
    PageFonts& operator=(const PageFonts&) = delete;

    ~PageFonts()
    {
        for (auto it = m_restore.rbegin(); it != m_restore.rend(); ++it)
            (*it)();
        flushLayouts();
    }

    void take(QChart* chart)
    {
        swap([chart] { return chart->titleFont(); },
             [chart](const QFont& f) { chart->setTitleFont(f); });
        QLegend* legend = chart->legend();
        swap([legend] { return legend->font(); }, [legend](const QFont& f) { legend->setFont(f); });
        for (QAbstractAxis* axis : chart->axes()) {
            swap([axis] { return axis->labelsFont(); },
                 [axis](const QFont& f) { axis->setLabelsFont(f); });
            swap([axis] { return axis->titleFont(); },
                 [axis](const QFont& f) { axis->setTitleFont(f); });
        }
        for (QAbstractSeries* series : chart->series()) {
            if (auto* pie = qobject_cast<QPieSeries*>(series)) {
                for (QPieSlice* slice : pie->slices())
                    swap([slice] { return slice->labelFont(); },
                         [slice](const QFont& f) { slice->setLabelFont(f); });
            } else if (auto* bars = qobject_cast<QAbstractBarSeries*>(series)) {
                for (QBarSet* set : bars->barSets())
                    swap([set] { return set->labelFont(); },
                         [set](const QFont& f) { set->setLabelFont(f); });
            }
        }
    }

    // Lays the charts out for the fonts they now have.
    static void flushLayouts()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }

private:
    void swap(const std::function<QFont()>& get, const std::function<void(const QFont&)>& set)
    {
        const QFont own = get();
        QFont font = own;
        font.setFamilies({analysisPageFontFamily()});
        set(font);
        m_restore.push_back([set, own] { set(own); });
    }

    std::vector<std::function<void()>> m_restore;
};

// Draws text shrunk as far as needed to fit the width.
void drawFitted(QPainter& painter, const QRectF& box, const QString& text, QFont font, int flags)
{
    const qreal full = font.pointSizeF();
    for (;;) {
        painter.setFont(font);
        if (painter.fontMetrics().horizontalAdvance(text) <= box.width() ||
            font.pointSizeF() <= full * 0.6)
            break;
        font.setPointSizeF(font.pointSizeF() * 0.95);
    }
    painter.drawText(box, flags, text);
}

void drawChart(QPainter& painter, QGraphicsView* view, const QRectF& cell)
{
    if (!view)
        return;
    // The scene as the view shows it, scaled into the cell with its proportions kept.
    view->render(&painter, cell, view->viewport()->rect(), Qt::KeepAspectRatio);
}

void drawSummary(QPainter& painter, const QRectF& box, const AnalysisPage& page)
{
    painter.save();
    const QFont titleFont = pageFont(10, true);
    painter.setFont(titleFont);
    const qreal line = painter.fontMetrics().height();
    const QRectF frame = box.adjusted(0, line / 2, 0, 0);
    painter.setPen(QPen(Qt::gray, 0));
    painter.drawRect(frame);
    const QString title = QStringLiteral("汇总信息");
    const QRectF titleBox(frame.left() + line, box.top(),
                          painter.fontMetrics().horizontalAdvance(title) + line / 2, line);
    painter.fillRect(titleBox, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(titleBox, Qt::AlignCenter, title);

    const QRectF inner = frame.adjusted(line / 2, line, -line / 2, -line / 2);
    const qreal columnWidth = inner.width() / 3;
    const qreal rowHeight = inner.height() / 3;
    for (int i = 0; i < 9; ++i) {
        const QRectF cell(inner.left() + (i % 3) * columnWidth, inner.top() + (i / 3) * rowHeight,
                          columnWidth - line / 4, rowHeight);
        painter.setPen(page.summary[i].color);
        drawFitted(painter, cell, page.summary[i].text, pageFont(9),
                   Qt::AlignLeft | Qt::AlignVCenter);
    }
    painter.restore();
}

} // namespace

QString analysisPageFontFamily()
{
    return QStringLiteral("WenQuanYi Micro Hei");
}

QString analysisPageTitle(const QDate& from, const QDate& to)
{
    return QStringLiteral("分析图表  ") + dateText(from) + QStringLiteral("－至－") + dateText(to);
}

QString analysisPdfFileName(const QDate& from)
{
    return QStringLiteral("%1图表分析.pdf").arg(from.year(), 4, 10, QLatin1Char('0'));
}

bool setAnalysisPageLayout(QPagedPaintDevice& device)
{
    return device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                            QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
}

void paintAnalysisPage(QPainter& painter, const QRectF& area, const AnalysisPage& page)
{
    PageFonts fonts;
    for (QGraphicsView* view : page.charts) {
        if (auto* chartView = qobject_cast<QChartView*>(view); chartView && chartView->chart())
            fonts.take(chartView->chart());
    }
    PageFonts::flushLayouts();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QFont titleFont = pageFont(14, true);
    painter.setFont(titleFont);
    const qreal titleHeight = painter.fontMetrics().height() * 1.6;
    painter.setPen(Qt::black);
    drawFitted(painter, QRectF(area.left(), area.top(), area.width(), titleHeight), page.title,
               titleFont, Qt::AlignHCenter | Qt::AlignTop);

    const QFont footFont = pageFont(8);
    painter.setFont(footFont);
    const qreal footHeight = painter.fontMetrics().height() * 1.4;
    painter.setPen(Qt::darkGray);
    painter.drawText(QRectF(area.left(), area.bottom() - footHeight, area.width(), footHeight),
                     Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("生成日期：") + dateTimeText(page.made));

    // The window's arrangement: two pies, the months across, the years beside the summary.
    const QRectF body(area.left(), area.top() + titleHeight, area.width(),
                      area.height() - titleHeight - footHeight);
    const qreal unit = body.height() / (219 + 192 + 177);
    const qreal half = body.width() / 2;
    const qreal top2 = body.top() + 219 * unit;
    const qreal top3 = top2 + 192 * unit;
    drawChart(painter, page.charts[0], QRectF(body.left(), body.top(), half, 219 * unit));
    drawChart(painter, page.charts[1], QRectF(body.left() + half, body.top(), half, 219 * unit));
    drawChart(painter, page.charts[2], QRectF(body.left(), top2, body.width(), 192 * unit));
    drawChart(painter, page.charts[3], QRectF(body.left(), top3, half, 177 * unit));
    const qreal gap = body.width() / 100;
    drawSummary(painter,
                QRectF(body.left() + half + gap, top3 + gap, half - gap, 177 * unit - 2 * gap),
                page);
    painter.restore();
}

bool printAnalysisPage(QPagedPaintDevice& device, const AnalysisPage& page)
{
    setAnalysisPageLayout(device);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRect area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    paintAnalysisPage(painter, QRectF(QPointF(0, 0), area.size()), page);
    return painter.end();
}

bool writeAnalysisPdf(const QString& path, const AnalysisPage& page, QString* error)
{
    // One page is small: it is made in memory and written through one file.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    bool painted = false;
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(page.title);
        writer.setCreator(QStringLiteral("Pelmora"));
        painted = printAnalysisPage(writer, page);
    }
    PendingFile file(path);
    if (!painted)
        file.fail(QStringLiteral("the page could not be drawn"));
    else if (file.create() && file.write(pdf.data()))
        file.commit();
    if (file.failed() && error)
        *error = file.error();
    return !file.failed();
}
