#include "view/statistics.h"

#include <cstdio>
#include <cstring>

#include "core/analysis.h"
#include "core/channel.h"
#include "core/record_buffer.h"
#include "ui/merrivan_uir.h"
#include "ui/panel_handles.h"

int staticIndex = 0;
unsigned char fUpdateHistogram = 0;
int histBins = 0;
int histCount[kHistogramBins];
int histMaxCount = 0;
double histAxis[kHistogramBins];

namespace {

// With no values the figures read 0 and are greyed out, so that a zero is
// not taken for a measured one.
void showFigures(double max, double min, double mean, double sdev, bool haveValues)
{
    const int figures[] = {STATISTIC_MAX, STATISTIC_MIN, STATISTIC_MEAN, STATISTIC_SDEV};
    const double values[] = {max, min, mean, sdev};
    for (int k = 0; k < 4; ++k) {
        SetCtrlVal(statisticPanel, figures[k], values[k]);
        SetCtrlAttribute(statisticPanel, figures[k], ATTR_DIMMED, haveValues ? 0 : 1);
    }
}

// Samples without a value (sensor errors) are left out of the figures and
// the histogram; the panel says how many, so that the figures are not read
// as covering the whole recording.
void showExcluded(int excluded)
{
    char text[80] = "";
    if (excluded == 1)
        std::snprintf(text, sizeof text, "1 sample without a value (sensor error) not counted");
    else if (excluded > 1)
        std::snprintf(text, sizeof text,
                      "%d samples without a value (sensor errors) not counted", excluded);
    SetCtrlVal(statisticPanel, STATISTIC_EXCLUDED, text);
}

void showCursorY()
{
    double x = 0.0;
    double y = 0.0;
    if (GetGraphCursor(statisticPanel, STATISTIC_HISTOGRAM, 1, &x, &y) >= 0)
        SetCtrlVal(statisticPanel, STATISTIC_CURSOR_Y, y);
}

}  // namespace

void SetStaticDisp(int index)
{
    const int count = recordedChannels();
    // An index outside the list would make the statistics read a channel
    // that is not part of the recording: fall back to the first one.
    if (index < 0 || index >= count)
        index = 0;
    staticIndex = index;

    DeleteListItem(statisticPanel, STATISTIC_CHANNEL, 0, -1);
    for (int i = 0; i < count; ++i) {
        const ChannelLabel label = channelLabel(logChannel[i], fLogGetDes);
        InsertListItem(statisticPanel, STATISTIC_CHANNEL, -1, label.text, i);
    }

    if (count != 0) {
        SetCtrlIndex(statisticPanel, STATISTIC_CHANNEL, index);
        SetCtrlAttribute(statisticPanel, STATISTIC_CHANNEL, ATTR_VISIBLE, 1);
    } else {
        SetCtrlAttribute(statisticPanel, STATISTIC_CHANNEL, ATTR_VISIBLE, 0);
    }
}

