// Panels, controls, callbacks, panel state, charts and the world's seams, on
// a small panel file of the tests' own.
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/callbacks.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "test_support.h"

using platform::DataType;
using platform::LabelAt;
using testsupport::TempDir;

namespace {

enum {
    T_INT = 2, T_FLOAT, T_TEXT, T_MSG, T_LED, T_SWITCH, T_RING, T_CMD, T_TIMER, T_CHART, T_GRAPH,
    T_INDICATOR
};

struct Event {
    int control;
    int event;
};
std::vector<Event> events;

int recordEvent(CTRL_CALLBACK_ARGS)
{
    (void)panel, (void)callbackData, (void)eventData1, (void)eventData2;
    events.push_back({control, event});
    return 0;
}

int panelEvents = 0;
int recordPanelEvent(PANEL_CALLBACK_ARGS)
{
    (void)panel, (void)callbackData, (void)eventData1, (void)eventData2;
    if (event == EVENT_CLOSE)
        ++panelEvents;
    return 0;
}

bool buildTestPanel(platform::PanelBuilder& b, int resource)
{
    if (resource != 1)
        return false;
    b.panelCallback("recordPanelEvent");
    b.numeric(T_INT, "T_INT", "Int", DataType::Int, 0, 100, 7, 0, "recordEvent");
    b.numeric(T_FLOAT, "T_FLOAT", "Float", DataType::Float, -50, 50, 1.5, 2, "recordEvent");
    b.text(T_TEXT, "T_TEXT", "Text", "hello", "recordEvent", false);
    b.message(T_MSG, "T_MSG", "caption");
    b.led(T_LED, "T_LED", "Lamp", Qt::red);
    b.binarySwitch(T_SWITCH, "T_SWITCH", "Switch", 0, "recordEvent");
    b.ring(T_RING, "T_RING", "Ring", {{"one", 1}, {"two", 2}, {"nine", 9}}, 2, "recordEvent");
    b.command(T_CMD, "T_CMD", "Go", "recordEvent");
    b.timer(T_TIMER, "T_TIMER", 0.5, false, "recordEvent");
    b.stripChart(T_CHART, "T_CHART", "Chart", 3, 50, {Qt::red, Qt::green, Qt::blue}, 0, 10,
                 nullptr);
    b.graph(T_GRAPH, "T_GRAPH", "Graph", "x", "y", "recordEvent");
    b.text(T_INDICATOR, "T_INDICATOR", "Shown", "", nullptr, true, LabelAt::Right);
    return true;
}

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seam::reset();
        platform::registerCallback("recordEvent", recordEvent);
        platform::registerPanelCallback("recordPanelEvent", recordPanelEvent);
        platform::registerPanelFile("TEST.UIR", buildTestPanel);
        panel = LoadPanel(0, "test.uir", 1);
        ASSERT_GE(panel, 0);
        events.clear();
        panelEvents = 0;
    }
    void TearDown() override { DiscardPanel(panel); }
    TempDir dir;
    int panel = -1;
};

TEST_F(PanelsTest, UnknownFileOrResourceFailsNegative)
{
    EXPECT_LT(LoadPanel(0, "OTHER.UIR", 1), 0);
    EXPECT_LT(LoadPanel(0, "TEST.UIR", 5), 0);
    seam::failPanelLoad(1);
    EXPECT_LT(LoadPanel(0, "TEST.UIR", 1), 0);
}

TEST_F(PanelsTest, SettingValuesNeverRunsCallbacks)
{
    SetCtrlVal(panel, T_INT, 42);
    SetCtrlVal(panel, T_FLOAT, 3.25);
    SetCtrlVal(panel, T_TEXT, "abc");
    SetCtrlVal(panel, T_SWITCH, 1);
    SetCtrlVal(panel, T_RING, 9);
    EXPECT_TRUE(events.empty());

    int i = 0;
    float f = 0;
    double d = 0;
    char text[16];
    GetCtrlVal(panel, T_INT, &i);
    EXPECT_EQ(i, 42);
    GetCtrlVal(panel, T_FLOAT, &f);
    EXPECT_FLOAT_EQ(f, 3.25f);
    GetCtrlVal(panel, T_FLOAT, &d);
    EXPECT_DOUBLE_EQ(d, 3.25);
    GetCtrlVal(panel, T_TEXT, text);
    EXPECT_STREQ(text, "abc");
    GetCtrlVal(panel, T_SWITCH, &i);
    EXPECT_EQ(i, 1);
    GetCtrlVal(panel, T_RING, &i);
    EXPECT_EQ(i, 9);
}

