#include "mqtt/state_json.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

using nlohmann::json;

std::string isoTimeUtc(std::int64_t timeMs)
{
    std::int64_t seconds = timeMs / 1000;
    int millis = static_cast<int>(timeMs % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return text;
}

std::string stateJson(const StateMessage& message)
{
    json channels = json::array();
    for (const ChannelReading& c : message.channels) {
        json value = nullptr;
        if (std::isfinite(c.value))
            value = c.value;
        channels.push_back({{"name", c.name},
                            {"sensor", c.sensor},
                            {"value", value},
                            {"text", c.text},
                            {"unit", c.unit},
                            {"status", c.status}});
    }
    const json state = {
        {"time", isoTimeUtc(message.timeMs)}, {"port", message.port}, {"channels", channels}};
    // Meter texts are not always UTF-8: a stray byte is replaced, not thrown.
    return state.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string statusJson(const char* state, const std::string& link)
{
    json status = {{"state", state}};
    if (!link.empty())
        status["link"] = link;
    return status.dump();
}

std::string topicId(const std::string& meterId)
{
    std::string id;
    for (char c : meterId) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        id += plain ? c : '_';
    }
    return id.empty() ? "meter" : id;
}

std::string discoveryJson(const std::string& meterId, int index, const ChannelReading& channel)
{
    const std::string id = topicId(meterId);
    json config = {
        {"name", channel.name},
        {"state_topic", "merrivan/" + id + "/state"},
        {"value_template", "{{ value_json.channels[" + std::to_string(index) + "].value }}"},
        {"unique_id", id + "_" + std::to_string(index + 1)},
        {"availability_topic", "merrivan/" + id + "/status"},
        {"availability_template", "{{ value_json.state }}"},
        {"payload_available", "online"},
        {"payload_not_available", "offline"},
        {"device",
         {{"identifiers", json::array({"merrivan_" + id})},
          {"name", "Merrivan " + meterId},
          {"model", "Multi-parameter meter"}}},
    };
    if (!channel.unit.empty())
        config["unit_of_measurement"] = channel.unit;
    return config.dump(-1, ' ', false, json::error_handler_t::replace);
}
