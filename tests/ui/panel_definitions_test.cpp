// The panel definitions: every control the program addresses exists with a
// value of its kind, the entries offer the ranges the program relies on, and
// the chart's legend wears the colours of its traces.
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <string>
#include <vector>

#include "app/merrivan.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/trace_colors.h"

namespace {

class PanelDefinitions : public ::testing::Test {
protected:
    void SetUp() override { seam::reset(); }
    testsupport::TempDir dir_;
    testsupport::PanelsUp panels_;
};

struct Range {
    int panel;  // resource
    int control;
    double min, max;
};

TEST_F(PanelDefinitions, EntriesOfferTheRangesTheProgramNeeds)
{
    const int com = LoadPanel(0, "MERRIVAN.UIR", COMPORT);
    ASSERT_GE(com, 0);
    auto handleOf = [&](int resource) {
        return resource == MONITOR ? monitorPanel : resource == STATISTIC ? statisticPanel : com;
    };
    const Range ranges[] = {
        {MONITOR, MONITOR_SAMPLE_COUNT, 0, 16000},  // the record buffer's size
        {MONITOR, MONITOR_SAMPLE_RATE, 1, 3600},
        {STATISTIC, STATISTIC_BINS, 1, 21},         // the histogram's storage
        {MONITOR, MONITOR_RANGE, 10, 16000},
    };
    for (const Range& r : ranges) {
        SCOPED_TRACE(r.control);
        auto* spin = dynamic_cast<QSpinBox*>(platform::controlWidget(handleOf(r.panel), r.control));
        ASSERT_NE(spin, nullptr);
        EXPECT_EQ(spin->minimum(), r.min);
        EXPECT_EQ(spin->maximum(), r.max);
    }
    DiscardPanel(com);
}

TEST_F(PanelDefinitions, SerialChoicesAreOnesThePortAccepts)
{
    const int com = LoadPanel(0, "MERRIVAN.UIR", COMPORT);
    ASSERT_GE(com, 0);
    auto values = [&](int control) {
        std::vector<int> out;
        auto* box = dynamic_cast<QComboBox*>(platform::controlWidget(com, control));
        for (int i = 0; box && i < box->count(); ++i)
            out.push_back(box->itemData(i).toInt());
        return out;
    };
    std::vector<int> ports;
    for (int i = 1; i <= 16; ++i)
        ports.push_back(i);
    EXPECT_EQ(values(COMPORT_PORTNO), ports);
    EXPECT_EQ(values(COMPORT_BAUDRATE),
              (std::vector<int>{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}));
    EXPECT_EQ(values(COMPORT_PARITY), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(values(COMPORT_DATABITS), (std::vector<int>{7, 8}));
    EXPECT_EQ(values(COMPORT_STOPBITS), (std::vector<int>{1, 2}));
    // The fallback settings are what a fresh panel shows.
    int v = 0;
    GetCtrlVal(com, COMPORT_PORTNO, &v);
    EXPECT_EQ(v, 1);
    GetCtrlVal(com, COMPORT_BAUDRATE, &v);
    EXPECT_EQ(v, 9600);
    GetCtrlVal(com, COMPORT_PARITY, &v);
    EXPECT_EQ(v, 0);
    GetCtrlVal(com, COMPORT_DATABITS, &v);
    EXPECT_EQ(v, 8);
    GetCtrlVal(com, COMPORT_STOPBITS, &v);
    EXPECT_EQ(v, 1);
    DiscardPanel(com);
}

TEST_F(PanelDefinitions, LegendLabelsWearTheirTraceColours)
{
    auto* plot = dynamic_cast<QCustomPlot*>(platform::controlWidget(monitorPanel, MONITOR_CHART));
    ASSERT_NE(plot, nullptr);
    ASSERT_EQ(plot->graphCount(), 10);
    int traces = 0;
    GetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_NUM_TRACES, &traces);
    EXPECT_EQ(traces, 10);
    std::vector<QRgb> seen;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const QColor trace = plot->graph(i)->pen().color();
        EXPECT_EQ(trace.rgb() & 0xFFFFFFu, kTraceColors[i]);
        QWidget* legend = platform::controlWidget(monitorPanel, MONITOR_LEGEND_1 + i);
        ASSERT_NE(legend, nullptr);
        EXPECT_NE(legend->styleSheet().indexOf(trace.name(QColor::HexRgb).mid(1), 0, Qt::CaseInsensitive),
                  -1)
            << legend->styleSheet().toStdString();
        EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_LEGEND_1 + i));
        for (QRgb other : seen)
            EXPECT_NE(other, trace.rgb());  // ten traces, ten colours
        seen.push_back(trace.rgb());
    }
}

