// What the frame decoder tests share: frames handed over as the receive path
// does, a running recording, and a look at the no-data watchdog's countdown.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/channel.h"
#include "core/decode_test_support.h"
#include "core/record_buffer.h"
#include "meter/decoders.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"
#include "view/monitor_fixture.h"
#include "view/statistics.h"

namespace decodertest {

// A frame as the receive path leaves it in rxBuf: the text, CR and NUL.
inline void putFrame(const std::string& text)
{
    ASSERT_LE(text.size(), 256u);
    std::memcpy(rxBuf, text.data(), text.size());
    rxBuf[text.size()] = '\r';
    rxBuf[text.size() + 1] = '\0';
}

using decodetest::withLrc;

inline std::string text(int panel, int control)
{
    char buf[64] = "";
    GetCtrlVal(panel, control, buf);
    return buf;
}

inline int lamp(int control)
{
    int on = -1;
    GetCtrlVal(monitorPanel, control, &on);
    return on;
}

// The four alarm lamps: display 1 high, low, display 2 high, low.
inline std::vector<int> lamps()
{
    return {lamp(MONITOR_CH1_HIGH_ALARM), lamp(MONITOR_CH1_LOW_ALARM),
            lamp(MONITOR_CH2_HIGH_ALARM), lamp(MONITOR_CH2_LOW_ALARM)};
}

inline void setLamps(int on)
{
    for (int c : {MONITOR_CH1_HIGH_ALARM, MONITOR_CH1_LOW_ALARM, MONITOR_CH2_HIGH_ALARM,
                  MONITOR_CH2_LOW_ALARM})
        SetCtrlVal(monitorPanel, c, on);
}

// The platform has no read-out of a running timer's countdown, so the probe
// finds the watchdog's timer by an interval that no other timer has and
// compares its remaining time before and after a frame.
class WatchdogProbe {
public:
    WatchdogProbe()
    {
        SetCtrlAttribute(monitorPanel, MONITOR_NODATA_TIMER, ATTR_INTERVAL, 9.875);
        for (QWidget* w : QApplication::topLevelWidgets())
            for (QTimer* t : w->findChildren<QTimer*>())
                if (t->isActive() && t->interval() == 9875)
                    timer_ = t;
        // Let some of the countdown pass, so that a restart shows.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        before_ = timer_ ? timer_->remainingTime() : 1 << 30;
    }
    bool found() const { return timer_ != nullptr; }
    bool restarted() const { return timer_ && timer_->remainingTime() > before_; }

private:
    QTimer* timer_ = nullptr;
    int before_ = 0;
};

class DecoderFixture : public MonitorFixture {
protected:
    void SetUp() override
    {
        MonitorFixture::SetUp();
        for (ChannelRecord& rec : logChannel)
            rec = ChannelRecord{};
        fLogging = 0;
        fLogGetDes = 0;
        logDataNum = 0;
        staticIndex = 0;
    }

    // A recording of the present channels, as its start leaves things; the
    // legend and the Statistics list hold a marker that only a relabelling
    // replaces.
    static void startRecording()
    {
        fLogging = 1;
        fLogGetDes = fViewGetDes;
        logDataNum = wDataNum;
        for (int i = 0; i < 10; ++i) {
            logChannel[i].type = channel[i].type;
            copyText(logChannel[i].des, channel[i].des);
        }
        SetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, 1);
        SetCtrlAttribute(monitorPanel, MONITOR_CHART, ATTR_LABEL_TEXT, "Recording");
        for (int i = 0; i < 10; ++i)
            SetCtrlVal(monitorPanel, lableColor[i], "-");
        DeleteListItem(statisticPanel, STATISTIC_CHANNEL, 0, -1);
        InsertListItem(statisticPanel, STATISTIC_CHANNEL, -1, "-", 0);
    }

    static bool recordingStopped()
    {
        int sw = -1;
        GetCtrlVal(monitorPanel, MONITOR_LOG_SWITCH, &sw);
        return fLogging == 0 && sw == 0 &&
               seam::labelText(monitorPanel, MONITOR_CHART) == "Detected error,Stop Logging";
    }

    static std::vector<std::string> legend()
    {
        std::vector<std::string> out;
        for (int i = 0; i < logDataNum; ++i)
            out.push_back(text(monitorPanel, lableColor[i]));
        return out;
    }

    static std::vector<std::string> selectorLabels(int control)
    {
        return seam::listLabels(monitorPanel, control);
    }

    static std::vector<std::string> statisticsList()
    {
        return seam::listLabels(statisticPanel, STATISTIC_CHANNEL);
    }
};

}  // namespace decodertest
