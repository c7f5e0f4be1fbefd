#include "analysis/chartpanel.h"

#include "store/numbers.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QLegend>
#include <QLegendMarker>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QScopedValueRollback>
#include <QToolTip>
#include <QValueAxis>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

QFont withPointSize(QFont font, qreal size, bool bold = false)
{
    font.setPointSizeF(size);
    font.setBold(bold);
    return font;
}

// The length of a pie mark's arm, in pixels.
constexpr double kArmLength = 20;

} // namespace

QList<PlacedPieMark> placePieMarks(const QPointF& centre, double radius, double armLength,
                                   const QList<PieMark>& marks, const QRectF& bounds)
{
    const double ring = radius + armLength;
    struct Slot
    {
        qsizetype index;
        QPointF anchor; // on the arc
        double y;       // of the text's underside
        double height;
    };
    QList<Slot> sides[2]; // right, left
    for (qsizetype i = 0; i < marks.size(); ++i) {
        const double a = qDegreesToRadians(marks[i].angle);
        const QPointF dir(std::sin(a), -std::cos(a));
        const bool left = dir.x() < 0;
        sides[left ? 1 : 0].append(
            {i, centre + dir * radius, centre.y() + dir.y() * ring, marks[i].size.height()});
    }
    QList<PlacedPieMark> placed(marks.size());
    for (int side = 0; side < 2; ++side) {
        QList<Slot>& slots = sides[side];
        std::sort(slots.begin(), slots.end(),
                  [](const Slot& a, const Slot& b) { return a.y < b.y; });
        // Down from the top, each text below the one before; then up from the
        // bottom where that ran past the bounds; then down again from the top.
        for (qsizetype i = 0; i < slots.size(); ++i) {
            const double floor = i == 0 ? bounds.top() : slots[i - 1].y;
            slots[i].y = std::max(slots[i].y, floor + slots[i].height);
        }
        for (qsizetype i = slots.size() - 1; i >= 0; --i) {
            const double ceiling =
                i == slots.size() - 1 ? bounds.bottom() : slots[i + 1].y - slots[i + 1].height;
            slots[i].y = std::min(slots[i].y, ceiling);
        }
        for (qsizetype i = 0; i < slots.size(); ++i) {
            const double floor = i == 0 ? bounds.top() : slots[i - 1].y;
            slots[i].y = std::max(slots[i].y, floor + slots[i].height);
        }
        const double sign = side == 0 ? 1 : -1;
        for (const Slot& slot : std::as_const(slots)) {
            // On the ring at that height, so that the text stays clear of the pie.
            const double dy = slot.y - centre.y();
            const double dx = std::abs(dy) < ring ? std::sqrt(ring * ring - dy * dy) : 0;
            const QPointF elbow(centre.x() + sign * dx, slot.y);
            const double width = marks[slot.index].size.width();
            const QPointF end(elbow.x() + sign * width, slot.y);
            PlacedPieMark& mark = placed[slot.index];
            mark.arm << slot.anchor << elbow << end;
            mark.text = QRectF(QPointF(std::min(elbow.x(), end.x()), slot.y - slot.height),
                               QSizeF(width, slot.height));
        }
    }
    return placed;
}

ChartPanel::ChartPanel(Kind kind, QWidget* parent) : QChartView(parent), m_kind(kind)
{
    auto* c = new QChart;
    c->setAnimationOptions(QChart::NoAnimation);
    c->setBackgroundRoundness(0);
    c->setDropShadowEnabled(false);
    c->setMargins(QMargins(4, 2, 4, 2));
    c->setTitleFont(withPointSize(font(), 10, true));
    c->legend()->setFont(withPointSize(font(), 8));
    setChart(c);
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::NoFrame);

    if (m_kind == Kind::Pie) {
        // Slice names in a column beside the pie, so the marks keep the room around it.
        c->legend()->setAlignment(Qt::AlignRight);
    } else {
        // Beside the plot: the panels are low, and the marks need the height.
        c->legend()->setAlignment(Qt::AlignRight);
        m_barSeries = new QBarSeries;
        m_barSeries->setLabelsVisible(true);
        m_barSeries->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        m_barSeries->setLabelsPrecision(15);
        m_barSeries->setBarWidth(0.8);
        c->addSeries(m_barSeries);
        m_categoryAxis = new QBarCategoryAxis;
        // Upright year labels fit their place in full; "..." would tell nothing.
        m_categoryAxis->setTruncateLabels(false);
        m_categoryAxis->setLabelsFont(withPointSize(font(), 8));
        m_valueAxis = new QValueAxis;
        m_valueAxis->setLabelsFont(withPointSize(font(), 8));
        m_valueAxis->setLabelFormat(QStringLiteral("%.15g"));
        c->addAxis(m_categoryAxis, Qt::AlignBottom);
        c->addAxis(m_valueAxis, Qt::AlignLeft);
        m_barSeries->attachAxis(m_categoryAxis);
        m_barSeries->attachAxis(m_valueAxis);
        fitValueAxis();
        // Where bars are too narrow for legible marks (many years), hovering shows the figure.
        connect(m_barSeries, &QBarSeries::hovered, this,
                [this](bool status, int index, QBarSet* set) {
                    if (!status) {
                        QToolTip::hideText();
                        return;
                    }
                    const QStringList categories = m_categoryAxis->categories();
                    QToolTip::showText(QCursor::pos(),
                                       categories.value(index) + QLatin1Char(' ') + set->label() +
                                           QStringLiteral("：") + numberText(set->at(index)),
                                       this);
                });
        // The plot's size decides whether the marks stand upright.
        connect(c, &QChart::plotAreaChanged, this, &ChartPanel::fitValueAxis);
    }
}

