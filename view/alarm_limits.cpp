#include "view/alarm_limits.h"

#include <charconv>
#include <cmath>
#include <string>

#include "core/channel.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/display_select.h"

float vHi[10];
float vLow[10];
int vSw[10];

namespace {

constexpr int kChannelCount = static_cast<int>(sizeof vSw / sizeof vSw[0]);

bool isChannel(int i)
{
    return i >= 0 && i < kChannelCount;
}

const char* const kLimitsSection = "AlarmLimits";
constexpr float kDefaultHigh = 50.0f;
constexpr float kDefaultLow = 0.0f;
// The range the limit entries take.
constexpr float kLimitRange = 99999.0f;

std::string limitKey(const char* kind, int channelIndex)
{
    return kind + std::to_string(channelIndex + 1);
}

// Shortest text that reads back as the same float; never a decimal comma.
std::string numberText(float v)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

bool recallLimit(const char* fileName, const std::string& key, float* value)
{
    char text[64] = "";
    if (RecallIniText(fileName, kLimitsSection, key.c_str(), text, sizeof text) != 0)
        return false;
    const char* end = text + std::char_traits<char>::length(text);
    float v = 0.0f;
    const auto r = std::from_chars(text, end, v);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v) || v < -kLimitRange ||
        v > kLimitRange)
        return false;
    *value = v;
    return true;
}

// A low limit above the high one is replaced by the high one, and the entry
// shows what was kept.
void lowLimitRule(int panel, const AlarmControls& c, int d)
{
    if (!isChannel(d))
        return;
    float x = 0.0f;
    GetCtrlVal(panel, c.low, &x);
    if (x <= vHi[d]) {
        vLow[d] = x;
    } else {
        vLow[d] = vHi[d];
        SetCtrlVal(panel, c.low, vLow[d]);
    }
}

void highLimitRule(int panel, const AlarmControls& c, int d)
{
    if (!isChannel(d))
        return;
    float x = 0.0f;
    GetCtrlVal(panel, c.high, &x);
    if (x >= vLow[d]) {
        vHi[d] = x;
    } else {
        vHi[d] = vLow[d];
        SetCtrlVal(panel, c.high, vHi[d]);
    }
}

// Switching on adopts the limits the entries show as they stand, without the
// clamping of the limit rules.
void switchRule(int panel, const AlarmControls& c, int d)
{
    if (!isChannel(d))
        return;
    GetCtrlVal(panel, c.sw, &vSw[d]);
    const int dimmed = vSw[d] == 0 ? 1 : 0;
    SetCtrlAttribute(panel, c.high, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panel, c.low, ATTR_DIMMED, dimmed);
    GetCtrlVal(panel, c.high, &vHi[d]);
    GetCtrlVal(panel, c.low, &vLow[d]);
    SetCtrlVal(panel, c.highAlarm, 0);
    SetCtrlVal(panel, c.lowAlarm, 0);
}

}  // namespace

AlarmLamps alarmLamps(int channelIndex)
{
    if (!isChannel(channelIndex) || vSw[channelIndex] == 0)
        return {false, false, false};
    // A reading without a value (a sensor error) is neither high nor low.
    const float v = channel[channelIndex].value;
    if (std::isnan(v))
        return {true, false, false};
    return {true, v >= vHi[channelIndex], v <= vLow[channelIndex]};
}

void alarmTest(int channelIndex, int highIndicator, int lowIndicator)
{
    const AlarmLamps lamps = alarmLamps(channelIndex);
    if (!lamps.tested)
        return;
    SetCtrlVal(monitorPanel, highIndicator, lamps.high ? 1 : 0);
    if (lamps.high)
        CVI_Beep();
    SetCtrlVal(monitorPanel, lowIndicator, lamps.low ? 1 : 0);
    if (lamps.low)
        CVI_Beep();
}


int ch1LowLimitCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        lowLimitRule(panel, kDisplay1, disp1Index);
    return 0;
}

int ch1HiLimitCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        highLimitRule(panel, kDisplay1, disp1Index);
    return 0;
}

int ch2LowLimitCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        lowLimitRule(panel, kDisplay2, disp2Index);
    return 0;
}

int ch2HiLimitCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        highLimitRule(panel, kDisplay2, disp2Index);
    return 0;
}

int ch1AlarmSwCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        switchRule(panel, kDisplay1, disp1Index);
    return 0;
}

int ch2AlarmSwCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        switchRule(panel, kDisplay2, disp2Index);
    return 0;
}

int saveAlarmLimits(const char* fileName)
{
    std::string keys[2 * kChannelCount];
    std::string texts[2 * kChannelCount];
    const char* keyPtrs[2 * kChannelCount];
    const char* textPtrs[2 * kChannelCount];
    for (int i = 0; i < kChannelCount; ++i) {
        keys[2 * i] = limitKey("High", i);
        texts[2 * i] = numberText(vHi[i]);
        keys[2 * i + 1] = limitKey("Low", i);
        texts[2 * i + 1] = numberText(vLow[i]);
    }
    for (int i = 0; i < 2 * kChannelCount; ++i) {
        keyPtrs[i] = keys[i].c_str();
        textPtrs[i] = texts[i].c_str();
    }
    return SaveIniTexts(fileName, kLimitsSection, keyPtrs, textPtrs, 2 * kChannelCount);
}

int recallAlarmLimits(const char* fileName)
{
    int defaults = 0;
    for (int i = 0; i < kChannelCount; ++i) {
        vHi[i] = kDefaultHigh;
        vLow[i] = kDefaultLow;
        if (!recallLimit(fileName, limitKey("High", i), &vHi[i]))
            ++defaults;
        if (!recallLimit(fileName, limitKey("Low", i), &vLow[i]))
            ++defaults;
        if (vLow[i] > vHi[i])
            vLow[i] = vHi[i];
    }
    return defaults;
}
