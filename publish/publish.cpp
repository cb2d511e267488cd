#include "publish/publish.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "core/channel.h"
#include "core/unit_text.h"
#include "platform/platform.h"
#include "record/recording.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/alarm_limits.h"

namespace {

constexpr char kSection[] = "Mqtt";
constexpr int kRetellSeconds = 60;

MqttSettings settings;
std::unique_ptr<Publisher> publisher;
// Old publishers end on threads of their own, so the window never waits;
// the exit waits for them.
std::vector<std::thread> ending;
// The link's COM number (portNo lives in meter, above this library).
int port = 0;
// The latest link state, for a publisher started after it was told.
const char* linkState = kLinkNoData;
// What the status line last said, and when.
std::string toldText;
int secondsSinceTold = 0;

std::string iniText(const char* key, const std::string& fallback)
{
    char text[512];
    if (RecallIniText(kSettingsFile, kSection, key, text, sizeof text) < 0)
        return fallback;
    return text;
}

bool iniBool(const char* key, bool fallback)
{
    const std::string t = iniText(key, fallback ? "true" : "false");
    if (t == "true" || t == "1")
        return true;
    if (t == "false" || t == "0")
        return false;
    return fallback;
}

int iniPort(const char* key, int fallback)
{
    const std::string t = iniText(key, "");
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || value < 1 || value > 65535)
        return fallback;
    return value;
}

MqttSettings recallSettings()
{
    MqttSettings s;
    s.enabled = iniBool("Enabled", false);
    s.host = iniText("Host", s.host);
    s.port = iniPort("Port", s.port);
    s.meterId = iniText("MeterId", "");
    s.tls = iniBool("Tls", false);
    s.caFile = iniText("CaFile", "");
    s.user = iniText("User", "");
    s.password = iniText("Password", "");
    s.homeAssistant = iniBool("HomeAssistant", false);
    return s;
}

void storeSettings(const MqttSettings& s)
{
    const std::string portText = std::to_string(s.port);
    const char* const keys[] = {"Enabled", "Host", "Port",     "MeterId",      "Tls",
                                "CaFile",  "User", "Password", "HomeAssistant"};
    const char* const texts[] = {s.enabled ? "true" : "false", s.host.c_str(),
                                 portText.c_str(),             s.meterId.c_str(),
                                 s.tls ? "true" : "false",     s.caFile.c_str(),
                                 s.user.c_str(),               s.password.c_str(),
                                 s.homeAssistant ? "true" : "false"};
    SaveIniTexts(kSettingsFile, kSection, keys, texts, 9);
}

void endPublisher()
{
    if (publisher)
        ending.emplace_back([old = std::move(publisher)]() mutable { old.reset(); });
    publisher.reset();
}

void beginPublisher()
{
    toldText.clear();
    if (!settings.enabled)
        return;
    PublisherSettings p;
    p.host = settings.host;
    p.port = settings.port;
    p.meterId = settings.meterId.empty() ? defaultMeterId() : settings.meterId;
    p.tls = settings.tls;
    p.caFile = settings.caFile;
    p.user = settings.user;
    p.password = settings.password;
    p.homeAssistant = settings.homeAssistant;
    publisher = std::make_unique<Publisher>(p);
    publisher->publishLinkState(linkState);
}

// The reading as a number: the meter's own text read in the C format, so
// that "23.4" goes out as 23.4 and not as the float nearest to it.
double readingValue(const ChannelRecord& rec, bool errorCode)
{
    if (errorCode || std::isnan(rec.value))
        return std::nan("");
    const char* text = rec.valStr;
    while (*text == ' ' || *text == '+')
        ++text;
    double value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, ec] = std::from_chars(text, end, value);
    if (ec == std::errc() && stop == end)
        return value;
    return static_cast<double>(rec.value);
}

std::string channelStatus(int i, const FrameResult& r, double value)
{
    if (const char* code = r.errorText(i))
        return code;
    if (std::isnan(value))
        return channel[i].valStr;
    const AlarmLamps lamps = alarmLamps(i);
    if (lamps.tested && lamps.high)
        return "alarm high";
    if (lamps.tested && lamps.low)
        return "alarm low";
    return "ok";
}

