// Numbers read and shown the C way under a decimal-comma locale. This
// executable has its own main: the locale must be in force before the
// run-time creates the application object, as for a user in Germany.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/channel.h"
#include "app/program_run.h"
#include "core/field_helpers.h"
#include "meter/receive.h"
#include "meter/serial_link.h"
#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "platform/pty_helper.h"
#include "platform/seams.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"

namespace {

const char* const kCommaLocale = "de_DE.UTF-8";
bool commaLocaleMade = false;

class LocaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!commaLocaleMade) {
            // CI generates the locale in its install step, so there it must exist.
            if (std::getenv("CI"))
                FAIL() << kCommaLocale << " is not installed; tools/install_deps.sh should make it";
            GTEST_SKIP() << kCommaLocale << " is not installed (run locale-gen), nothing to prove";
        }
        static char name[] = "tests_locale";
        char* argv[] = {name, nullptr};
        ASSERT_EQ(InitCVIRTE(0, argv, 0), 1);
        seam::enable();
    }
};

TEST_F(LocaleTest, RunTimeKeepsTheCNumberFormat)
{
    ChannelRecord rec{};
    char field[] = "23.5C";
    analysisValStr(field, &rec);
    EXPECT_FLOAT_EQ(rec.value, 23.5f);
    EXPECT_STREQ(rec.valStr, "23.5");

    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 23.5);
    EXPECT_STREQ(text, "23.5");

    // Every numeric entry of the panels shows a decimal point.
    testsupport::PanelsUp panels;
    int numeric = 0;
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* box = qobject_cast<QAbstractSpinBox*>(w)) {
            ++numeric;
            EXPECT_EQ(box->text().indexOf(','), -1) << box->text().toStdString();
        }
    }
    EXPECT_GT(numeric, 0);
}

// A meter frame through a pseudo-terminal, the receive path and the 9600
// decoder: read and shown with its decimal point.
TEST_F(LocaleTest, DecodedFrameKeepsTheDecimalPoint)
{
    testsupport::TempDir dir;
    testsupport::PanelsUp panels;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    constexpr int kPort = 7;
    seam::mapComPort(kPort, pty.slavePath());
    ASSERT_GE(OpenComConfig(kPort, "", 9600, 0, 8, 1, 256, 256), 0);
    InstallComCallback(kPort, LWRS_RXFLAG, 0, 13, comPortCharDetCallBack, nullptr);
    fNewMeter = 1;

    ASSERT_TRUE(pty.write("T0023.5C:H045.2%RH07\r"));
    const auto box = [] {
        char text[32] = "";
        GetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, text);
        return std::string(text);
    };
    EXPECT_TRUE(testsupport::waitFor([&] { return box() == "23.5"; })) << box();
    EXPECT_FLOAT_EQ(channel[0].value, 23.5f);
    EXPECT_FLOAT_EQ(channel[1].value, 45.2f);
    CloseCom(kPort);
}

// Typed key by key into an entry, then Enter, as a user does.
void type(int panel, int control, const std::string& text)
{
    ASSERT_TRUE(seam::userTypeKeys(panel, control, text));
}

std::string shown(int panel, int control)
{
    return seam::entryText(panel, control);
}

// The user's decimal comma is a decimal point, never a digit-group mark; the
// entry shows the number with a point and the limit takes its value.
TEST_F(LocaleTest, TypedDecimalCommaIsTheDecimalPoint)
{
    testsupport::PanelsUp panels;
    seam::userSetValue(monitorPanel, MONITOR_CH1_ALARM_SW, 1);
    ASSERT_FALSE(seam::isDimmed(monitorPanel, MONITOR_CH1_HIGH));
    struct Case {
        const char* typed;
        const char* shows;
        float limit;
    };
    const Case cases[] = {
        {"12,5", "12.50", 12.5f},
        {"12.5", "12.50", 12.5f},
        {"-0,25", "-0.25", -0.25f},
        {"1,234", "1.23", 1.234f},     // not 1234
        {"1.234,5", "1.23", 1.2345f},  // one decimal mark: the second is refused
        {"7,", "7.00", 7.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        vLow[0] = -100.0f;
        SetCtrlVal(monitorPanel, MONITOR_CH1_HIGH, 50.0);
        type(monitorPanel, MONITOR_CH1_HIGH, c.typed);
        EXPECT_EQ(shown(monitorPanel, MONITOR_CH1_HIGH), c.shows);
        EXPECT_FLOAT_EQ(vHi[0], c.limit);
    }
}

// The set-up stored with decimal points reads back, and is written back so,
// even with the comma in force for the C library's numbers.
TEST_F(LocaleTest, StoredSetUpKeepsItsDecimalPoint)
{
    testsupport::TempDir dir;
    seam::reset();
    seam::clearComMap();
    testsupport::writeFile("Merrivan.ini",
                           "[State0]\nMONITOR_GAIN=2.5\nMONITOR_OFFSET=-1.25\n[AlarmLimits]\n"
                           "High3=12.5\nLow3=-0.75\n" +
                               testsupport::stateIni(3, 9600, 0, 8, 1));
    testsupport::runProgram([] {
        std::setlocale(LC_NUMERIC, kCommaLocale);
        EXPECT_EQ(shown(monitorPanel, MONITOR_GAIN), "2.500");
        EXPECT_EQ(shown(monitorPanel, MONITOR_OFFSET), "-1.25");
        EXPECT_EQ(vHi[2], 12.5f);
        EXPECT_EQ(vLow[2], -0.75f);
        vLow[5] = -0.5f;
    });
    std::setlocale(LC_NUMERIC, "C");
    const std::string ini = testsupport::readFile("Merrivan.ini");
    EXPECT_NE(ini.find("High3=12.5\nLow3=-0.75\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Low6=-0.5\n"), std::string::npos) << ini;
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LC_ALL", kCommaLocale, 1);
    if (std::setlocale(LC_ALL, "") != nullptr)
        commaLocaleMade = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