const QList<QColor>& ChartPanel::palette()
{
    // Distinct, evenly bright hues that stay apart in a pie of many slices.
    static const QList<QColor> colours = {
        QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b), QColor(0xe1, 0x57, 0x59),
        QColor(0x76, 0xb7, 0xb2), QColor(0x59, 0xa1, 0x4f), QColor(0xed, 0xc9, 0x48),
        QColor(0xb0, 0x7a, 0xa1), QColor(0xff, 0x9d, 0xa7), QColor(0x9c, 0x75, 0x5f),
        QColor(0xba, 0xb0, 0xac), QColor(0x2f, 0x4b, 0x7c), QColor(0x8c, 0xd1, 0x7d),
        QColor(0xd3, 0x72, 0x95), QColor(0x49, 0x98, 0x94), QColor(0xf1, 0xce, 0x63),
        QColor(0x86, 0xbc, 0xb6)};
    return colours;
}

QString ChartPanel::percentMark(double fraction)
{
    if (!std::isfinite(fraction))
        fraction = 0;
    return QString::number(fraction * 100, 'f', 1) + QLatin1Char('%');
}

int ChartPanel::addSeries(const QString& name)
{
    Series s;
    s.name = name;
    if (m_kind == Kind::Pie) {
        Q_ASSERT(m_series.isEmpty());
        s.pie = new QPieSeries;
        s.pie->setObjectName(name);
        // Small enough that marks on their arms stay inside the plot area.
        s.pie->setPieSize(0.6);
        s.pie->setHorizontalPosition(0.5);
        chart()->addSeries(s.pie);
    } else {
        s.bars = new QBarSet(QString());
        s.bars->setObjectName(name);
        // Marks sit above the bars, on the white background: black reads there.
        s.bars->setLabelColor(Qt::black);
        s.bars->setLabelFont(withPointSize(font(), 7));
        s.bars->setColor(palette().at(m_series.size() % palette().size()));
        s.bars->setBorderColor(Qt::transparent);
        m_barSeries->append(s.bars);
    }
    m_series.append(s);
    return static_cast<int>(m_series.size() - 1);
}

void ChartPanel::clearSeries(int series)
{
    m_series[series].points.clear();
    changed();
}

void ChartPanel::addPoint(int series, double value, const QString& label, const QColor& color)
{
    m_series[series].points.append({value, label, color});
    changed();
}

void ChartPanel::changed()
{
    m_dirty = true;
    // A hidden panel waits until it is shown; a visible one draws after the
    // current handler, once, however many points it adds.
    if (isVisible() && !m_syncQueued) {
        m_syncQueued = true;
        QMetaObject::invokeMethod(this, &ChartPanel::sync, Qt::QueuedConnection);
    }
}

void ChartPanel::showEvent(QShowEvent* event)
{
    sync();
    QChartView::showEvent(event);
}

void ChartPanel::sync()
{
    m_syncQueued = false;
    if (!m_dirty)
        return;
    m_dirty = false;
    if (m_kind == Kind::Pie) {
        for (Series& s : m_series)
            syncPie(s);
    } else {
        syncBars();
    }
}

