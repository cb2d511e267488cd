// How the panels fit and read: the Monitor window fits small screens and
// gives a large one to its readings and chart, entries keep every value of
// their range and bring others to the limit, the empty histogram shows no
// count, and the port choices name their devices.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QScreen>
#include <QScrollArea>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "app/merrivan.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

namespace {

class MonitorLayout : public ::testing::Test {
protected:
    void SetUp() override { seam::reset(); }
    testsupport::TempDir dir_;
    testsupport::PanelsUp panels_;
};


// Whether the user sees all of the widget, not cut by a scrolled view.
bool wholeInView(QWidget* w)
{
    return w->isVisible() && w->visibleRegion().boundingRect() == w->rect();
}

TEST_F(MonitorLayout, FitsSmallScreensAndGivesALargeOneToReadingsAndChart)
{
    QWidget* window = platform::panelWindow(monitorPanel);
    const std::vector<int> always = {MONITOR_EXIT, MONITOR_HELP, MONITOR_PRINT,
                                     MONITOR_COMPORT_CMD, MONITOR_SETTINGS};
    const std::vector<int> others = {MONITOR_RANGE, MONITOR_OFFSET, MONITOR_GAIN,
                                     MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE, MONITOR_LOG_SWITCH,
                                     MONITOR_CH1_HIGH, MONITOR_CH2_HIGH, MONITOR_CH2_LOW,
                                     MONITOR_CH1_VALUE, MONITOR_CHART, MONITOR_DATE, MONITOR_TIME};
    struct Look {
        int limitWidth, readingHeight, readingFont, chartHeight;
    };
    std::vector<Look> looks;
    // 1920x1080 at 200 % and at 150 %, less title bar and task bar; maximised.
    for (QSize size : {QSize(960, 500), QSize(1280, 660), QSize(1900, 1000)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        window->show();
        QApplication::processEvents();
        EXPECT_EQ(window->size(), size);
        // The commands and the status line are always in view.
        for (int id : always)
            EXPECT_TRUE(wholeInView(platform::controlWidget(monitorPanel, id))) << id;
        for (int id : others) {
            QWidget* w = platform::controlWidget(monitorPanel, id);
            if (size.width() > 1000) {
                EXPECT_TRUE(wholeInView(w)) << id;  // no scrolling needed
                continue;
            }
            // On the smallest screen the rest scrolls into view.
            auto* scroll = window->findChild<QScrollArea*>();
            ASSERT_NE(scroll, nullptr);
            const QPoint centre = w->mapTo(scroll->widget(), w->rect().center());
            scroll->ensureVisible(centre.x(), centre.y(), w->width() / 2 + 1,
                                  w->height() / 2 + 1);
            QApplication::processEvents();
            EXPECT_TRUE(wholeInView(w)) << id;
        }
        QWidget* reading = platform::controlWidget(monitorPanel, MONITOR_CH1_VALUE);
        looks.push_back({platform::controlWidget(monitorPanel, MONITOR_CH1_HIGH)->width(),
                         reading->height(), reading->font().pixelSize(),
                         platform::controlWidget(monitorPanel, MONITOR_CHART)->height()});
    }
    window->hide();
    // Statistics opens over it and fits the smallest screen too.
    const QSize statistics = platform::panelWindow(statisticPanel)->minimumSizeHint();
    EXPECT_LE(statistics.width(), 960);
    EXPECT_LE(statistics.height(), 500);
    // Maximised, the entries keep their width; readings and chart grow.
    EXPECT_EQ(looks[2].limitWidth, looks[1].limitWidth);
    EXPECT_LT(looks[2].limitWidth, 140);
    EXPECT_GT(looks[2].readingHeight, looks[1].readingHeight);
    EXPECT_GT(looks[2].readingFont, looks[1].readingFont);
    EXPECT_GT(looks[2].chartHeight, looks[1].chartHeight + 150);
}

// Types into an entry as a user does, then Enter.
void type(int panel, int control, const std::string& text)
{
    ASSERT_TRUE(seam::userTypeKeys(panel, control, text));
}

std::string shown(int panel, int control)
{
    return seam::entryText(panel, control);
}

// Counts the paint events a widget receives.
struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Where the reading's light figures stand in its picture.
struct Ink {
    int pixels = 0;
    QRect box;
};

Ink inkOf(QWidget* reading)
{
    const QImage image = reading->grab().toImage();
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGreen(image.pixel(x, y)) > 160) {
                ++ink.pixels;
                ink.box |= QRect(x, y, 1, 1);
            }
    return ink;
}

TEST_F(MonitorLayout, AReadingRedrawsOnlyItsBoxAndShowsItsFiguresAtTheRight)
{
    QWidget* window = platform::panelWindow(monitorPanel);
    window->resize(1000, 640);
    window->show();
    QApplication::processEvents();
    QWidget* reading = platform::controlWidget(monitorPanel, MONITOR_CH1_VALUE);
    QWidget* group = reading->parentWidget();
    while (group && !qobject_cast<QGroupBox*>(group))
        group = group->parentWidget();
    ASSERT_NE(group, nullptr);
    PaintCount readingPaints, groupPaints;
    reading->installEventFilter(&readingPaints);
    group->installEventFilter(&groupPaints);
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "23.4");
    QApplication::processEvents();
    EXPECT_GE(readingPaints.paints, 1);
    EXPECT_EQ(groupPaints.paints, 0);  // readings change many times a second
    reading->removeEventFilter(&readingPaints);
    group->removeEventFilter(&groupPaints);