TEST_F(PanelsTest, TextIsCutToTheCallersBuffer)
{
    SetCtrlVal(panel, T_TEXT, "a rather long text for a small buffer");
    char small[8];
    std::memset(small, 'z', sizeof small);
    GetCtrlVal(panel, T_TEXT, small);
    EXPECT_STREQ(small, "a rathe");
}

TEST_F(PanelsTest, UserActionsRaiseTheirEvents)
{
    struct Case {
        std::function<void()> act;
        int control;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {[&] { seam::userSetValue(panel, T_INT, 9); }, T_INT, {EVENT_COMMIT}},
        {[&] { seam::userSetValue(panel, T_SWITCH, 1); }, T_SWITCH, {EVENT_VAL_CHANGED, EVENT_COMMIT}},
        {[&] { seam::userSetValue(panel, T_RING, 1); }, T_RING, {EVENT_VAL_CHANGED, EVENT_COMMIT}},
        {[&] { seam::userSetText(panel, T_TEXT, "typed"); }, T_TEXT, {EVENT_COMMIT}},
        {[&] { seam::userPress(panel, T_CMD); }, T_CMD, {EVENT_COMMIT}},
        {[&] { seam::userFocus(panel, T_GRAPH, true); }, T_GRAPH, {EVENT_GOT_FOCUS}},
    };
    for (const Case& c : cases) {
        events.clear();
        c.act();
        ASSERT_EQ(events.size(), c.expected.size()) << "control " << c.control;
        for (std::size_t k = 0; k < events.size(); ++k) {
            EXPECT_EQ(events[k].control, c.control);
            EXPECT_EQ(events[k].event, c.expected[k]);
        }
    }
    // A dimmed control takes no user action.
    events.clear();
    SetCtrlAttribute(panel, T_CMD, ATTR_DIMMED, 1);
    seam::userPress(panel, T_CMD);
    EXPECT_TRUE(events.empty());
}

// Picking the entry already shown must not run the callback: the displays
// would redo their work and turn their alarm lamps off.
TEST_F(PanelsTest, RingRaisesEventsOnlyWhenThePickChangesTheValue)
{
    auto* box = qobject_cast<QComboBox*>(platform::controlWidget(panel, T_RING));
    ASSERT_NE(box, nullptr);
    DisplayPanel(panel);
    // The way a pick from the open list reaches the box.
    const auto pickFromList = [box](int value) {
        box->showPopup();
        box->view()->setCurrentIndex(box->model()->index(box->findData(value), 0));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(box->view(), &enter);
    };
    const auto pickBySeam = [this](int value) { seam::userSetValue(panel, T_RING, value); };
    struct Case {
        const char* how;
        std::function<void(int)> pick;
        int value;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"list, same", pickFromList, 2, {}},
        {"list, other", pickFromList, 9, {EVENT_VAL_CHANGED, EVENT_COMMIT}},
        {"seam, same", pickBySeam, 2, {}},
        {"seam, other", pickBySeam, 1, {EVENT_VAL_CHANGED, EVENT_COMMIT}},
    };
    for (const Case& c : cases) {
        SetCtrlVal(panel, T_RING, 2);
        events.clear();
        c.pick(c.value);
        std::vector<int> got;
        for (const Event& e : events)
            got.push_back(e.event);
        EXPECT_EQ(got, c.expected) << c.how;
        int value = 0;
        GetCtrlVal(panel, T_RING, &value);
        EXPECT_EQ(value, c.value) << c.how;
    }
}