void ChartPanel::syncPie(Series& s)
{
    // The same categories as last time (the usual case): the slices are kept
    // and take their new values, which spares building their items again.
    QList<QPieSlice*> slices = s.pie->slices();
    if (slices.size() != s.points.size()) {
        s.pie->clear();
        slices.clear();
        for (qsizetype i = 0; i < s.points.size(); ++i) {
            auto* slice = new QPieSlice;
            slice->setPen(QPen(Qt::white, 1));
            // The slice keeps its mark's text, font and colour; drawForeground draws it.
            slice->setLabelVisible(false);
            slice->setLabelFont(withPointSize(font(), 8));
            slices << slice;
        }
        s.pie->append(slices);
    }
    for (qsizetype i = 0; i < slices.size(); ++i) {
        const Point& point = s.points[i];
        slices[i]->setValue(point.value);
        slices[i]->setBrush(point.color.isValid() ? point.color
                                                  : palette().at(i % palette().size()));
    }
    // The slice's own label is its mark; the legend keeps the category name.
    const QList<QLegendMarker*> markers = chart()->legend()->markers(s.pie);
    for (qsizetype i = 0; i < slices.size(); ++i) {
        QPieSlice* slice = slices[i];
        slice->setLabel(percentMark(slice->percentage()));
        if (i < markers.size())
            markers[i]->setLabel(s.points[i].label);
    }
    // The marks move with their slices, also where no slice was redrawn.
    viewport()->update();
}

void ChartPanel::drawForeground(QPainter* painter, const QRectF& rect)
{
    QChartView::drawForeground(painter, rect);
    if (m_kind != Kind::Pie || m_series.isEmpty())
        return;
    const QPieSeries* pie = m_series.first().pie;
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    const QPointF centre(plot.left() + plot.width() * pie->horizontalPosition(),
                         plot.top() + plot.height() * pie->verticalPosition());
    const double radius = std::min(plot.width(), plot.height()) / 2 * pie->pieSize();
    // A slice of nothing has no width: its mark would only crowd its neighbours'.
    QList<QPieSlice*> shown;
    QList<PieMark> marks;
    for (QPieSlice* slice : pie->slices()) {
        if (slice->value() == 0)
            continue;
        const QFontMetricsF metrics(slice->labelFont());
        shown << slice;
        marks << PieMark{slice->startAngle() + slice->angleSpan() / 2,
                         QSizeF(metrics.horizontalAdvance(slice->label()), metrics.height())};
    }
    const QList<PlacedPieMark> placed = placePieMarks(centre, radius, kArmLength, marks, plot);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // A printer or a PDF of another resolution would size the points anew: the
    // marks keep the size they have beside the chart's other texts.
    const qreal scale = qreal(logicalDpiY()) / painter->device()->logicalDpiY();
    for (qsizetype i = 0; i < placed.size(); ++i) {
        painter->setPen(QPen(shown[i]->labelColor(), 1));
        QFont font = shown[i]->labelFont();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * scale);
        painter->setFont(font);
        painter->drawPolyline(placed[i].arm);
        painter->drawText(placed[i].text, Qt::AlignCenter, shown[i]->label());
    }
    painter->restore();
}

void ChartPanel::syncBars()
{
    QStringList categories;
    for (Series& s : m_series) {
        QList<qreal> values;
        values.reserve(s.points.size());
        for (qsizetype i = 0; i < s.points.size(); ++i) {
            values << s.points[i].value;
            // The points of all bar series share the labels along the axis.
            if (i >= categories.size())
                categories << s.points[i].label;
            if (s.points[i].color.isValid())
                s.bars->setColor(s.points[i].color);
        }
        // As many bars as before (twelve months, the same years): new values in place.
        if (s.bars->count() == values.size()) {
            for (qsizetype i = 0; i < values.size(); ++i) {
                if (s.bars->at(i) != values[i])
                    s.bars->replace(i, values[i]);
            }
        } else {
            s.bars->remove(0, s.bars->count());
            s.bars->append(values);
        }
    }
    if (m_categoryAxis->categories() != categories) {
        m_categoryAxis->clear();
        if (!categories.isEmpty())
            m_categoryAxis->append(categories);
    }
    fitValueAxis();
}

