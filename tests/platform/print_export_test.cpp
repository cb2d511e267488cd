// Printed panels, images of the plots, and where the settings file lives.
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "platform/platform.h"
#include "platform/seams.h"
#include "platform/ui_internal.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

using testsupport::PanelsUp;
using testsupport::TempDir;

namespace {

class PrintExportTest : public ::testing::Test {
protected:
    void SetUp() override { seam::reset(); }
    void TearDown() override { seam::reset(); }
    TempDir dir;
    PanelsUp panels;
};

// The plot's context menu entry "Save image...", chosen as the user would.
bool saveImageFromMenu(int panel, int control)
{
    QCustomPlot* plot = nullptr;
    if (auto* strip = platform::stripOf(panel, control))
        plot = strip->plot();
    else if (auto* graph = platform::graphOf(panel, control))
        plot = graph->plot();
    if (!plot)
        return false;
    emit plot->customContextMenuRequested(QPoint(20, 20));
    auto* menu = plot->findChild<QMenu*>();
    if (!menu)
        return false;
    for (QAction* action : menu->actions())
        if (action->text() == "Save image...") {
            action->trigger();
            menu->close();
            return true;
        }
    return false;
}

TEST_F(PrintExportTest, PrintedMonitorPanelIsASmallVectorPdf)
{
    DisplayPanel(monitorPanel);
    SetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, "23.4");
    SetCtrlVal(monitorPanel, MONITOR_CH2_VALUE, "45.6");
    const std::string file = dir.file("monitor.pdf");
    PrintPanel(monitorPanel, file.c_str(), 0, 1, 1);
    const std::string pdf = testsupport::readFile(file);
    ASSERT_EQ(pdf.rfind("%PDF-", 0), 0u);
    // A picture of the window takes megabytes; drawing commands and fonts
    // (text kept as text) a small part of that.
    EXPECT_LT(pdf.size(), 400u * 1024u);
    EXPECT_NE(pdf.find("/FontFile"), std::string::npos);
    // Readings and lamps print as drawings, not as pictures of the screen:
    // the only pictures are the style's small, wide pieces of buttons and
    // boxes, never a lamp's square or a figure's tall one.
    const std::regex image(R"(/Subtype /Image[^>]*?/Width (\d+)[^>]*?/Height (\d+))");
    int pictures = 0;
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), image); it != std::sregex_iterator();
         ++it, ++pictures) {
        const int width = std::stoi((*it)[1]);
        const int height = std::stoi((*it)[2]);
        EXPECT_LT(height, 30) << width << "x" << height;
        EXPECT_GT(width, height * 3 / 2) << width << "x" << height;
    }
    EXPECT_GT(pictures, 0);  // the pattern still finds the style's pieces
}