// A user's comma locale must not reach the numbers shown or typed.
TEST_F(PanelsTest, NumericControlsUseTheCFormatWhateverTheLocale)
{
    struct DefaultLocale {
        explicit DefaultLocale(const QLocale& l) { QLocale::setDefault(l); }
        ~DefaultLocale() { QLocale::setDefault(QLocale::c()); }
    } german(QLocale(QLocale::German, QLocale::Germany));
    const int other = LoadPanel(0, "TEST.UIR", 1);
    ASSERT_GE(other, 0);
    auto* spin = qobject_cast<QDoubleSpinBox*>(platform::controlWidget(other, T_FLOAT));
    ASSERT_NE(spin, nullptr);
    SetCtrlVal(other, T_FLOAT, 23.5);
    EXPECT_EQ(spin->text().toStdString(), "23.50");
    // Typed by the user.
    spin->findChild<QLineEdit*>()->setText("-12.25");
    spin->interpretText();
    double value = 0;
    GetCtrlVal(other, T_FLOAT, &value);
    EXPECT_DOUBLE_EQ(value, -12.25);
    DiscardPanel(other);
}

TEST_F(PanelsTest, CloseBoxAsksThePanelCallbackAndKeepsThePanel)
{
    DisplayPanel(panel);
    seam::userClose(panel);
    EXPECT_EQ(panelEvents, 1);
    EXPECT_TRUE(seam::panelVisible(panel));
}

TEST_F(PanelsTest, AttributesAsTheUserSeesThem)
{
    SetCtrlAttribute(panel, T_INT, ATTR_VISIBLE, 0);
    EXPECT_FALSE(seam::isVisible(panel, T_INT));
    SetCtrlAttribute(panel, T_INT, ATTR_VISIBLE, 1);
    EXPECT_TRUE(seam::isVisible(panel, T_INT));
    SetCtrlAttribute(panel, T_FLOAT, ATTR_DIMMED, 1);
    EXPECT_TRUE(seam::isDimmed(panel, T_FLOAT));
    EXPECT_FALSE(platform::controlWidget(panel, T_FLOAT)->isEnabled());
    SetCtrlAttribute(panel, T_INDICATOR, ATTR_LABEL_TEXT, "%RH");
    EXPECT_EQ(seam::labelText(panel, T_INDICATOR), "%RH");
    SetCtrlAttribute(panel, T_MSG, ATTR_TEXT_COLOR, 0xFF0000);
    EXPECT_EQ(seam::textColor(panel, T_MSG), 0xFF0000);
    EXPECT_NE(platform::controlWidget(panel, T_MSG)->styleSheet().indexOf("ff0000"), -1);

    EXPECT_FALSE(seam::timerEnabled(panel, T_TIMER));
    SetCtrlAttribute(panel, T_TIMER, ATTR_INTERVAL, 2.0);
    SetCtrlAttribute(panel, T_TIMER, ATTR_ENABLED, 1);
    EXPECT_TRUE(seam::timerEnabled(panel, T_TIMER));
    EXPECT_DOUBLE_EQ(seam::timerInterval(panel, T_TIMER), 2.0);
    seam::fireTimer(panel, T_TIMER);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, EVENT_TIMER_TICK);
    SetCtrlAttribute(panel, T_TIMER, ATTR_ENABLED, 0);
    seam::fireTimer(panel, T_TIMER);
    EXPECT_EQ(events.size(), 1u);  // a disabled timer does not tick
}

TEST_F(PanelsTest, RealTimerTicksThroughTheEventLoop)
{
    SetCtrlAttribute(panel, T_TIMER, ATTR_INTERVAL, 0.01);
    SetCtrlAttribute(panel, T_TIMER, ATTR_ENABLED, 1);
    EXPECT_TRUE(testsupport::waitFor([] { return events.size() >= 2; }, 2000));
    SetCtrlAttribute(panel, T_TIMER, ATTR_ENABLED, 0);
}