    // What the screen shows of the reading: drawn at once, without waiting
    // for the event loop; a burst of readings ends on the last one.
    const auto onScreen = [&] {
        const QRect at(reading->mapTo(window, QPoint(0, 0)), reading->size());
        return window->screen()->grabWindow(window->winId()).toImage().copy(at);
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "17.5");
    EXPECT_EQ(onScreen(), reading->grab().toImage().convertToFormat(onScreen().format()));
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "18.5");
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "19.5");
    QApplication::processEvents();
    EXPECT_EQ(onScreen(), reading->grab().toImage().convertToFormat(onScreen().format()));
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "23.4");

    const QImage first = reading->grab().toImage();
    const Ink small = inkOf(reading);
    EXPECT_GT(small.pixels, 50);
    EXPECT_GT(small.box.right(), reading->width() * 4 / 5);  // right-aligned
    EXPECT_GT(small.box.left(), reading->width() - small.box.right());
    for (const char* text : {"-0123.45", "23.5", "E3", "OL", "1e+06"}) {
        SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, text);
        EXPECT_NE(reading->grab().toImage(), first) << text;
    }
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "23.4");
    EXPECT_EQ(reading->grab().toImage(), first);
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "");
    EXPECT_EQ(inkOf(reading).pixels, 0);

    // A larger window draws larger figures, not the small ones kept from before.
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "23.4");
    window->resize(1900, 1000);
    QApplication::processEvents();
    EXPECT_GT(inkOf(reading).box.height(), small.box.height() * 5 / 4);
    window->hide();
}

TEST_F(MonitorLayout, ReceiveLampLooksLitOnlyWhileOn)
{
    QWidget* lamp = platform::controlWidget(monitorPanel, MONITOR_RX_LED);
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 0);
    const QImage off = lamp->grab().toImage();
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 1);
    const QImage on = lamp->grab().toImage();
    EXPECT_NE(on, off);
    SetCtrlVal(monitorPanel, MONITOR_RX_LED, 0);
    EXPECT_EQ(lamp->grab().toImage(), off);
}

