// The trend plot: traces over clock time drawn as envelopes, a channel list
// and a crosshair. It draws what its owner hands it for the range shown and
// asks again whenever the range or the width changes.
#include <QDateTime>
#include <QHBoxLayout>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "platform/plot_export.h"
#include "platform/ui_internal.h"

namespace platform {

namespace {

constexpr double kMinWidth = 10.0;  // seconds: the closest zoom
constexpr char kHint[] = "Wheel: zoom around the pointer. Drag: move through the history.";

// C format whatever the locale; as many figures as a reading has.
QString number(double v)
{
    return QString::number(v, 'g', 7);
}

}  // namespace

TrendPlot::TrendPlot(QWidget* parent, std::function<void()> fetch)
    : QObject(parent), fetch_(std::move(fetch))
{
    box_ = new QWidget(parent);
    auto* lay = new QHBoxLayout(box_);
    lay->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(box_);
    list_->setObjectName("TrendChannels");
    list_->setToolTip("Tick a channel to show its trace");
    list_->setMinimumWidth(180);
    list_->setMaximumWidth(230);
    lay->addWidget(list_);
    auto* right = new QVBoxLayout;
    plot_ = new QCustomPlot(box_);
    plot_->setObjectName("TrendPlot");
    plot_->setMinimumSize(360, 200);
    plot_->setMouseTracking(true);
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    plot_->axisRect()->setRangeDragAxes(plot_->xAxis, nullptr);
    plot_->axisRect()->setRangeZoomAxes(plot_->xAxis, nullptr);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeSpec(Qt::LocalTime);
    ticker->setDateTimeFormat("HH:mm\nyyyy-MM-dd");
    ticker->setTickCount(4);
    plot_->xAxis->setTicker(ticker);
    plot_->xAxis->grid()->setPen(QPen(QColor(220, 224, 230)));
    crosshair_ = new QCPItemStraightLine(plot_);
    crosshair_->setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    crosshair_->setVisible(false);
    crosshair_->setSelectable(false);
    right->addWidget(plot_, 1);
    readout_ = new QLabel(box_);
    readout_->setObjectName("TrendReadout");
    readout_->setTextFormat(Qt::PlainText);
    readout_->setWordWrap(true);
    readout_->setMinimumHeight(readout_->fontMetrics().height() * 2 + 4);
    readout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    readout_->setText(kHint);
    right->addWidget(readout_);
    lay->addLayout(right, 1);

    pending_ = new QTimer(this);
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, [this] { fetchNow(); });
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        clampRange();
        requestFetch();
    });
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        setTraceVisible(list_->row(item), item->checkState() == Qt::Checked);
    });
    plot_->installEventFilter(this);
}