TEST_F(PanelsTest, DelayRunsNoCallbackWhileItWaits)
{
    SetCtrlAttribute(panel, T_TIMER, ATTR_INTERVAL, 0.005);
    SetCtrlAttribute(panel, T_TIMER, ATTR_ENABLED, 1);
    seam::useRealDelay(true);
    QElapsedTimer waited;
    waited.start();
    Delay(0.1);
    const qint64 ms = waited.elapsed();
    seam::useRealDelay(false);
    EXPECT_GE(ms, 95);
    EXPECT_LT(ms, 1000);
    EXPECT_TRUE(events.empty());  // the timer fell due many times, no tick ran
    EXPECT_TRUE(testsupport::waitFor([] { return !events.empty(); }, 2000));
    SetCtrlAttribute(panel, T_TIMER, ATTR_ENABLED, 0);
}

TEST_F(PanelsTest, DefaultCtrlRestoresTheInitialValue)
{
    SetCtrlVal(panel, T_INT, 55);
    SetCtrlVal(panel, T_TEXT, "changed");
    DefaultCtrl(panel, T_INT);
    DefaultCtrl(panel, T_TEXT);
    int i = 0;
    char text[16];
    GetCtrlVal(panel, T_INT, &i);
    GetCtrlVal(panel, T_TEXT, text);
    EXPECT_EQ(i, 7);
    EXPECT_STREQ(text, "hello");
    EXPECT_TRUE(events.empty());
}

TEST_F(PanelsTest, ListOperations)
{
    DeleteListItem(panel, T_RING, 0, -1);
    int n = -1;
    GetNumListItems(panel, T_RING, &n);
    EXPECT_EQ(n, 0);
    int index = 5;
    GetCtrlIndex(panel, T_RING, &index);
    EXPECT_EQ(index, -1);
    InsertListItem(panel, T_RING, -1, "Room", 0);
    InsertListItem(panel, T_RING, -1, "Duct", 3);
    InsertListItem(panel, T_RING, -1, "Roof", 7);
    EXPECT_EQ(seam::listLabels(panel, T_RING), (std::vector<std::string>{"Room", "Duct", "Roof"}));
    ASSERT_EQ(GetIndexFromValue(panel, T_RING, &index, 7), 0);
    EXPECT_EQ(index, 2);
    EXPECT_LT(GetIndexFromValue(panel, T_RING, &index, 4), 0);
    SetCtrlIndex(panel, T_RING, 1);
    int value = -1;
    GetCtrlIndex(panel, T_RING, &index);
    GetValueFromIndex(panel, T_RING, index, &value);
    EXPECT_EQ(value, 3);
    DeleteListItem(panel, T_RING, 1, 1);
    EXPECT_EQ(seam::listLabels(panel, T_RING), (std::vector<std::string>{"Room", "Roof"}));
    EXPECT_TRUE(events.empty());
}

