// The drawn controls: lamp, switch, strip chart and graph.
#include <QMouseEvent>
#include <QPainter>
#include <QVarLengthArray>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <deque>

#include "platform/ui_internal.h"

namespace platform {

LedWidget::LedWidget(QColor on, QWidget* parent) : QWidget(parent), onColor_(on)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LedWidget::setOn(bool on)
{
    if (on_ != on) {
        on_ = on;
        update();
    }
}

void LedWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const auto draw = [this](QPainter& painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        const int d = std::min(width(), height()) - 2;
        QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
        QRadialGradient g(r.center() - QPointF(d / 5.0, d / 5.0), d);
        const QColor base = on_ ? onColor_ : QColor(70, 70, 70);
        g.setColorAt(0, base.lighter(on_ ? 170 : 140));
        g.setColorAt(1, base.darker(on_ ? 110 : 160));
        painter.setBrush(g);
        painter.setPen(QPen(QColor(40, 40, 40), 1.2));
        painter.drawEllipse(r);
    };
    // Printed, the lamp stays a drawing.
    if (!p.paintEngine() || p.paintEngine()->type() != QPaintEngine::Raster) {
        draw(p);
        return;
    }
    // On screen the receive lamp lights and goes out often: each state is
    // drawn once per size and copied after that.
    QPixmap& face = faces_[on_ ? 1 : 0];
    const qreal ratio = devicePixelRatioF();
    if (face.isNull() || face.deviceIndependentSize() != QSizeF(size()) ||
        face.devicePixelRatio() != ratio) {
        face = QPixmap(size() * ratio);
        face.setDevicePixelRatio(ratio);
        face.fill(Qt::transparent);
        QPainter onFace(&face);
        draw(onFace);
    }
    p.drawPixmap(0, 0, face);
}

ReadingWidget::ReadingWidget(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReadingWidget::setText(const QString& text)
{
    if (text_ == text)
        return;
    text_ = text;
    // Drawn at once: a reading shows without waiting for the event loop,
    // and the process is not woken once more for it. Readings in a burst
    // are drawn together with the last one.
    if (sinceDrawn_.isValid() && sinceDrawn_.elapsed() < kBurstMs) {
        update();
    } else {
        sinceDrawn_.start();
        repaint();
    }
}

const ReadingWidget::Glyph& ReadingWidget::glyph(QChar ch, const QColor& ink)
{
    auto found = glyphs_.find(ch.unicode());
    if (found != glyphs_.end())
        return found->second;
    const QFontMetricsF metrics(font());
    const qreal ratio = devicePixelRatioF();
    const int pad = glyphPad(metrics);
    Glyph g;
    g.advance = metrics.horizontalAdvance(ch);
    const QSizeF size(g.advance + 2 * pad, metrics.height() + 2 * pad);
    g.picture = QPixmap((size * ratio).toSize());
    g.picture.setDevicePixelRatio(ratio);
    g.picture.fill(Qt::transparent);
    QPainter p(&g.picture);
    p.setFont(font());
    p.setPen(ink);
    p.drawText(QPointF(pad, pad + metrics.ascent()), QString(ch));
    return glyphs_.emplace(ch.unicode(), std::move(g)).first->second;
}

int ReadingWidget::glyphPad(const QFontMetricsF& metrics)
{
    // Room for strokes that reach past a character's advance.
    return static_cast<int>(std::ceil(metrics.height() / 6.0));
}

void ReadingWidget::paintEvent(QPaintEvent*)
{
    static const QColor face(0x10, 0x20, 0x2c);
    static const QColor edge(0x46, 0x55, 0x60);
    static const QColor figures(0x7c, 0xfc, 0x9a);
    QPainter p(this);
    // Filled, not stroked: the raster engine fills rectangles far faster.
    p.fillRect(rect(), edge);
    p.fillRect(rect().adjusted(1, 1, -1, -1), face);
    const QColor ink = isEnabled() ? figures : figures.darker(180);
    const QRect area = rect().adjusted(8, 2, -8, -2);
    const bool plain = std::all_of(text_.begin(), text_.end(),
                                   [](QChar ch) { return ch.unicode() < 0x100 && ch.isPrint(); });
    // Printed or exported panels keep their figures as text, sharp at any
    // resolution.
    const bool onScreen = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster;
    if (!plain || !onScreen) {
        p.setPen(ink);
        p.setFont(font());
        p.drawText(area, Qt::AlignRight | Qt::AlignVCenter, text_);
        return;
    }
    // Figures this large are drawn from outlines each time; a reading that
    // changes many times a second is put together from characters drawn once.
    const qreal ratio = devicePixelRatioF();
    if (glyphFont_ != font() || glyphRatio_ != ratio || glyphInk_ != ink) {
        glyphs_.clear();
        glyphFont_ = font();
        glyphRatio_ = ratio;
        glyphInk_ = ink;
    }
    QVarLengthArray<const Glyph*, 32> line;
    qreal width = 0;
    for (QChar ch : text_) {
        line.append(&glyph(ch, ink));
        width += line.back()->advance;
    }
    const QFontMetricsF metrics(font());
    const int pad = glyphPad(metrics);
    const qreal top = area.center().y() + 0.5 - metrics.height() / 2.0 - pad;
    qreal x = area.right() + 1 - width - pad;
    p.setClipRect(rect().adjusted(1, 1, -1, -1));
    for (const Glyph* g : line) {
        p.drawPixmap(QPointF(std::round(x), std::round(top)), g->picture);
        x += g->advance;
    }
}

SwitchWidget::SwitchWidget(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SwitchWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(1, 1, width() - 2, height() - 2);
    const bool on = isChecked();
    QColor trackColor = on ? QColor(46, 160, 67) : QColor(150, 150, 150);
    if (!isEnabled())
        trackColor = trackColor.lighter(150);
    p.setPen(Qt::NoPen);
    p.setBrush(trackColor);
    p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const double k = track.height() - 4;
    const double x = on ? track.right() - k - 2 : track.left() + 2;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, k, k));
    p.setPen(Qt::white);
    QFont f = font();
    f.setPointSizeF(std::max(6.0, f.pointSizeF() * 0.8));
    f.setBold(true);
    p.setFont(f);
    const QRectF textRect = on ? QRectF(track.left() + 6, track.top(), track.width() - k - 8, track.height())
                               : QRectF(track.left() + k + 4, track.top(), track.width() - k - 8, track.height());
    p.drawText(textRect, Qt::AlignCenter, on ? "ON" : "OFF");
    if (hasFocus()) {
        // Where the keyboard is: a ring in the highlight colour round the track.
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    }
}