TEST_F(PrintExportTest, PlotsSaveAsPngPdfAndSvgFromTheirContextMenu)
{
    const float values[] = {1.0f, 2.0f, 3.0f, 2.5f};
    PlotStripChart(monitorPanel, MONITOR_CHART, values, 4);
    const double x[] = {0.0, 1.0, 2.0};
    const int y[] = {3, 7, 1};
    PlotXY(statisticPanel, STATISTIC_HISTOGRAM, x, y, 3, VAL_VERTICAL_BAR, VAL_RED);

    struct Case {
        int panel;
        int control;
        const char* name;    // as typed in the file pop-up
        const char* stored;  // the file written
        const char* magic;
    };
    const Case cases[] = {
        {monitorPanel, MONITOR_CHART, "chart.png", "chart.png", "\x89PNG\r\n\x1a\n"},
        {monitorPanel, MONITOR_CHART, "chart.pdf", "chart.pdf", "%PDF-"},
        {monitorPanel, MONITOR_CHART, "chart.svg", "chart.svg", "<?xml"},
        {statisticPanel, STATISTIC_HISTOGRAM, "histogram.PNG", "histogram.PNG", "\x89PNG\r\n\x1a\n"},
        {statisticPanel, STATISTIC_HISTOGRAM, "histogram.pdf", "histogram.pdf", "%PDF-"},
        {statisticPanel, STATISTIC_HISTOGRAM, "histogram", "histogram.png", "\x89PNG\r\n\x1a\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seam::pushFileAnswer(dir.file(c.name));
        ASSERT_TRUE(saveImageFromMenu(c.panel, c.control));
        const std::string bytes = testsupport::readFile(dir.file(c.stored));
        EXPECT_EQ(bytes.rfind(c.magic, 0), 0u);
        if (std::string(c.magic).find("PNG") != std::string::npos) {
            EXPECT_FALSE(QImage(QString::fromStdString(dir.file(c.stored))).isNull());
        }
        if (std::string(c.magic) == "<?xml") {
            EXPECT_NE(bytes.find("<svg"), std::string::npos);
        }
    }
    // Cancelled: nothing written, no message.
    seam::pushFileAnswer("");
    ASSERT_TRUE(saveImageFromMenu(monitorPanel, MONITOR_CHART));
    EXPECT_TRUE(seam::popups().back().kind == "file");
}

// The pointer shows the program busy while a chart is drawn into a file or
// printed, and is itself again after, also for the pop-up of a failed save.
TEST_F(PrintExportTest, BusyPointerWhileDrawingOnlyAndNestedSafely)
{
    const auto pointer = [] {
        const QCursor* c = QGuiApplication::overrideCursor();
        return c ? static_cast<int>(c->shape()) : -1;
    };
    auto* plot = platform::stripOf(monitorPanel, MONITOR_CHART)->plot();
    int whileDrawing = -2;
    const QMetaObject::Connection seen =
        QObject::connect(plot, &QCustomPlot::afterLayout, [&] { whileDrawing = pointer(); });
    int atPopup = -2;
    seam::onPopup([&](const seam::Popup&) { atPopup = pointer(); });

    seam::pushFileAnswer(dir.file("chart.png"));
    ASSERT_TRUE(saveImageFromMenu(monitorPanel, MONITOR_CHART));
    EXPECT_EQ(whileDrawing, Qt::WaitCursor);
    EXPECT_EQ(pointer(), -1);

    whileDrawing = -2;
    PrintPanel(monitorPanel, dir.file("monitor.pdf").c_str(), 0, 1, 1);
    EXPECT_EQ(whileDrawing, Qt::WaitCursor);
    EXPECT_EQ(pointer(), -1);

    seam::pushFileAnswer(dir.file("no-such-folder/chart.png"));
    ASSERT_TRUE(saveImageFromMenu(monitorPanel, MONITOR_CHART));
    ASSERT_EQ(seam::popups().back().title, "Save Image");
    EXPECT_EQ(atPopup, -1);
    QObject::disconnect(seen);

    {
        const BusyCursor outer;
        { const BusyCursor inner; }
        EXPECT_EQ(pointer(), Qt::WaitCursor);
    }
    EXPECT_EQ(pointer(), -1);
}

TEST_F(PrintExportTest, SettingsFileIsInTheWorkingDirectoryUnlessStartedFromTheMenu)
{
    struct Case {
        const char* settings;  // MERRIVAN_SETTINGS, nullptr when unset
        const char* name;
        std::string expected;
    };
    const std::string config = dir.file("config");
    const Case cases[] = {
        {nullptr, "Merrivan.ini", "Merrivan.ini"},
        {"", "Merrivan.ini", "Merrivan.ini"},
        {"xdg", "Merrivan.ini", config + "/merrivan/Merrivan.ini"},
        {"xdg", "/var/tmp/Merrivan.ini", "/var/tmp/Merrivan.ini"},
    };
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keptConfig = oldConfig ? oldConfig : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings ? c.settings : "(unset)");
        if (c.settings)
            setenv("MERRIVAN_SETTINGS", c.settings, 1);
        else
            unsetenv("MERRIVAN_SETTINGS");
        char path[512];
        ASSERT_EQ(settingsFilePath(c.name, path, sizeof path), 0);
        EXPECT_EQ(std::string(path), c.expected);
    }
    // The panel state goes where the rule says, and comes back from there.
    setenv("MERRIVAN_SETTINGS", "xdg", 1);
    SavePanelState(monitorPanel, "Merrivan.ini", 0);
    EXPECT_FALSE(testsupport::fileExists(dir.file("Merrivan.ini")));
    EXPECT_NE(testsupport::readFile(config + "/merrivan/Merrivan.ini").find("[State0]"),
              std::string::npos);
    unsetenv("MERRIVAN_SETTINGS");
    if (oldConfig)
        setenv("XDG_CONFIG_HOME", keptConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
