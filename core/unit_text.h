// How a unit is shown on screen. The meter writes its units in plain ASCII
// ("C", "%", "m/s", "CMM"); people read "°C", "%RH", "m³/min". Display only:
// records, data files and exports keep the meter's own text.
#pragma once

#include <string>

// The shown (UTF-8) form of the meter's unit text `meterUnit`. `humidity`
// says the channel measures relative humidity, where the legacy meter's bare
// "%" means "%RH". "Nul" (the field carried no unit) and an empty text show
// nothing; a text not in the table is shown as the meter sent it.
std::string shownUnit(const char* meterUnit, bool humidity);
