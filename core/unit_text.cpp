#include "core/unit_text.h"

#include <cstring>

namespace {

struct UnitForm {
    const char* meter;
    const char* shown;
};

// Exact texts only: a guess at an unknown text could show a wrong unit.
constexpr UnitForm kForms[] = {
    {"C", "\u00B0C"},
    {"F", "\u00B0F"},
    {"oC", "\u00B0C"},
    {"oF", "\u00B0F"},
    {"RH", "%RH"},
    {"%rh", "%RH"},
    {"M/S", "m/s"},
    {"KM/H", "km/h"},
    {"MPH", "mph"},
    {"CMM", "m\u00B3/min"},
    {"HPA", "hPa"},
    {"KPA", "kPa"},
    {"MBAR", "mbar"},
    {"MMHG", "mmHg"},
    {"INHG", "inHg"},
    {"PSI", "psi"},
    {"DB", "dB"},
    {"PH", "pH"},
    {"MV", "mV"},
    {"MG/L", "mg/L"},
    {"PPM", "ppm"},
    {"PPT", "ppt"},
    {"uS", "\u00B5S"},
    {"uS/cm", "\u00B5S/cm"},
    {"US/CM", "\u00B5S/cm"},
    {"MS/CM", "mS/cm"},
};

}  // namespace

std::string shownUnit(const char* meterUnit, bool humidity)
{
    if (!meterUnit || !*meterUnit || std::strcmp(meterUnit, "Nul") == 0)
        return {};
    if (humidity && std::strcmp(meterUnit, "%") == 0)
        return "%RH";
    for (const UnitForm& form : kForms) {
        if (std::strcmp(meterUnit, form.meter) == 0)
            return form.shown;
    }
    return meterUnit;
}
