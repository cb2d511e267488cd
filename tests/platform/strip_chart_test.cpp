// A full strip chart, drawn column by column, looks as its full line would.
#include <QImage>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <cmath>
#include <vector>

#include "platform/ui_internal.h"

namespace {

constexpr int kPoints = 16000;
constexpr int kScrolled = 400;  // samples added one at a time after the first screen
constexpr int kSpike = 15000;
constexpr int kGapFrom = 9000, kGapTo = 10000;  // a long sensor fault
constexpr int kStep = 12000;                     // one fault where the level jumps

// Noise on a slow wave; a level that jumps at one fault, a one-sample spike.
float sample(int k)
{
    if ((k >= kGapFrom && k < kGapTo) || k == kStep)
        return std::nanf("");
    if (k == kSpike)
        return 95.0f;
    const unsigned noise = (static_cast<unsigned>(k) * 2654435761u) >> 29;  // 0..7
    return static_cast<float>((k < kStep ? 30.0 : 60.0) + 5.0 * std::sin(k * 0.002) + noise);
}

const QColor kInk(0, 0, 255);

bool inked(const QImage& image, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint p(x + dx, y + dy);
            if (image.rect().contains(p) && image.pixelColor(p) == kInk)
                return true;
        }
    return false;
}

// Pixels of the trace in one image with none of it next to them in the other.
int unmatched(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += (a.pixelColor(x, y) == kInk && !inked(b, x, y)) +
                 (b.pixelColor(x, y) == kInk && !inked(a, x, y));
    return n;
}

TEST(StripChartTest, LongSpanLooksAsItsFullLineWithSpikeAndGaps)
{
    QCustomPlot plot;
    plot.resize(800, 300);
    plot.setNotAntialiasedElements(QCP::aeAll);
    platform::StripChart chart(&plot, 1, kPoints, {kInk});
    chart.setYRange(0.0, 100.0);
    std::vector<float> first(kPoints);
    for (int k = 0; k < kPoints; ++k)
        first[static_cast<std::size_t>(k)] = sample(k);
    chart.append(first.data(), kPoints);
    // Then as a meter feeds it, drawn after every sample.
    const auto draw = [&plot] { return plot.toPixmap(800, 300).toImage(); };
    draw();
    for (int k = kPoints; k < kPoints + kScrolled; ++k) {
        const float v = sample(k);
        chart.append(&v, 1);
        draw();
    }
    const QImage drawn = draw();

    // The same screen as one plain polyline through every point.
    QCustomPlot full;
    full.resize(800, 300);
    full.setNotAntialiasedElements(QCP::aeAll);
    full.xAxis->setLabel(plot.xAxis->label());
    full.xAxis->setRange(plot.xAxis->range());
    full.yAxis->setRange(plot.yAxis->range());
    QCPGraph* line = full.addGraph();
    line->setPen(plot.graph(0)->pen());
    line->setAdaptiveSampling(false);
    for (int k = kScrolled; k < kPoints + kScrolled; ++k)
        line->addData(k, static_cast<double>(sample(k)));
    const QImage reference = full.toPixmap(800, 300).toImage();

    EXPECT_LE(unmatched(drawn, reference), 40);
    const auto at = [&plot](double key, double value) {
        return QPoint(static_cast<int>(std::lround(plot.xAxis->coordToPixel(key))),
                      static_cast<int>(std::lround(plot.yAxis->coordToPixel(value))));
    };
    const QPoint spike = at(kSpike, 95.0);
    EXPECT_TRUE(inked(drawn, spike.x(), spike.y()));
    // Neither fault is bridged: not across the long one, not up the jump.
    const QPoint gap = at((kGapFrom + kGapTo) / 2, 30.0);
    for (int y = 0; y < drawn.height(); ++y)
        EXPECT_FALSE(inked(drawn, gap.x(), y)) << y;
    const QPoint jump = at(kStep, 50.0);
    EXPECT_FALSE(inked(drawn, jump.x(), jump.y()));
}

}  // namespace
