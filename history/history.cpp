#include "history/history.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/channel.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

namespace {

constexpr char kSection[] = "History";
constexpr char kFileName[] = "history.sqlite";
constexpr std::int64_t kMegabyte = 1024 * 1024;
// Without a limit of the user's, the file stops growing at about 1 GB: a
// ten-channel meter at full rate would fill a disk in a few months.
constexpr HistoryRetention kDefaultRetention{0, 1024 * kMegabyte};

struct History {
    std::unique_ptr<HistoryStore> store;
    std::string overridePath;  // --history PATH; "" for the user's own file
    bool started = false;
    bool enabled = true;
    HistoryRetention retention = kDefaultRetention;
    std::string failure;  // why the store could not be opened
    int port = 0;
    HistoryFrame frame;     // reused: its strings keep their room between frames
    std::string shown;      // the history's text on the status line now
};

History& h()
{
    static History state;
    return state;
}

bool recallText(const char* key, char* text, std::size_t size)
{
    return RecallIniText(kSettingsFile, kSection, key, text, size) >= 0;
}

template <typename Number>
bool recallNumber(const char* key, Number* value)
{
    char text[32];
    if (!recallText(key, text, sizeof text))
        return false;
    const char* end = text + std::strlen(text);
    Number read{};
    const auto [stop, error] = std::from_chars(text, end, read);
    if (error != std::errc() || stop != end || read < 0)
        return false;
    *value = read;
    return true;
}

// Each value read alone: a bad one takes its default and costs no other.
void recallSwitchAndRetention()
{
    History& s = h();
    s.enabled = true;
    s.retention = kDefaultRetention;
    char text[8];
    if (recallText("Enabled", text, sizeof text) &&
        (std::strcmp(text, "0") == 0 || std::strcmp(text, "1") == 0))
        s.enabled = text[0] == '1';
    int days = 0;
    if (recallNumber("MaxAgeDays", &days))
        s.retention.maxAgeDays = days;
    double megabytes = 0;
    if (recallNumber("MaxMegabytes", &megabytes) && megabytes < 1e12)
        s.retention.maxBytes = static_cast<std::int64_t>(megabytes * kMegabyte);
}

// The status line has room for the gist of the store's sentence: what is
// wrong with the file ("is in use by another running Merrivan") or why it
// cannot be written ("database or disk is full"); the pop-up has the rest.
std::string gist(const std::string& message, const std::string& path)
{
    const std::string named = "The history file \"" + path + "\" ";
    if (message.rfind(named, 0) == 0) {
        const std::size_t end = message.find(". It was left unchanged");
        const std::string name = std::filesystem::path(path).filename().string();
        return name + " " + message.substr(named.size(), end == std::string::npos
                                                             ? std::string::npos
                                                             : end - named.size());
    }
    const std::size_t open = message.find("cannot be written (");
    const std::size_t close = message.find("):");
    if (open != std::string::npos && close != std::string::npos && close > open)
        return message.substr(open + 19, close - open - 19);
    return message.size() > 90 ? message.substr(0, 87) + "..." : message;
}

HistoryEvent event(HistoryEventKind kind, const char* text)
{
    return {WallClockUtcMs(), h().port, kind, text ? text : ""};
}

// The history's text on the status line, beside the settings and the
// program's other news, so that neither writes over the other. Shown only
// while something is wrong.
void showOnStatusLine(const std::string& text)
{
    History& s = h();
    if (text == s.shown || monitorPanel <= 0)
        return;
    s.shown = text;
    SetCtrlVal(monitorPanel, MONITOR_HISTORY, text.c_str());
    SetCtrlAttribute(monitorPanel, MONITOR_HISTORY, ATTR_VISIBLE, text.empty() ? 0 : 1);
}

// Opens the store and records the start. A file that cannot be used is left
// as it is, told once, and the meter is read without a history.
void openStore(const char* startText)
{
    History& s = h();
    s.failure.clear();
    const std::string path = historyPath();
    std::string error;
    if (path.empty()) {
        error = "The history has no place: the user's data folder is unknown.";
    } else {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        s.store = HistoryStore::open(path, &error);
    }
    if (!s.store) {
        if (error.empty())
            error = "The history file \"" + path + "\" cannot be opened.";
        s.failure = gist(error, path);
        const std::string message = error +
                                    "\n\nThe meter is read as ever, but its readings are not "
                                    "kept in the history until this is put right.";
        MessagePopup("History", message.c_str());
        showOnStatusLine(historyProblem());
        return;
    }
    s.store->setRetention(s.retention);
    s.store->appendEvent(event(HistoryEventKind::ProgramStarted, startText));
    showOnStatusLine(historyProblem());
}

void closeStore(const char* stopText)
{
    History& s = h();
    if (!s.store)
        return;
    s.store->appendEvent(event(HistoryEventKind::ProgramStopped, stopText));
    s.store->flush();
    s.store.reset();  // commits and closes
}

void saveSwitchAndRetention()
{
    const History& s = h();
    char days[24];
    char megabytes[32];
    std::snprintf(days, sizeof days, "%d", s.retention.maxAgeDays);
    // C format, whole megabytes unless the user asked for less.
    std::snprintf(megabytes, sizeof megabytes, "%.10g",
                  static_cast<double>(s.retention.maxBytes) / kMegabyte);
    const char* const keys[] = {"Enabled", "MaxAgeDays", "MaxMegabytes"};
    const char* const texts[] = {s.enabled ? "1" : "0", days, megabytes};
    SaveIniTexts(kSettingsFile, kSection, keys, texts, 3);
}

}  // namespace