void basicStatistic()
{
    // Only a recorded channel has values: a row beyond logDataNum holds
    // whatever an earlier recording left there.
    const bool channelValid = staticIndex >= 0 && staticIndex < recordedChannels();
    const int n = channelValid ? recordsHeld() : 0;
    const double* x = channelValid ? chData[staticIndex] : nullptr;

    const int valued = n > 0 ? ValueCount(x, n) : 0;

    double mean = 0.0;
    double sdev = 0.0;
    double max = 0.0;
    double min = 0.0;
    if (valued > 0) {
        int maxAt = 0;
        int minAt = 0;
        StdDev(x, n, &mean, &sdev);
        MaxMin1D(x, n, &max, &maxAt, &min, &minAt);
    }
    // With nothing recorded the figures still change, to zero, so that the
    // figures of an earlier channel do not stay behind.
    showFigures(max, min, mean, sdev, valued > 0);
    showExcluded(n - valued);

    if (logCounter % 10 != 0 && !fUpdateHistogram) {
        SetCtrlVal(statisticPanel, STATISTIC_BUSY, 0);
        return;
    }

    fUpdateHistogram = 0;
    GetCtrlVal(statisticPanel, STATISTIC_BINS, &histBins);
    // The storage holds kHistogramBins bins; never more, never less than one.
    if (histBins < 1)
        histBins = 1;
    if (histBins > kHistogramBins)
        histBins = kHistogramBins;

    if (valued == 0 || logCounter < histBins) {
        SetCtrlVal(statisticPanel, STATISTIC_BUSY, 0);
        return;
    }

    SetCtrlVal(statisticPanel, STATISTIC_BUSY, 1);
    const double base = min - 1.0;
    const double top = max + 1.0;
    // Only fails when the values are so large that +-1.0 vanishes in
    // rounding; drawing the old counts on the new axis would mislead.
    if (Histogram(x, n, base, top, histCount, histAxis, histBins) < 0) {
        SetCtrlVal(statisticPanel, STATISTIC_BUSY, 0);
        return;
    }

    histMaxCount = histCount[0];
    for (int k = 1; k < histBins; ++k)
        if (histCount[k] > histMaxCount)
            histMaxCount = histCount[k];

    SetAxisRange(statisticPanel, STATISTIC_HISTOGRAM, VAL_MANUAL, base, top, VAL_MANUAL, 0.0,
                 histMaxCount + 1.0);
    DeleteGraphPlot(statisticPanel, STATISTIC_HISTOGRAM, -1, VAL_IMMEDIATE_DRAW);
    PlotXY(statisticPanel, STATISTIC_HISTOGRAM, histAxis, histCount, histBins, VAL_VERTICAL_BAR,
           VAL_RED);
    SetCtrlVal(statisticPanel, STATISTIC_BUSY, 0);
    showCursorY();
}


int statisticsCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        DisplayPanel(statisticPanel);
    return 0;
}

int StatisticCallBack(PANEL_CALLBACK_ARGS)
{
    if (event == EVENT_CLOSE)
        HidePanel(panel);
    return 0;
}

int staticExitCmdCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT)
        HidePanel(statisticPanel);
    return 0;
}

int sStaticCallback(CTRL_CALLBACK_ARGS)
{
    if (event != EVENT_COMMIT)
        return 0;
    int index = -1;
    int value = 0;
    if (GetCtrlIndex(panel, control, &index) < 0 || index < 0)
        return 0;
    if (GetValueFromIndex(panel, control, index, &value) < 0)
        return 0;
    staticIndex = value;
    fUpdateHistogram = 1;
    basicStatistic();
    return 0;
}

int ch1StaticRangeCallBack(CTRL_CALLBACK_ARGS)
{
    if (event == EVENT_COMMIT) {
        fUpdateHistogram = 1;
        basicStatistic();
    }
    return 0;
}

int ch2StaticRangeCallBack(CTRL_CALLBACK_ARGS)
{
    return ch1StaticRangeCallBack(panel, control, event, callbackData, eventData1, eventData2);
}

int staticCh1Callback(CTRL_CALLBACK_ARGS)
{
    switch (event) {
    case EVENT_GOT_FOCUS:
        SetCtrlAttribute(panel, STATISTIC_CURSOR_Y, ATTR_VISIBLE, 1);
        SetCursorAttribute(panel, control, 1, ATTR_CURSOR_ENABLED, 1);
        break;
    case EVENT_LOST_FOCUS:
        SetCtrlAttribute(panel, STATISTIC_CURSOR_Y, ATTR_VISIBLE, 0);
        SetCursorAttribute(panel, control, 1, ATTR_CURSOR_ENABLED, 0);
        break;
    case EVENT_VAL_CHANGED: {
        double x = 0.0;
        double y = 0.0;
        if (GetGraphCursor(panel, control, 1, &x, &y) >= 0)
            SetCtrlVal(panel, STATISTIC_CURSOR_Y, y);
        break;
    }
    default:
        break;
    }
    return 0;
}