TEST_F(PanelDefinitions, ControlsHoldValuesOfTheirKind)
{
    // Texts.
    for (int id : {MONITOR_CH1_VALUE, MONITOR_CH2_VALUE, MONITOR_SETTINGS, MONITOR_DATE,
                   MONITOR_TIME, MONITOR_CH1_TYPE, MONITOR_CH2_TYPE, MONITOR_REC_INDICATOR}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(SetCtrlVal(monitorPanel, id, "Temperature"), 0);
        char text[32] = "";
        GetCtrlVal(monitorPanel, id, text);
        EXPECT_STREQ(text, "Temperature");
    }
    // Floats keep a 32-bit float exactly.
    for (int id : {MONITOR_CH1_LOW, MONITOR_CH1_HIGH, MONITOR_CH2_LOW, MONITOR_CH2_HIGH,
                   MONITOR_GAIN, MONITOR_OFFSET}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(SetCtrlVal(monitorPanel, id, 23.5f), 0);
        float f = 0;
        GetCtrlVal(monitorPanel, id, &f);
        EXPECT_EQ(f, 23.5f);
    }
    // Integers.
    for (int id : {MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE, MONITOR_RANGE}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(SetCtrlVal(monitorPanel, id, 250), 0);
        int v = -1;
        GetCtrlVal(monitorPanel, id, &v);
        EXPECT_EQ(v, 250);
    }
    // Switches and lamps.
    for (int id : {MONITOR_LOG_SWITCH, MONITOR_CH1_ALARM_SW, MONITOR_CH2_ALARM_SW, MONITOR_CH1_HIGH_ALARM,
                   MONITOR_CH1_LOW_ALARM, MONITOR_CH2_HIGH_ALARM, MONITOR_CH2_LOW_ALARM}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(SetCtrlVal(monitorPanel, id, 1), 0);
        int v = -1;
        GetCtrlVal(monitorPanel, id, &v);
        EXPECT_EQ(v, 1);
    }
    // Statistics figures are doubles.
    for (int id : {STATISTIC_MAX, STATISTIC_MIN, STATISTIC_MEAN, STATISTIC_SDEV, STATISTIC_CURSOR_Y}) {
        SCOPED_TRACE(id);
        ASSERT_EQ(SetCtrlVal(statisticPanel, id, 1234.25), 0);
        double d = 0;
        GetCtrlVal(statisticPanel, id, &d);
        EXPECT_EQ(d, 1234.25);
    }
    // The value displays come back to their start with DefaultCtrl.
    DefaultCtrl(monitorPanel, MONITOR_CH1_VALUE);
    char text[16] = "";
    GetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, text);
    EXPECT_STREQ(text, "----");
    EXPECT_EQ(seam::labelText(monitorPanel, MONITOR_CH1_VALUE), "");
}

TEST_F(PanelDefinitions, StartStateOfTheMonitorPanel)
{
    // Limits can be edited only with the alarm on, and the alarm starts off.
    for (int id : {MONITOR_CH1_HIGH, MONITOR_CH1_LOW, MONITOR_CH2_HIGH, MONITOR_CH2_LOW})
        EXPECT_TRUE(seam::isDimmed(monitorPanel, id)) << id;
    for (int id : {MONITOR_CH1_SELECT, MONITOR_CH2_SELECT, MONITOR_CH1_TYPE, MONITOR_CH2_TYPE})
        EXPECT_FALSE(seam::isVisible(monitorPanel, id)) << id;
    EXPECT_FALSE(seam::isVisible(statisticPanel, STATISTIC_CHANNEL));
    EXPECT_FALSE(seam::isVisible(statisticPanel, STATISTIC_CURSOR_Y));
    EXPECT_EQ(seam::textColor(monitorPanel, MONITOR_REC_INDICATOR), 0xFFFFFF);
    EXPECT_FALSE(seam::isVisible(monitorPanel, MONITOR_REC_INDICATOR));  // nothing records
    EXPECT_FALSE(seam::panelVisible(statisticPanel));
}

TEST(PanelHandles, LegendLabelsAreMonitorLegendIdsInOrder)
{
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(lableColor[i], 44 + i) << "legend " << i + 1;
    }
}

}  // namespace