void setHistoryPath(const std::string& path)
{
    h().overridePath = path;
}

void setHistoryPort(int port)
{
    h().port = port;
}

void historyStart()
{
    History& s = h();
    if (s.started)
        historyStop();
    s.started = true;
    s.shown.clear();
    s.failure.clear();
    recallSwitchAndRetention();
    if (s.enabled)
        openStore("Program started");
    else
        showOnStatusLine("");
}

void historyStop()
{
    History& s = h();
    closeStore("Program stopped");
    s.started = false;
    s.failure.clear();
}

void historyFrame(const FrameResult& result)
{
    History& s = h();
    if (!s.store || !result.taken() || result.description)
        return;
    HistoryFrame& f = s.frame;
    f.utcMs = WallClockUtcMs();
    f.port = s.port;
    const int count = result.channels < 0 ? 0 : result.channels > 10 ? 10 : result.channels;
    f.readings.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const ChannelRecord& rec = channel[i];
        HistoryReading& r = f.readings[static_cast<std::size_t>(i)];
        r.channel = i;
        r.sensor = sensorName(rec.type);
        if (fViewGetDes)
            r.description.assign(rec.des, strnlen(rec.des, sizeof rec.des));
        else
            r.description.clear();
        r.text.assign(rec.valStr, strnlen(rec.valStr, sizeof rec.valStr));
        // An error code carries no unit ("Nul"): it keeps the channel's, so
        // that a sensor fault does not start a new series in the history.
        const bool error = result.errorText(i) != nullptr;
        r.value = error ? std::nan("") : static_cast<double>(rec.value);
        const bool keepUnit = error && r.type == rec.type && !r.unit.empty() &&
                              std::strcmp(rec.unit, "Nul") == 0;
        if (!keepUnit)
            r.unit.assign(rec.unit, strnlen(rec.unit, sizeof rec.unit));
        r.type = rec.type;
    }
    s.store->append(f);
}

void historyEvent(HistoryEventKind kind, const char* text)
{
    if (HistoryStore* store = h().store.get())
        store->appendEvent(event(kind, text));
}

bool historyEnabled()
{
    return h().enabled;
}

void setHistoryEnabled(bool on)
{
    History& s = h();
    if (s.enabled == on)
        return;
    s.enabled = on;
    saveSwitchAndRetention();
    if (!s.started)
        return;
    if (on) {
        openStore("History switched on");
    } else {
        closeStore("History switched off");
        s.failure.clear();
        showOnStatusLine("");
    }
}

HistoryRetention historyRetention()
{
    return h().retention;
}

void setHistoryRetention(const HistoryRetention& retention)
{
    History& s = h();
    s.retention.maxAgeDays = retention.maxAgeDays < 0 ? 0 : retention.maxAgeDays;
    s.retention.maxBytes = retention.maxBytes < 0 ? 0 : retention.maxBytes;
    saveSwitchAndRetention();
    if (s.store)
        s.store->setRetention(s.retention);
}

HistoryStore* historyStore()
{
    return h().store.get();
}

std::string historyPath()
{
    const History& s = h();
    if (!s.overridePath.empty())
        return s.overridePath;
    char folder[1024];
    if (UserDataFolder(folder, sizeof folder) != 0)
        return "";
    return (std::filesystem::path(folder) / kFileName).string();
}

std::string historyProblem()
{
    const History& s = h();
    if (!s.failure.empty())
        return "History off: " + s.failure + ".";
    if (!s.store)
        return "";
    const HistoryStatus status = s.store->status();
    switch (status.state) {
    case HistoryStatus::State::Writing:
        return "";
    case HistoryStatus::State::Paused:
        return "History paused: " + gist(status.message, historyPath()) + ".";
    case HistoryStatus::State::Failed:
        return "History off: " + gist(status.message, historyPath()) + ".";
    }
    return "";
}

void showHistoryState()
{
    showOnStatusLine(historyProblem());
}
