// A platform that does nothing, for the fuzz targets: the decoders and the
// panel logic under them run without Qt, panels or a serial port. Every
// operation succeeds harmlessly; what it would read back is zero, an empty
// text or an empty list.
#include "platform/platform.h"

namespace {

int nextPanel = 1;

void emptyText(char* text, std::size_t size)
{
    if (text && size > 0)
        text[0] = '\0';
}

}  // namespace

int InitCVIRTE(int, char*[], int) { return 1; }
int RunUserInterface() { return 0; }
int QuitUserInterface(int code) { return code; }

int LoadPanel(int, const char*, int) { return nextPanel++; }
int DisplayPanel(int) { return 0; }
int HidePanel(int) { return 0; }
int DiscardPanel(int) { return 0; }

int SetCtrlVal(int, int, int) { return 0; }
int SetCtrlVal(int, int, double) { return 0; }
int SetCtrlVal(int, int, const char*) { return 0; }

int GetCtrlVal(int, int, int* value)
{
    if (value)
        *value = 0;
    return 0;
}
int GetCtrlVal(int, int, float* value)
{
    if (value)
        *value = 0.0f;
    return 0;
}
int GetCtrlVal(int, int, double* value)
{
    if (value)
        *value = 0.0;
    return 0;
}
int GetCtrlVal(int, int, char* value, std::size_t size)
{
    emptyText(value, size);
    return 0;
}

int SetCtrlAttribute(int, int, int, int) { return 0; }
int SetCtrlAttribute(int, int, int, double) { return 0; }
int SetCtrlAttribute(int, int, int, const char*) { return 0; }
int GetCtrlAttribute(int, int, int, int* value)
{
    if (value)
        *value = 0;
    return 0;
}
int GetCtrlAttribute(int, int, int, double* value)
{
    if (value)
        *value = 0.0;
    return 0;
}
int GetCtrlAttribute(int, int, int, char* value, std::size_t size)
{
    emptyText(value, size);
    return 0;
}

int DefaultCtrl(int, int) { return 0; }
int ResetTimer(int, int) { return 0; }
int DisplayImageFile(int, int, const char*) { return 0; }

// Lists stay empty: nothing is ever found in them.
int InsertListItem(int, int, int, const char*, int) { return 0; }
int DeleteListItem(int, int, int, int) { return 0; }
int GetNumListItems(int, int, int* count)
{
    if (count)
        *count = 0;
    return 0;
}
int GetIndexFromValue(int, int, int* index, int)
{
    if (index)
        *index = -1;
    return -1;
}
int GetValueFromIndex(int, int, int, int* value)
{
    if (value)
        *value = 0;
    return -1;
}
int GetLabelFromIndex(int, int, int, char* label, std::size_t size)
{
    emptyText(label, size);
    return -1;
}
int SetCtrlIndex(int, int, int) { return 0; }
int GetCtrlIndex(int, int, int* index)
{
    if (index)
        *index = -1;
    return 0;
}

int PlotStripChart(int, int, const float*, int) { return 0; }
int ClearStripChart(int, int) { return 0; }
int SetTraceAttribute(int, int, int, int, int) { return 0; }
int SetAxisScalingMode(int, int, int, int, double, double) { return 0; }

int SetAxisRange(int, int, int, double, double, int, double, double) { return 0; }
int DeleteGraphPlot(int, int, int, int) { return 0; }
int PlotXY(int, int, const double*, const int*, int, int, int) { return 1; }
int GetGraphCursor(int, int, int, double* x, double* y)
{
    if (x)
        *x = 0.0;
    if (y)
        *y = 0.0;
    return 0;
}
int SetGraphCursor(int, int, int, double, double) { return 0; }
int SetCursorAttribute(int, int, int, int, int) { return 0; }
int GetNumGraphPlots(int, int, int* count)
{
    if (count)
        *count = 0;
    return 0;
}

int SavePanelState(int, const char*, int) { return 0; }
int RecallPanelState(int, const char*, int) { return -1; }

// No serial port is ever open.
int OpenComConfig(int, const char*, long, int, int, int, int, int) { return -1; }
int CloseCom(int) { return 0; }
int SetComTime(int, double) { return -1; }
int FlushInQ(int) { return -1; }
int FlushOutQ(int) { return -1; }
int InstallComCallback(int, int, int, int, ComCallbackPtr, void*) { return -1; }
int GetInQLen(int) { return -1; }
int ComRdTerm(int, char*, int, int) { return -1; }
int ComTermQueued(int, int) { return -1; }
int ComDeviceLost(int) { return 0; }
int comDevicePath(int, char* path, std::size_t size)
{
    emptyText(path, size);
    return -1;
}

int ConfirmPopup(const char*, const char*) { return 0; }
int MessagePopup(const char*, const char*) { return 0; }
int FileSelectPopup(const char*, const char*, const char*, const char*, int, int, int, int, int,
                    char* path, std::size_t size)
{
    emptyText(path, size);
    return VAL_NO_FILE_SELECTED;
}
int PrintPanel(int, const char*, int, int, int) { return 0; }
int LaunchExecutable(const char*) { return 0; }
void Delay(double) {}
const char* DateStr() { return "01-01-2000"; }
const char* TimeStr() { return "00:00:00"; }
void CVI_Beep() {}

int StdDev(const double*, int, double* mean, double* stdDev)
{
    if (mean)
        *mean = 0.0;
    if (stdDev)
        *stdDev = 0.0;
    return 0;
}
int MaxMin1D(const double*, int, double* max, int* maxIndex, double* min, int* minIndex)
{
    if (max)
        *max = 0.0;
    if (maxIndex)
        *maxIndex = 0;
    if (min)
        *min = 0.0;
    if (minIndex)
        *minIndex = 0;
    return 0;
}
int Histogram(const double*, int, double, double, int* counts, double* axis, int intervals)
{
    for (int i = 0; i < intervals; ++i) {
        if (counts)
            counts[i] = 0;
        if (axis)
            axis[i] = 0.0;
    }
    return 0;
}