// ---------------------------------------------------------------- strip chart

namespace {

// What the full line shows of one pixel column of a long span: for each
// stretch between gaps its first, lowest, highest and last point, in time
// order. A gap marks where a value was missing, so no line crosses it.
struct Stretch {
    QCPGraphData first, low, high, last;
    bool gap = false;
};

struct Column {
    long long index = 0;
    QVarLengthArray<Stretch, 1> stretches;

    void add(const QCPGraphData& p)
    {
        if (std::isnan(p.value)) {
            if (stretches.empty() || !stretches.back().gap)
                stretches.append(Stretch{p, p, p, p, true});
            return;
        }
        if (stretches.empty() || stretches.back().gap) {
            stretches.append(Stretch{p, p, p, p, false});
            return;
        }
        Stretch& s = stretches.back();
        s.last = p;
        if (p.value < s.low.value)
            s.low = p;
        if (p.value > s.high.value)
            s.high = p;
    }
};

// A long span cut into columns one pixel wide, kept in step with the data:
// columns are fixed in sample numbers, so a scroll moves none of them and a
// new sample touches only the last; the first is redone as it loses points.
class Columns {
public:
    void forget() { width_ = 0.0; }

    void update(const QCPGraphDataContainer& data, double width)
    {
        if (data.isEmpty()) {
            columns_.clear();
            width_ = 0.0;
            return;
        }
        const double first = data.constBegin()->key;
        const double last = (data.constEnd() - 1)->key;
        if (width != width_ || columns_.empty() || first < firstKey_ || last < lastKey_) {
            columns_.clear();
            width_ = width;
            for (auto it = data.constBegin(); it != data.constEnd(); ++it)
                add(*it);
        } else {
            auto it = data.constEnd();
            while (it != data.constBegin() && (it - 1)->key > lastKey_)
                --it;
            for (; it != data.constEnd(); ++it)
                add(*it);
            const long long firstIndex = indexOf(first);
            while (!columns_.empty() && columns_.front().index < firstIndex)
                columns_.pop_front();
            if (first != firstKey_ && !columns_.empty() && columns_.front().index == firstIndex) {
                Column again{firstIndex, {}};
                for (auto at = data.constBegin(); at != data.constEnd() && indexOf(at->key) == firstIndex; ++at)
                    again.add(*at);
                columns_.front() = std::move(again);
            }
        }
        firstKey_ = first;
        lastKey_ = last;
    }