void TrendPlot::setTraces(std::vector<Trace> traces)
{
    traces_ = std::move(traces);
    const QSignalBlocker block(list_);
    list_->clear();
    for (const Trace& t : traces_) {
        auto* item = new QListWidgetItem(
            t.unit.isEmpty() ? t.label : t.label + "  [" + t.unit + "]", list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(t.visible ? Qt::Checked : Qt::Unchecked);
        item->setForeground(t.color);
        item->setToolTip(t.label);
    }
    rebuild();
    requestFetch();
}

void TrendPlot::setSharedAxes(bool shared)
{
    if (shared == shared_)
        return;
    shared_ = shared;
    rebuild();
    draw();
}

// One graph per trace, on its own y axis or on its unit's.
void TrendPlot::rebuild()
{
    plot_->clearGraphs();
    QCPAxisRect* rect = plot_->axisRect();
    for (QCPAxis* a : rect->axes(QCPAxis::atLeft))
        if (a != plot_->yAxis)
            rect->removeAxis(a);
    axes_.clear();
    std::map<QString, QCPAxis*> byUnit;
    for (Trace& t : traces_) {
        QCPAxis* axis = nullptr;
        if (shared_ && byUnit.count(t.unit))
            axis = byUnit[t.unit];
        else if (axes_.empty())
            axis = plot_->yAxis;
        else
            axis = rect->addAxis(QCPAxis::atLeft);
        if (shared_)
            byUnit[t.unit] = axis;
        const QColor ink = shared_ ? QColor(Qt::black) : t.color;
        axis->setLabel(t.unit);
        axis->setBasePen(QPen(ink));
        axis->setTickPen(QPen(ink));
        axis->setSubTickPen(QPen(ink));
        axis->setTickLabelColor(ink);
        axis->setLabelColor(ink);
        axis->grid()->setVisible(axis == plot_->yAxis);
        axes_.push_back(axis);
        t.graph = plot_->addGraph(plot_->xAxis, axis);
        t.graph->setPen(QPen(t.color, 1.2));
        t.graph->setName(t.label);
    }
}

void TrendPlot::setSpan(double first, double last)
{
    const QCPRange r = plot_->xAxis->range();
    const bool following = hasSpan_ && r.upper >= last_ - std::max(1.0, 0.01 * r.size());
    const bool opening = !hasSpan_;
    first_ = first;
    last_ = std::max(last, first);
    hasSpan_ = true;
    if (opening)
        setRange(first_, last_);
    else if (following && last_ - r.upper >= r.size() / std::max(1, plot_->axisRect()->width()))
        setRange(last_ - r.size(), last_);  // a pixel's worth or more: no redraw for less
    else
        clampRange();
}

void TrendPlot::setRange(double from, double to)
{
    plot_->xAxis->setRange(from, to);
    clampRange();
    requestFetch();
}

// The view stays inside what the history holds and no closer than kMinWidth.
void TrendPlot::clampRange()
{
    if (clamping_ || !hasSpan_)
        return;
    const double lo = first_;
    const double hi = std::max(last_, first_ + kMinWidth);
    const QCPRange r = plot_->xAxis->range();
    const double width = std::min(std::max(r.size(), kMinWidth), hi - lo);
    const double from = std::clamp(r.lower, lo, hi - width);
    auto ticker = plot_->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
    if (ticker)
        ticker->setDateTimeFormat(width < 600 ? "HH:mm:ss\nyyyy-MM-dd" : "HH:mm\nyyyy-MM-dd");
    if (from != r.lower || from + width != r.upper) {
        clamping_ = true;
        plot_->xAxis->setRange(from, from + width);
        clamping_ = false;
    }
}

void TrendPlot::range(double* from, double* to, int* columns) const
{
    const QCPRange r = plot_->xAxis->range();
    if (from)
        *from = r.lower;
    if (to)
        *to = r.upper;
    if (columns) {
        int w = plot_->axisRect()->width();
        if (w < 10)
            w = plot_->width() - 80;
        *columns = std::max(10, w);
    }
}

void TrendPlot::setEnvelope(int trace, const double* low, const double* high, int columns)
{
    if (trace < 0 || trace >= static_cast<int>(traces_.size()) || columns < 0)
        return;
    Trace& t = traces_[static_cast<std::size_t>(trace)];
    t.low.assign(low, low + columns);
    t.high.assign(high, high + columns);
    const QCPRange r = plot_->xAxis->range();
    t.from = r.lower;
    t.to = r.upper;
}

void TrendPlot::setTraceVisible(int trace, bool visible)
{
    if (trace < 0 || trace >= static_cast<int>(traces_.size()))
        return;
    traces_[static_cast<std::size_t>(trace)].visible = visible;
    if (QListWidgetItem* item = list_->item(trace)) {
        const QSignalBlocker block(list_);
        item->setCheckState(visible ? Qt::Checked : Qt::Unchecked);
    }
    draw();
    requestFetch();
}

void TrendPlot::requestFetch()
{
    if (!pending_->isActive())
        pending_->start();
}

void TrendPlot::fetchNow()
{
    pending_->stop();
    const QPointer<TrendPlot> self(this);
    if (fetch_)
        fetch_();
    if (self)
        draw();
}

// Each column's low and high, one after the other: the line runs down and up
// through every column as a dense plot would, a NaN breaks it.
void TrendPlot::draw()
{
    for (Trace& t : traces_) {
        if (!t.graph)
            continue;
        QVector<QCPGraphData> data;
        const std::size_t n = t.low.size();
        data.reserve(static_cast<int>(2 * n));
        const double step = n ? (t.to - t.from) / static_cast<double>(n) : 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double x = t.from + (static_cast<double>(i) + 0.5) * step;
            const double lo = t.low[i];
            if (std::isnan(lo)) {
                if (data.isEmpty() || !std::isnan(data.back().value))
                    data.append({x, lo});
            } else if (std::isfinite(lo)) {
                data.append({x, lo});
                if (t.high[i] != lo)
                    data.append({x, t.high[i]});
            }
        }
        t.graph->data()->set(data, true);
        t.graph->setVisible(t.visible);
    }
    autoscale();
    if (!std::isnan(crosshairX_))
        showCrosshair(crosshairX_);
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlot::autoscale()
{
    std::map<QCPAxis*, std::pair<double, double>> extent;
    std::map<QCPAxis*, bool> used;
    for (std::size_t i = 0; i < traces_.size(); ++i) {
        const Trace& t = traces_[i];
        QCPAxis* axis = axes_[i];
        used[axis] = used[axis] || t.visible;
        if (!t.visible)
            continue;
        auto [it, fresh] = extent.try_emplace(axis, std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity());
        (void)fresh;
        for (std::size_t c = 0; c < t.low.size(); ++c) {
            if (!std::isfinite(t.low[c]))
                continue;
            it->second.first = std::min(it->second.first, t.low[c]);
            it->second.second = std::max(it->second.second, t.high[c]);
        }
    }
    for (auto& [axis, on] : used)
        axis->setVisible(on || axis == plot_->yAxis);
    for (auto& [axis, e] : extent) {
        auto [lo, hi] = e;
        if (lo > hi)
            continue;
        const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(0.5, std::fabs(lo) * 0.01);
        axis->setRange(lo - pad, hi + pad);
    }
}

// The time under the pointer and each shown trace's value there: the lowest
// and highest of the pixel column when it holds more than one sample.
void TrendPlot::showCrosshair(double px)
{
    crosshairX_ = px;
    const double x = plot_->xAxis->pixelToCoord(px);
    crosshair_->point1->setCoords(x, 0);
    crosshair_->point2->setCoords(x, 1);
    crosshair_->setVisible(true);
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x * 1000.0));
    QString clock = QLocale::system().timeFormat(QLocale::LongFormat);
    clock.remove(QRegularExpression("\\s*t+\\s*"));
    QStringList parts{when.toString("yyyy-MM-dd") + " " + QLocale::system().toString(when.time(), clock)};
    for (const Trace& t : traces_) {
        if (!t.visible || t.low.empty() || t.to <= t.from)
            continue;
        const int n = static_cast<int>(t.low.size());
        const int at = static_cast<int>(std::floor((x - t.from) / (t.to - t.from) * n));
        if (at < 0 || at >= n)
            continue;
        // Zoomed in closer than the samples: the nearest column that has one.
        int found = -1;
        for (int d = 0; d < n && found < 0; ++d) {
            for (int c : {at - d, at + d})
                if (c >= 0 && c < n && !std::isinf(t.low[static_cast<std::size_t>(c)])) {
                    found = c;
                    break;
                }
        }
        if (found < 0)
            continue;
        const double lo = t.low[static_cast<std::size_t>(found)];
        const double hi = t.high[static_cast<std::size_t>(found)];
        if (std::isnan(lo))
            continue;  // nothing kept then
        QString value = lo == hi ? number(lo)
                                 : number(lo) + QString::fromUtf8("\u2013") + number(hi);
        if (!t.unit.isEmpty())
            value += " " + t.unit;
        parts << t.label + ": " + value;
    }
    readout_->setText(parts.join("    "));
}