TEST_F(PanelsTest, PanelStateRoundTripAndStatesKeptApart)
{
    SetCtrlVal(panel, T_INT, 11);
    SetCtrlVal(panel, T_RING, 9);
    SetCtrlVal(panel, T_TEXT, "first");
    ASSERT_EQ(SavePanelState(panel, "Merrivan.ini", 1), 0);
    SetCtrlVal(panel, T_INT, 22);
    SetCtrlVal(panel, T_RING, 1);
    ASSERT_EQ(SavePanelState(panel, "Merrivan.ini", 0), 0);

    SetCtrlVal(panel, T_INT, 99);
    ASSERT_EQ(RecallPanelState(panel, "Merrivan.ini", 1), 0);
    int i = 0;
    GetCtrlVal(panel, T_INT, &i);
    EXPECT_EQ(i, 11);
    GetCtrlVal(panel, T_RING, &i);
    EXPECT_EQ(i, 9);
    ASSERT_EQ(RecallPanelState(panel, "Merrivan.ini", 0), 0);
    GetCtrlVal(panel, T_INT, &i);
    EXPECT_EQ(i, 22);
    EXPECT_LT(RecallPanelState(panel, "Merrivan.ini", 2), 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(PanelsTest, BadStoredValueTakesItsDefaultAndCostsNoOther)
{
    SetCtrlVal(panel, T_INT, 11);
    SetCtrlVal(panel, T_RING, 9);
    ASSERT_EQ(SavePanelState(panel, "Merrivan.ini", 1), 0);
    const std::string good = testsupport::readFile("Merrivan.ini");
    struct Case {
        const char* what;
        std::string content;
        int control;  // the one that takes its default
        int defaultValue;
    };
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        const auto at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            s.replace(at, from.size(), to);
        return s;
    };
    const std::vector<Case> cases = {
        {"value missing", replace("T_INT=11\n", ""), T_INT, 7},
        {"not a number", replace("T_INT=11", "T_INT=eleven"), T_INT, 7},
        {"out of range", replace("T_INT=11", "T_INT=1000"), T_INT, 7},
        {"ring value not offered", replace("T_RING=9", "T_RING=5"), T_RING, 2},
        {"switch not 0/1", replace("T_SWITCH=0", "T_SWITCH=4"), T_SWITCH, 0},
    };
    std::string pad;  // QSettings may keep a file of the same size and age cached
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pad += "\n";
        testsupport::writeFile("Merrivan.ini", c.content + pad);
        SetCtrlVal(panel, T_INT, 33);
        SetCtrlVal(panel, T_RING, 1);
        SetCtrlVal(panel, T_SWITCH, 1);
        EXPECT_EQ(RecallPanelState(panel, "Merrivan.ini", 1), 1);
        int i = 0;
        GetCtrlVal(panel, c.control, &i);
        EXPECT_EQ(i, c.defaultValue);
        EXPECT_EQ(CtrlValRecalled(panel, c.control), 0);
        if (c.control != T_INT) {
            GetCtrlVal(panel, T_INT, &i);
            EXPECT_EQ(i, 11);
            EXPECT_EQ(CtrlValRecalled(panel, T_INT), 1);
        }
        if (c.control != T_RING) {
            GetCtrlVal(panel, T_RING, &i);
            EXPECT_EQ(i, 9);
        }
    }
    // No state at all: nothing changes.
    testsupport::writeFile("Merrivan.ini", replace("[State1]", "[State7]") + pad + "\n");
    SetCtrlVal(panel, T_INT, 33);
    EXPECT_LT(RecallPanelState(panel, "Merrivan.ini", 1), 0);
    int i = 0;
    GetCtrlVal(panel, T_INT, &i);
    EXPECT_EQ(i, 33);
    EXPECT_EQ(CtrlValRecalled(panel, T_INT), 0);
    EXPECT_LT(RecallPanelState(panel, "Missing.ini", 1), 0);
}

