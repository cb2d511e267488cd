// Units as people write them: shown forms of the meter's unit texts.
#include <gtest/gtest.h>

#include <string>

#include "core/unit_text.h"

namespace {

struct UnitCase {
    const char* meter;
    bool humidity;
    const char* shown;
};

TEST(UnitText, MeterTextsShowAsPeopleWriteThem)
{
    const UnitCase cases[] = {
        {"C", false, "\u00B0C"},
        {"F", false, "\u00B0F"},
        {"%RH", true, "%RH"},
        {"%", true, "%RH"},     // the legacy meter's humidity
        {"%", false, "%"},      // a percentage of something else stays one
        {"m/s", false, "m/s"},
        {"CMM", false, "m\u00B3/min"},
        {"CFM", false, "CFM"},
        {"hPa", false, "hPa"},
        {"mg/L", false, "mg/L"},
        {"uS/cm", false, "\u00B5S/cm"},
        {"K", false, "K"},      // kelvin has no degree sign
        {"c", false, "c"},      // only exact texts are changed
        {"Nul", false, ""},     // the field had no unit
        {"", false, ""},
        {nullptr, false, ""},
    };
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.meter ? c.meter : "(null)");
        EXPECT_EQ(shownUnit(c.meter, c.humidity), c.shown);
    }
}

}  // namespace
