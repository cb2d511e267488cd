// Numbers read and shown the C way under a decimal-comma locale. This
// executable has its own main: the locale must be in force before the
// run-time creates the application object, as for a user in Germany.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "meter/field_helpers.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "test_support.h"

namespace {

const char* const kCommaLocale = "de_DE.UTF-8";
bool commaLocaleMade = false;

TEST(LocaleTest, RunTimeKeepsTheCNumberFormat)
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
