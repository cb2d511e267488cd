// The payloads the publisher sends, as JSON texts. Numbers are written in the
// C format whatever the locale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ChannelReading {
    std::string name;    // the meter's description, else the sensor name
    std::string sensor;  // the sensor name
    double value = 0;    // NaN: the field carried no number (an E-code); sent as null
    std::string text;    // the reading as the meter sent it
    std::string unit;    // as shown ("°C")
    std::string status;  // "ok", the E-code, "alarm high", "alarm low"
};

struct StateMessage {
    std::int64_t timeMs = 0;  // milliseconds since 1970-01-01 UTC
    std::string port;         // "COM3"
    std::vector<ChannelReading> channels;
};

// "2026-12-08T03:04:05.678Z"
std::string isoTimeUtc(std::int64_t timeMs);
// {"time":...,"port":...,"channels":[{"name":...,"sensor":...,"value":...,
//  "text":...,"unit":...,"status":...}, ...]}
std::string stateJson(const StateMessage& message);
// The retained status: {"state":"online","link":"streaming"}; an empty link
// is left out.
std::string statusJson(const char* state, const std::string& link);
// Home Assistant's discovery config of channel `index` of meter `meterId`.
std::string discoveryJson(const std::string& meterId, int index, const ChannelReading& channel);
// The meter id as it goes into topics: letters, digits, '-' and '_' only.
std::string topicId(const std::string& meterId);