    // Each stretch as one upright line from its lowest to its highest point,
    // reaching to the last point before it unless a gap lies between.
    template <typename ToPixels>
    void bars(QVector<QLineF>& out, ToPixels toPixels) const
    {
        bool joined = false;
        double before = 0.0;
        for (const Column& c : columns_)
            for (const Stretch& s : c.stretches) {
                if (s.gap) {
                    joined = false;
                    continue;
                }
                double low = s.low.value, high = s.high.value;
                if (joined) {
                    low = std::min(low, before);
                    high = std::max(high, before);
                }
                const double key = (s.first.key + s.last.key) / 2.0;
                out.append(QLineF(toPixels(key, low), toPixels(key, high)));
                joined = true;
                before = s.last.value;
            }
    }

private:
    long long indexOf(double key) const { return static_cast<long long>(std::floor(key / width_)); }

    void add(const QCPGraphData& p)
    {
        const long long index = indexOf(p.key);
        if (columns_.empty() || columns_.back().index != index)
            columns_.push_back(Column{index, {}});
        columns_.back().add(p);
    }

    std::deque<Column> columns_;
    double width_ = 0.0;
    double firstKey_ = 0.0;
    double lastKey_ = 0.0;
};

// A trace drawn in pixels as separate line segments rather than as one
// polyline: an antialiased wide polyline of many points costs a second per
// redraw where its segments cost a few milliseconds, to the eye the same
// line. QCustomPlot does the same with phFastPolylines, but never in an
// image; vector output (PDF, SVG, print) keeps the polyline.
//
// A span of more points than pixels across zigzags within each pixel column,
// where the line shows no more than the column's lowest to highest point and
// its joins to the neighbours: such a span is drawn as one filled bar per
// column, from columns a new sample keeps up to date at the cost of one. Ten
// full traces then redraw in well under two milliseconds, not thirty.
class StripTrace final : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

    // The data changed other than at its ends.
    void forget() { columns_.forget(); }

protected:
    void draw(QCPPainter* painter) override
    {
        const QCPAxis* keys = keyAxis();
        const double across = keys ? keys->axisRect()->width() * painter->deviceTransform().m11() : 0.0;
        // Short spans, vector output and styles other than a plain line are
        // drawn point by point.
        if (!keys || !valueAxis() || across < 1.0 || keys->range().size() <= across ||
            painter->deviceTransform().type() > QTransform::TxScale ||
            painter->modes().testFlag(QCPPainter::pmVectorized) || lineStyle() != lsLine ||
            !scatterStyle().isNone() || brush().style() != Qt::NoBrush) {
            QCPGraph::draw(painter);
            return;
        }
        columns_.update(*data(), keys->range().size() / across);
        segments_.clear();
        columns_.bars(segments_, [this](double key, double value) { return coordsToPixels(key, value); });
        const QPen line = pen();
        if (line.color().alpha() == 0)
            return;
        // Whole device pixels, filled at once: the raster engine's fastest
        // drawing, and as wide as the pen.
        const QTransform device = painter->deviceTransform();
        const double half = line.widthF() * device.m11() / 2.0;
        rects_.clear();
        for (const QLineF& bar : segments_) {
            const QPointF a = device.map(bar.p1()), b = device.map(bar.p2());
            const int left = static_cast<int>(std::lround(a.x() - half));
            const int right = std::max(left + 1, static_cast<int>(std::lround(a.x() + half)));
            const int top = static_cast<int>(std::lround(std::min(a.y(), b.y()) - half));
            const int bottom = std::max(top + 1, static_cast<int>(std::lround(std::max(a.y(), b.y()) + half)));
            rects_.append(QRect(left, top, right - left, bottom - top));
        }
        const qreal ratio = painter->device()->devicePixelRatioF();
        painter->save();
        painter->setWorldTransform(QTransform::fromScale(1.0 / ratio, 1.0 / ratio));
        painter->setPen(Qt::NoPen);
        painter->setBrush(line.color());
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->drawRects(rects_);
        painter->restore();
    }