bool TrendPlot::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == plot_) {
        switch (event->type()) {
        case QEvent::MouseMove:
            showCrosshair(static_cast<QMouseEvent*>(event)->position().x());
            plot_->replot(QCustomPlot::rpQueuedReplot);
            break;
        case QEvent::Leave:
            crosshairX_ = qQNaN();
            crosshair_->setVisible(false);
            readout_->setText(kHint);
            plot_->replot(QCustomPlot::rpQueuedReplot);
            break;
        case QEvent::Resize:
            requestFetch();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

TrendPlot* trendOf(int panel, int control)
{
    Control* c = findControl(panel, control);
    return c ? c->trend.get() : nullptr;
}

QWidget* PanelBuilder::trendPlot(int id, const char* name, const char* callback)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Trend;
    c.inState = false;
    const int handle = panel_.handle;
    c.trend = std::make_unique<TrendPlot>(
        panel_.window, [handle, id] { dispatchControl(handle, id, EVENT_VAL_CHANGED); });
    offerImageExport(c.trend->plot());
    return wrap(c, c.trend->widget(), "", LabelAt::None);
}

}  // namespace platform

using namespace platform;

int SetTrendTraces(int panel, int control, int count, const char* const labels[],
                   const char* const units[], const unsigned colors[])
{
    TrendPlot* t = trendOf(panel, control);
    if (!t || count < 0)
        return -1;
    std::vector<TrendPlot::Trace> traces(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        TrendPlot::Trace& tr = traces[static_cast<std::size_t>(i)];
        tr.label = QString::fromUtf8(labels[i] ? labels[i] : "");
        tr.unit = QString::fromUtf8(units[i] ? units[i] : "");
        tr.color = QColor(QRgb(colors[i]));
    }
    t->setTraces(std::move(traces));
    return 0;
}

int SetTrendSharedAxes(int panel, int control, int shared)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t)
        return -1;
    t->setSharedAxes(shared != 0);
    return 0;
}

int SetTrendSpan(int panel, int control, double first, double last)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t)
        return -1;
    t->setSpan(first, last);
    return 0;
}

int SetTrendRange(int panel, int control, double from, double to)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t || !(to > from))
        return -1;
    t->setRange(from, to);
    return 0;
}

int GetTrendRange(int panel, int control, double* from, double* to, int* columns)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t)
        return -1;
    t->range(from, to, columns);
    return 0;
}

int SetTrendEnvelope(int panel, int control, int trace, const double* low, const double* high,
                     int columns)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t || !low || !high)
        return -1;
    t->setEnvelope(trace, low, high, columns);
    return 0;
}

int GetTrendTraceVisible(int panel, int control, int trace, int* visible)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t || !visible || trace < 0 || trace >= static_cast<int>(t->traces().size()))
        return -1;
    *visible = t->traces()[static_cast<std::size_t>(trace)].visible ? 1 : 0;
    return 0;
}

int SaveTrendImage(int panel, int control)
{
    TrendPlot* t = trendOf(panel, control);
    if (!t)
        return -1;
    t->fetchNow();
    t->plot()->replot();
    return askAndSavePlotImage(t->plot()) ? 0 : -1;
}