std::string brokerName()
{
    return settings.host + ":" + std::to_string(settings.port);
}

// The status line's text while the broker is away; "" while all is well.
std::string problemText()
{
    if (!publisher)
        return {};
    const PublisherStatus st = publisher->status();
    if (st.state != PublisherStatus::State::Failed)
        return {};
    char text[512];
    std::snprintf(text, sizeof text, "MQTT: broker %s %s, %zu reading%s waiting.",
                  brokerName().c_str(), st.error.c_str(), st.queued, st.queued == 1 ? "" : "s");
    return text;
}

}  // namespace

std::string defaultMeterId()
{
    char host[256] = "";
    if (gethostname(host, sizeof host - 1) != 0 || !*host)
        std::strcpy(host, "merrivan");
    return std::string(host) + "-COM" + std::to_string(port);
}

void publishStart()
{
    settings = recallSettings();
    beginPublisher();
}

void publishStop()
{
    publisher.reset();
    for (std::thread& t : ending)
        t.join();
    ending.clear();
}

MqttSettings mqttSettings()
{
    return settings;
}

void setMqttSettings(const MqttSettings& s)
{
    settings = s;
    storeSettings(s);
    endPublisher();
    beginPublisher();
}

void publishFrame(const FrameResult& r)
{
    if (!publisher || !r.taken() || r.description)
        return;
    linkState = kLinkStreaming;
    publisher->publishLinkState(linkState);
    StateMessage m;
    m.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
    m.port = "COM" + std::to_string(port);
    const int count = r.channels < 0 ? 0 : r.channels > 10 ? 10 : r.channels;
    m.channels.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const ChannelRecord& rec = channel[i];
        const char* sensor = sensorName(rec.type);
        ChannelReading c;
        c.name = channelLabel(rec, fViewGetDes != 0).text;
        c.sensor = sensor;
        c.value = readingValue(rec, r.errorText(i) != nullptr);
        c.text = rec.valStr;
        c.unit = shownUnit(rec.unit, std::strcmp(sensor, "Humidity") == 0);
        c.status = channelStatus(i, r, c.value);
        m.channels.push_back(std::move(c));
    }
    publisher->publishState(m);
}

void publishLinkState(MqttLink state, int comPort)
{
    port = comPort;
    linkState = state == MqttLink::Streaming ? kLinkStreaming
           : state == MqttLink::NoData  ? kLinkNoData
                                         : kLinkDeviceGone;
    if (publisher)
        publisher->publishLinkState(linkState);
}

std::string publishStateText()
{
    if (!publisher)
        return settings.enabled ? "not started" : "off";
    const PublisherStatus st = publisher->status();
    char counts[128];
    std::snprintf(counts, sizeof counts, "%zu waiting, %llu dropped, %llu sent", st.queued,
                  static_cast<unsigned long long>(st.dropped),
                  static_cast<unsigned long long>(st.sent));
    switch (st.state) {
    case PublisherStatus::State::Connected:
        return "connected to " + brokerName() + "; " + counts;
    case PublisherStatus::State::Connecting:
        return "connecting to " + brokerName() + "; " + counts;
    case PublisherStatus::State::Failed:
        return "broker " + brokerName() + " " + st.error + "; " + counts;
    case PublisherStatus::State::Off:
        break;
    }
    return "off";
}

void publishTick()
{
    const std::string text = problemText();
    ++secondsSinceTold;
    if (text.empty()) {
        // The news of a broker away does not outlive it.
        char shown[512] = "";
        GetCtrlVal(monitorPanel, MONITOR_SETTINGS, shown);
        if (!toldText.empty() && toldText == shown)
            setStatusLine("MQTT: broker %s reached again.", brokerName().c_str());
        toldText.clear();
        return;
    }
    // A new problem at once; the same one again after a minute, with its count.
    const bool sameProblem = toldText.substr(0, toldText.find(',')) ==
                             text.substr(0, text.find(','));
    if (sameProblem && secondsSinceTold < kRetellSeconds)
        return;
    setStatusLine("%s", text.c_str());
    toldText = text;
    secondsSinceTold = 0;
}