void ChartPanel::fitValueAxis()
{
    // Setting the range moves the plot area, which calls back here.
    if (!m_valueAxis || m_fitting)
        return;
    const QScopedValueRollback<bool> fitting(m_fitting, true);
    double low = 0;
    double high = 0;
    for (const Series& s : std::as_const(m_series)) {
        for (int i = 0; i < s.bars->count(); ++i) {
            low = std::min(low, s.bars->at(i));
            high = std::max(high, s.bars->at(i));
        }
    }
    if (high <= low)
        high = low + 1;
    // Marks stand beyond the bar ends; when the bars are narrower than the widest
    // mark, the marks turn upright so that they do not run into each other.
    const QFontMetrics metrics(m_series.isEmpty() ? font() : m_series.first().bars->labelFont());
    // Marks are digits, a point and a sign: the digit width times the length is
    // close enough, and far cheaper than shaping every text.
    qsizetype longest = 0;
    for (const Series& s : std::as_const(m_series)) {
        for (int i = 0; i < s.bars->count(); ++i)
            longest = std::max(
                longest,
                QString::number(s.bars->at(i), 'g', m_barSeries->labelsPrecision()).size());
    }
    const int widest = static_cast<int>(longest) * metrics.horizontalAdvance(QLatin1Char('0'));
    const QRectF plot = chart()->plotArea();
    const qsizetype slots =
        std::max<qsizetype>(1, m_categoryAxis->count()) * std::max<qsizetype>(1, m_series.size());
    const double barPixels = plot.width() / slots * m_barSeries->barWidth();
    const bool upright = plot.width() > 0 && widest + 2 > barPixels;
    const int markPixels = (upright ? widest : metrics.height()) + 6;
    // Outside the bars the marks are black on white; in a plot too low for
    // upright marks above the bars they go inside, white on the bar's colour.
    const bool inside = upright && plot.height() < markPixels * 2;
    // A bar narrower than a line of text cannot carry a legible mark (twenty
    // years side by side): then the figure shows when the pointer is on the bar.
    m_barSeries->setLabelsVisible(plot.width() <= 0 || barPixels + 1 >= metrics.height());
    m_barSeries->setLabelsAngle(upright ? -90 : 0);
    // Axis labels too wide for their place (many years) stand upright as well.
    const QFontMetrics axisMetrics(m_categoryAxis->labelsFont());
    int widestLabel = 0;
    for (const QString& label : m_categoryAxis->categories())
        widestLabel = std::max(widestLabel, axisMetrics.horizontalAdvance(label));
    const double labelPixels = plot.width() / std::max<qsizetype>(1, m_categoryAxis->count());
    m_categoryAxis->setLabelsAngle(plot.width() > 0 && widestLabel + 4 > labelPixels ? -90 : 0);
    m_barSeries->setLabelsPosition(inside ? QAbstractBarSeries::LabelsInsideEnd
                                          : QAbstractBarSeries::LabelsOutsideEnd);
    for (const Series& s : std::as_const(m_series))
        s.bars->setLabelColor(inside ? Qt::white : Qt::black);
    // The share of the axis the marks need, from the plot's height in pixels.
    double room = 0.15;
    if (inside)
        room = 0.05;
    else if (plot.height() > markPixels * 1.5)
        room = markPixels / (plot.height() - markPixels);
    const double span = high - low;
    const std::pair<double, double> range(low < 0 ? low - span * room : 0,
                                          high > 0 ? high + span * room : 0);
    // Each new range lays the chart out again: only when it changes.
    if (range != m_range) {
        m_range = range;
        m_valueAxis->setRange(range.first, range.second);
        m_valueAxis->applyNiceNumbers();
    }
}

void ChartPanel::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    fitValueAxis();
}

void ChartPanel::setSeriesTitle(int series, const QString& title)
{
    Series& s = m_series[series];
    if (s.bars)
        s.bars->setLabel(title);
    else
        s.pie->setName(title);
}

QString ChartPanel::seriesTitle(int series) const
{
    const Series& s = m_series[series];
    return s.bars ? s.bars->label() : s.pie->name();
}

QStringList ChartPanel::titleLines() const
{
    const QString title = chart()->title();
    return title.isEmpty() ? QStringList() : title.split(QLatin1Char('\n'));
}

void ChartPanel::setTitleLines(const QStringList& lines)
{
    chart()->setTitle(lines.join(QLatin1Char('\n')));
}

int ChartPanel::pointCount(int series) const
{
    return static_cast<int>(m_series[series].points.size());
}

double ChartPanel::pointValue(int series, int index) const
{
    return m_series[series].points.at(index).value;
}

QString ChartPanel::pointLabel(int series, int index) const
{
    return m_series[series].points.at(index).label;
}

// The drawn state: what is shown once pending points are handed over.
QColor ChartPanel::pointColor(int series, int index) const
{
    const_cast<ChartPanel*>(this)->sync();
    const Series& s = m_series[series];
    return s.pie ? s.pie->slices().at(index)->brush().color() : s.bars->color();
}

QString ChartPanel::pointMark(int series, int index) const
{
    const_cast<ChartPanel*>(this)->sync();
    const Series& s = m_series[series];
    if (s.pie)
        return s.pie->slices().at(index)->label();
    return QString::number(s.bars->at(index), 'g', m_barSeries->labelsPrecision());
}

QColor ChartPanel::markColor(int series) const
{
    const_cast<ChartPanel*>(this)->sync();
    const Series& s = m_series[series];
    if (s.bars)
        return s.bars->labelColor();
    return s.pie->slices().isEmpty() ? QColor() : s.pie->slices().first()->labelColor();
}

QStringList ChartPanel::legendTexts() const
{
    const_cast<ChartPanel*>(this)->sync();
    QStringList texts;
    for (QLegendMarker* marker : chart()->legend()->markers())
        texts << marker->label();
    return texts;
}