TEST_F(MonitorLayout, EntriesTakeTheirWholeRangeAndBringOthersToTheNearestLimit)
{
    for (int id : {MONITOR_CH1_HIGH, MONITOR_CH1_LOW})
        SetCtrlAttribute(monitorPanel, id, ATTR_DIMMED, 0);
    struct Case {
        int panel;
        int control;
        const char* typed;
        const char* shows;
        double value;
    };
    const Case cases[] = {
        {monitorPanel, MONITOR_CH1_HIGH, "123456789", "99999.00", 99999},
        {monitorPanel, MONITOR_CH1_HIGH, "99999", "99999.00", 99999},
        {monitorPanel, MONITOR_CH1_LOW, "-123456789", "-99999.00", -99999},
        {monitorPanel, MONITOR_CH1_LOW, "-12345.5", "-12345.50", -12345.5},
        {monitorPanel, MONITOR_SAMPLE_COUNT, "99999", "16000", 16000},
        {monitorPanel, MONITOR_SAMPLE_COUNT, "15999", "15999", 15999},
        {monitorPanel, MONITOR_SAMPLE_RATE, "0", "1", 1},
        {monitorPanel, MONITOR_GAIN, "250000", "100000.000", 100000},
        {statisticPanel, STATISTIC_BINS, "50", "21", 21},
        {statisticPanel, STATISTIC_BINS, "21", "21", 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        SetCtrlVal(c.panel, c.control, 5);
        type(c.panel, c.control, c.typed);
        EXPECT_EQ(shown(c.panel, c.control), c.shows);
        double v = 0;
        GetCtrlVal(c.panel, c.control, &v);
        EXPECT_DOUBLE_EQ(v, c.value);
    }
    // Letters never get in.
    SetCtrlVal(monitorPanel, MONITOR_SAMPLE_COUNT, 250);
    type(monitorPanel, MONITOR_SAMPLE_COUNT, "x");
    EXPECT_EQ(shown(monitorPanel, MONITOR_SAMPLE_COUNT), "250");
}

TEST_F(MonitorLayout, EmptyHistogramShowsNoCountAndCountsTickInWholeNumbers)
{
    auto* plot = dynamic_cast<QCustomPlot*>(platform::controlWidget(statisticPanel, STATISTIC_HISTOGRAM));
    ASSERT_NE(plot, nullptr);
    seam::userFocus(statisticPanel, STATISTIC_HISTOGRAM, true);
    seam::userMoveCursor(statisticPanel, STATISTIC_HISTOGRAM, 0.5, 2.5);
    EXPECT_TRUE(seam::isVisible(statisticPanel, STATISTIC_CURSOR_Y));
    EXPECT_EQ(shown(statisticPanel, STATISTIC_CURSOR_Y), "");

    const double x[] = {1.0, 2.0, 3.0};
    const int y[] = {1, 3, 2};
    PlotXY(statisticPanel, STATISTIC_HISTOGRAM, x, y, 3, VAL_VERTICAL_BAR, VAL_RED);
    seam::userMoveCursor(statisticPanel, STATISTIC_HISTOGRAM, 2.0, 2.5);
    EXPECT_EQ(shown(statisticPanel, STATISTIC_CURSOR_Y), "3.00");  // the bar's count
    DeleteGraphPlot(statisticPanel, STATISTIC_HISTOGRAM, -1, VAL_IMMEDIATE_DRAW);
    EXPECT_EQ(shown(statisticPanel, STATISTIC_CURSOR_Y), "");

    // Ranges of counts from the empty graph's to a large one.
    for (double top : {1.0, 4.0, 5.0, 7.0, 13.0, 101.0, 2501.0}) {
        SCOPED_TRACE(top);
        SetAxisRange(statisticPanel, STATISTIC_HISTOGRAM, VAL_MANUAL, 0.0, 1.0, VAL_MANUAL, 0.0, top);
        plot->replot();
        const QVector<double> ticks = plot->yAxis->tickVector();
        ASSERT_FALSE(ticks.isEmpty());
        for (double t : ticks)
            EXPECT_EQ(t, std::round(t));
        for (const QString& label : plot->yAxis->tickVectorLabels())
            EXPECT_FALSE(label.contains('.')) << label.toStdString();
    }
}

TEST_F(MonitorLayout, PortChoicesNameTheirDevicesListThePresentFirstAndKeepTheirNumbers)
{
    PtyPair meter;
    PtyPair other;
    ASSERT_TRUE(meter.ok() && other.ok());
    seam::clearComMap();
    seam::mapComPort(3, "/dev/merrivan-no-such-device");
    seam::mapComPort(14, other.slavePath());
    seam::mapComPort(9, meter.slavePath());
    const int com = LoadPanel(0, "MERRIVAN.UIR", COMPORT);
    ASSERT_GE(com, 0);
    const std::vector<std::string> labels = seam::listLabels(com, COMPORT_PORTNO);
    ASSERT_EQ(labels.size(), 16u);
    EXPECT_EQ(labels[0].rfind("COM9  " + meter.slavePath(), 0), 0u) << labels[0];
    EXPECT_NE(labels[0].find("(present)"), std::string::npos) << labels[0];
    EXPECT_EQ(labels[1].rfind("COM14  " + other.slavePath(), 0), 0u) << labels[1];
    EXPECT_EQ(labels[2], "COM3  /dev/merrivan-no-such-device (absent)");
    EXPECT_EQ(labels[3], "COM1  (no device)");
    EXPECT_EQ(labels[15], "COM16  (no device)");
    int v = 0;
    for (int port : {9, 14, 3, 1, 16}) {
        SetCtrlVal(com, COMPORT_PORTNO, port);
        GetCtrlVal(com, COMPORT_PORTNO, &v);
        EXPECT_EQ(v, port);
    }
    DiscardPanel(com);
    seam::useBuiltInComMap();
}

}  // namespace