TEST_F(PanelsTest, SavingAStateKeepsCommentsAndUnknownLines)
{
    const std::string top = "; by hand\n[Other]\nkey=1, 2\n\n";
    testsupport::writeFile("Merrivan.ini",
                           top + "[State1]\n; mine\nT_INT=5\nT_UNKNOWN=x\n\n[After]\na=b\n");
    SetCtrlVal(panel, T_INT, 12);
    ASSERT_EQ(SavePanelState(panel, "Merrivan.ini", 1), 0);
    const std::string after = testsupport::readFile("Merrivan.ini");
    EXPECT_EQ(after.rfind(top + "[State1]\n; mine\nT_INT=12\nT_UNKNOWN=x\n", 0), 0u) << after;
    EXPECT_NE(after.find("\n[After]\na=b\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("T_INT=5"), std::string::npos) << after;
    SetCtrlVal(panel, T_INT, 33);
    EXPECT_EQ(RecallPanelState(panel, "Merrivan.ini", 1), 0);
    int i = 0;
    GetCtrlVal(panel, T_INT, &i);
    EXPECT_EQ(i, 12);
}

TEST_F(PanelsTest, SavingAStateKeepsOtherSections)
{
    testsupport::writeFile("Merrivan.ini", "[ComPorts]\nCOM5=/dev/pts/9\n");
    ASSERT_EQ(SavePanelState(panel, "Merrivan.ini", 1), 0);
    const std::string after = testsupport::readFile("Merrivan.ini");
    EXPECT_NE(after.find("COM5=/dev/pts/9"), std::string::npos);
    EXPECT_NE(after.find("[State1]"), std::string::npos);
}

TEST_F(PanelsTest, StripChartKeepsOneScreenHoweverOftenItIsFed)
{
    std::vector<float> block(3 * 1000);
    for (std::size_t k = 0; k < block.size(); ++k)
        block[k] = static_cast<float>(k % 10);
    for (int round = 0; round < 50; ++round)
        PlotStripChart(panel, T_CHART, block.data(), static_cast<int>(block.size()));
    for (int trace = 1; trace <= 3; ++trace)
        EXPECT_EQ(seam::stripPoints(panel, T_CHART, trace), 50);
    SetCtrlAttribute(panel, T_CHART, ATTR_POINTS_PER_SCREEN, 20);
    EXPECT_EQ(seam::stripPoints(panel, T_CHART, 1), 20);
    double lo = 0, hi = 0;
    seam::xAxisRange(panel, T_CHART, &lo, &hi);
    EXPECT_DOUBLE_EQ(hi - lo, 20.0);
    ClearStripChart(panel, T_CHART);
    EXPECT_EQ(seam::stripPoints(panel, T_CHART, 1), 0);
    // A partial point (fewer values than traces) adds nothing.
    const float two[2] = {1, 2};
    PlotStripChart(panel, T_CHART, two, 2);
    EXPECT_EQ(seam::stripPoints(panel, T_CHART, 1), 0);
}

TEST_F(PanelsTest, StripChartTracesAndScale)
{
    SetTraceAttribute(panel, T_CHART, 2, ATTR_TRACE_VISIBLE, 0);
    EXPECT_TRUE(seam::traceVisible(panel, T_CHART, 1));
    EXPECT_FALSE(seam::traceVisible(panel, T_CHART, 2));
    SetAxisScalingMode(panel, T_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, -10.0, 10.0);
    double lo = 0, hi = 0;
    seam::yAxisRange(panel, T_CHART, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, -10.0);
    EXPECT_DOUBLE_EQ(hi, 10.0);
    SetCtrlAttribute(panel, T_CHART, ATTR_LABEL_TEXT, "Stop Logging");
    EXPECT_EQ(seam::labelText(panel, T_CHART), "Stop Logging");
}

TEST_F(PanelsTest, GraphPlotsAndCursor)
{
    const double x[3] = {1, 2, 3};
    const int y[3] = {4, 0, 2};
    EXPECT_GT(PlotXY(panel, T_GRAPH, x, y, 3, VAL_VERTICAL_BAR, VAL_RED), 0);
    int plots = 0;
    GetNumGraphPlots(panel, T_GRAPH, &plots);
    EXPECT_EQ(plots, 1);
    DeleteGraphPlot(panel, T_GRAPH, -1, VAL_IMMEDIATE_DRAW);
    GetNumGraphPlots(panel, T_GRAPH, &plots);
    EXPECT_EQ(plots, 0);
    SetAxisRange(panel, T_GRAPH, VAL_MANUAL, 0.0, 4.0, VAL_MANUAL, 0.0, 5.0);
    double lo = 0, hi = 0;
    seam::xAxisRange(panel, T_GRAPH, &lo, &hi);
    EXPECT_DOUBLE_EQ(hi, 4.0);

    events.clear();
    seam::userMoveCursor(panel, T_GRAPH, 2.0, 3.0);  // cursor off: nothing
    EXPECT_TRUE(events.empty());
    SetCursorAttribute(panel, T_GRAPH, 1, ATTR_CURSOR_ENABLED, 1);
    EXPECT_TRUE(seam::cursorEnabled(panel, T_GRAPH));
    seam::userMoveCursor(panel, T_GRAPH, 2.0, 3.0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, EVENT_VAL_CHANGED);
    double cx = 0, cy = 0;
    GetGraphCursor(panel, T_GRAPH, 1, &cx, &cy);
    EXPECT_DOUBLE_EQ(cx, 2.0);
    EXPECT_DOUBLE_EQ(cy, 3.0);
}

TEST_F(PanelsTest, DiscardFromOwnCallbackIsSafe)
{
    platform::registerCallback("recordEvent", [](int p, int, int, void*, int, int) {
        DiscardPanel(p);
        return 0;
    });
    const int other = LoadPanel(0, "TEST.UIR", 1);
    ASSERT_GE(other, 0);
    const int before = seam::livePanels();
    seam::userPress(other, T_CMD);
    EXPECT_EQ(seam::livePanels(), before - 1);
    EXPECT_LT(SetCtrlVal(other, T_INT, 1), 0);  // the handle is gone
    QCoreApplication::processEvents();
    platform::registerCallback("recordEvent", recordEvent);
}

TEST_F(PanelsTest, PrintToFileWritesAPdf)
{
    ASSERT_EQ(PrintPanel(panel, "panel.pdf", 1, 1, 0), 0);
    const std::string pdf = testsupport::readFile("panel.pdf");
    ASSERT_GT(pdf.size(), 500u);
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
}

// ---------------------------------------------------------------- the world

TEST(WorldTest, ClockTextsHaveTheirFixedShape)
{
    seam::reset();
    seam::setClock(2001, 2, 3, 4, 5, 6);
    EXPECT_STREQ(DateStr(), "02-03-2001");
    EXPECT_STREQ(TimeStr(), "04:05:06");
    seam::advanceClock(86400 + 3600);
    EXPECT_STREQ(DateStr(), "02-04-2001");
    EXPECT_STREQ(TimeStr(), "05:05:06");
    seam::useRealClock();
    EXPECT_EQ(std::strlen(DateStr()), 10u);
    EXPECT_EQ(std::strlen(TimeStr()), 8u);
}

TEST(WorldTest, PopupsAreAnsweredFromTheScript)
{
    seam::reset();
    seam::pushConfirmAnswer(1);
    EXPECT_EQ(ConfirmPopup("T", "M"), 1);
    EXPECT_EQ(ConfirmPopup("T", "M"), 0);  // no answer scripted: no
    MessagePopup("Title", "Message");
    seam::pushFileAnswer("/tmp/x.txt");
    char path[64];
    EXPECT_NE(FileSelectPopup("", "*.txt", "ASCII files(*.txt)", "Save File", VAL_SAVE_BUTTON, 0, 0,
                              1, 1, path, sizeof path),
              0);
    EXPECT_STREQ(path, "/tmp/x.txt");
    seam::pushFileAnswer("");
    EXPECT_EQ(FileSelectPopup("", "*.txt", "", "Retrieve File", VAL_LOAD_BUTTON, 0, 0, 1, 1, path,
                              sizeof path),
              0);
    // A chosen path longer than the caller's buffer is refused, never cut.
    seam::pushFileAnswer(std::string(100, 'a'));
    char small[16];
    EXPECT_EQ(FileSelectPopup("", "*.txt", "", "Save File", VAL_SAVE_BUTTON, 0, 0, 1, 1, small,
                              sizeof small),
              0);
    ASSERT_EQ(seam::popups().size(), 6u);
    EXPECT_EQ(seam::popups()[2].kind, "message");
    EXPECT_EQ(seam::popups()[2].message, "Message");
    EXPECT_EQ(seam::popups()[3].title, "Save File");
}

TEST(WorldTest, DelayBeepAndLaunchReachOnlyTheSeams)
{
    seam::reset();
    std::vector<double> waits;
    seam::onDelay([&](double s) { waits.push_back(s); });
    Delay(1.0);
    Delay(0.2);
    EXPECT_EQ(waits, (std::vector<double>{1.0, 0.2}));
    EXPECT_DOUBLE_EQ(seam::totalDelay(), 1.2);
    CVI_Beep();
    CVI_Beep();
    EXPECT_EQ(seam::beepCount(), 2);
    LaunchExecutable("hh RS232 HELP.chm");
    ASSERT_EQ(seam::launches().size(), 1u);
    seam::reset();
    EXPECT_EQ(seam::beepCount(), 0);
    EXPECT_TRUE(seam::launches().empty());
}

}  // namespace

