#pragma once

#include <QChartView>
#include <QColor>
#include <QList>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <utility>

class QBarCategoryAxis;
class QBarSeries;
class QBarSet;
class QPieSeries;
class QValueAxis;

// Where the marks of a pie go. Each mark hangs on an arm that runs out from the
// middle of its slice's arc by armLength, then along the underside of its text,
// which points away from the pie. Marks that would overlap their neighbours on
// the same side move up or down along the ring at the arms' ends, within bounds.
struct PieMark
{
    double angle = 0; // degrees clockwise from 12 o'clock, the middle of the slice
    QSizeF size;      // of the text
};
struct PlacedPieMark
{
    QPolygonF arm;
    QRectF text;
};
QList<PlacedPieMark> placePieMarks(const QPointF& centre, double radius, double armLength,
                                   const QList<PieMark>& marks, const QRectF& bounds);

// A chart panel: pie or bar series with titles, a legend and value or
// percentage marks. A pie panel has one series; a bar panel's series stand
// side by side at each label, in the order they were added.
//
// Points are collected first and handed to the drawing in one batch when the
// panel is shown (or asked what it draws): adding points one by one to Qt
// Charts lays the whole chart out again each time.
class ChartPanel final : public QChartView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChartPanel)

public:
    enum class Kind
    {
        Pie,
        Bar
    };

    explicit ChartPanel(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }

    // Adds a series (named for tests and the legend's owner) and returns its index.
    int addSeries(const QString& name);
    int seriesCount() const { return static_cast<int>(m_series.size()); }

    void clearSeries(int series);
    // An invalid colour is the automatic one: the next colour of the palette.
    void addPoint(int series, double value, const QString& label, const QColor& color = QColor());
    void setSeriesTitle(int series, const QString& title);
    QString seriesTitle(int series) const;

    // The chart's title as lines of text (shown joined by line breaks).
    QStringList titleLines() const;
    void setTitleLines(const QStringList& lines);

    int pointCount(int series) const;
    double pointValue(int series, int index) const;
    QString pointLabel(int series, int index) const;
    QColor pointColor(int series, int index) const;
    // The mark drawn on the point: the percentage of a slice, the value of a bar.
    QString pointMark(int series, int index) const;
    // The colour of a series' marks.
    QColor markColor(int series) const;
    // The legend texts of a pie (the slice labels) or a bar panel (the series titles).
    QStringList legendTexts() const;

    // The colours handed out for automatic points, in order.
    static const QList<QColor>& palette();
    // "83.3%": the mark of a slice that is the given fraction of its pie.
    static QString percentMark(double fraction);

    // Hands pending points to the drawing now.
    void sync();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    struct Point
    {
        double value = 0;
        QString label;
        QColor color; // invalid: automatic
    };
    struct Series
    {
        QString name;
        QPieSeries* pie = nullptr;
        QBarSet* bars = nullptr;
        QList<Point> points;
    };

    void changed();
    void syncPie(Series& s);
    void syncBars();
    void fitValueAxis();

    Kind m_kind;
    QList<Series> m_series;
    QBarSeries* m_barSeries = nullptr;
    QBarCategoryAxis* m_categoryAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    std::pair<double, double> m_range{0, 0}; // asked of the value axis before rounding
    bool m_fitting = false;
    bool m_dirty = false;
    bool m_syncQueued = false;
};