    void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& points) const override
    {
        if (painter->modes().testFlag(QCPPainter::pmVectorized) ||
            painter->pen().style() != Qt::SolidLine) {
            QCPGraph::drawLinePlot(painter, points);
            return;
        }
        if (painter->pen().color().alpha() == 0)
            return;
        applyDefaultAntialiasingHint(painter);
        // A value that is not a number leaves a gap, as in the polyline.
        const auto drawn = [](const QPointF& p) {
            return std::isfinite(p.x()) && std::isfinite(p.y());
        };
        segments_.clear();
        for (qsizetype i = 1; i < points.size(); ++i)
            if (drawn(points[i - 1]) && drawn(points[i]))
                segments_.append(QLineF(points[i - 1], points[i]));
        painter->drawLines(segments_);
    }

private:
    Columns columns_;
    QVector<QRect> rects_;             // kept between redraws
    mutable QVector<QLineF> segments_;  // kept between redraws
};

}  // namespace

StripChart::StripChart(QCustomPlot* plot, int traces, int pointsPerScreen,
                       const std::vector<QColor>& colors)
    : plot_(plot), traces_(traces), pointsPerScreen_(std::max(1, pointsPerScreen))
{
    for (int t = 0; t < traces_; ++t) {
        QCPGraph* g = new StripTrace(plot_->xAxis, plot_->yAxis);
        QColor c = t < static_cast<int>(colors.size()) ? colors[t] : QColor(Qt::black);
        g->setPen(QPen(c, 1.6));
        g->setAdaptiveSampling(true);
    }
    plot_->xAxis->setLabel("Sample");
    updateXRange();
}

void StripChart::append(const float* values, int count)
{
    if (!values || count <= 0)
        return;
    const int points = count / traces_;
    for (int p = 0; p < points; ++p) {
        const double key = static_cast<double>(nextKey_++);
        for (int t = 0; t < traces_; ++t)
            plot_->graph(t)->addData(key, static_cast<double>(values[p * traces_ + t]));
    }
    // Only one screen of points is kept, so the history cannot grow.
    const double first = static_cast<double>(nextKey_ - pointsPerScreen_);
    for (int t = 0; t < traces_; ++t)
        plot_->graph(t)->data()->removeBefore(first);
    updateXRange();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void StripChart::clear()
{
    for (int t = 0; t < traces_; ++t) {
        plot_->graph(t)->data()->clear();
        static_cast<StripTrace*>(plot_->graph(t))->forget();
    }
    nextKey_ = 0;
    updateXRange();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void StripChart::setPointsPerScreen(int points)
{
    pointsPerScreen_ = std::max(1, points);
    const double first = static_cast<double>(nextKey_ - pointsPerScreen_);
    for (int t = 0; t < traces_; ++t)
        plot_->graph(t)->data()->removeBefore(first);
    updateXRange();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void StripChart::setYRange(double min, double max)
{
    if (min > max)
        std::swap(min, max);
    if (min == max)
        max = min + 1.0;
    plot_->yAxis->setRange(min, max);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void StripChart::setTraceVisible(int trace, bool visible)
{
    if (trace >= 1 && trace <= traces_) {
        plot_->graph(trace - 1)->setVisible(visible);
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
}

bool StripChart::traceVisible(int trace) const
{
    return trace >= 1 && trace <= traces_ && plot_->graph(trace - 1)->visible();
}

int StripChart::tracePoints(int trace) const
{
    if (trace < 1 || trace > traces_)
        return 0;
    return plot_->graph(trace - 1)->data()->size();
}

void StripChart::updateXRange()
{
    const double last = static_cast<double>(std::max<long long>(nextKey_, pointsPerScreen_));
    plot_->xAxis->setRange(last - pointsPerScreen_, last);
}

// ---------------------------------------------------------------- graph

namespace {

// The bar whose centre lies nearest to x, over every bar plot of the graph;
// false when the graph holds no bar.
bool nearestBar(QCustomPlot* plot, double x, double* key, double* value)
{
    bool found = false;
    double best = 0.0;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        const auto* bars = qobject_cast<QCPBars*>(plot->plottable(i));
        if (!bars)
            continue;
        for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it) {
            const double distance = std::fabs(it->key - x);
            if (!found || distance < best) {
                found = true;
                best = distance;
                *key = it->key;
                *value = it->value;
            }
        }
    }
    return found;
}

}  // namespace

GraphControl::GraphControl(QCustomPlot* plot, std::function<void(int)> notify)
    : plot_(plot), notify_(std::move(notify))
{
    vLine_ = new QCPItemStraightLine(plot_);
    hLine_ = new QCPItemStraightLine(plot_);
    const QPen pen(QColor(0, 90, 200), 1.0, Qt::DashLine);
    vLine_->setPen(pen);
    hLine_->setPen(pen);
    vLine_->setVisible(false);
    hLine_->setVisible(false);
    plot_->setFocusPolicy(Qt::StrongFocus);
    plot_->installEventFilter(this);
    placeCursor();
}

void GraphControl::plotsChanged()
{
    const int count = plot_->plottableCount();
    for (auto& watcher : watchers_)
        watcher(count);
}

int GraphControl::plotXY(const double* x, const int* y, int count, int style, int color)
{
    if (!x || !y || count <= 0)
        return -1;
    const QColor c(QRgb(static_cast<unsigned>(color) & 0xFFFFFFu));
    if (style == VAL_VERTICAL_BAR) {
        auto* bars = new QCPBars(plot_->xAxis, plot_->yAxis);
        QVector<double> keys(count), values(count);
        for (int i = 0; i < count; ++i) {
            keys[i] = x[i];
            values[i] = y[i];
        }
        double width = 1.0;
        if (count > 1)
            width = std::fabs(x[1] - x[0]) * 0.85;
        if (width <= 0.0)
            width = 1.0;
        bars->setWidth(width);
        bars->setPen(QPen(c.darker(130)));
        bars->setBrush(c);
        bars->setData(keys, values, true);
        // Counts drawn anew: the cursor reads the bar now under it.
        nearestBar(plot_, cursorX_, &cursorX_, &cursorY_);
        placeCursor();
    } else {
        QCPGraph* g = plot_->addGraph();
        g->setPen(QPen(c, 1.5));
        for (int i = 0; i < count; ++i)
            g->addData(x[i], y[i]);
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
    plotsChanged();
    return plot_->plottableCount();
}

void GraphControl::deletePlots()
{
    plot_->clearPlottables();
    plot_->replot(QCustomPlot::rpQueuedReplot);
    plotsChanged();
}

// ---------------------------------------------------------------- whole-number ticks

double WholeNumberTicker::getTickStep(const QCPRange& range)
{
    // The stock step is a "nice" number (1, 2, 2.5, 5 times a power of ten);
    // counts take 1 at the least and never a fraction.
    double step = QCPAxisTicker::getTickStep(range);
    if (step < 1.0)
        return 1.0;
    if (step != std::floor(step))
        step = std::floor(step);
    return step;
}

int WholeNumberTicker::getSubTickCount(double tickStep)
{
    // Sub-ticks only where they fall on whole numbers.
    const long step = std::lround(tickStep);
    if (step <= 1)
        return 0;
    for (long n : {5L, 4L, 2L})
        if (step % n == 0)
            return static_cast<int>(n - 1);
    return static_cast<int>(step - 1) <= 4 ? static_cast<int>(step - 1) : 0;
}

int GraphControl::plotCount() const
{
    return plot_->plottableCount();
}

// Over bars the cursor sits on the nearest bar's centre and top, so that it
// always reads a bar's count, never the height of the mouse; over other
// plots it stays where it is put.
void GraphControl::setCursor(double x, double y)
{
    nearestBar(plot_, x, &x, &y);
    cursorX_ = x;
    cursorY_ = y;
    placeCursor();
}

void GraphControl::setCursorEnabled(bool on)
{
    cursorEnabled_ = on;
    vLine_->setVisible(on);
    hLine_->setVisible(on);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void GraphControl::placeCursor()
{
    vLine_->point1->setCoords(cursorX_, 0);
    vLine_->point2->setCoords(cursorX_, 1);
    hLine_->point1->setCoords(0, cursorY_);
    hLine_->point2->setCoords(1, cursorY_);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool GraphControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == plot_) {
        switch (event->type()) {
        case QEvent::FocusIn:
            notify_(EVENT_GOT_FOCUS);
            break;
        case QEvent::FocusOut:
            notify_(EVENT_LOST_FOCUS);
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (event->type() == QEvent::MouseButtonPress)
                dragging_ = me->button() == Qt::LeftButton;
            if (cursorEnabled_ && dragging_) {
                setCursor(plot_->xAxis->pixelToCoord(me->position().x()),
                          plot_->yAxis->pixelToCoord(me->position().y()));
                notify_(EVENT_VAL_CHANGED);
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace platform
