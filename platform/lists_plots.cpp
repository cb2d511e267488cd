// List controls (rings), strip charts and graphs.
#include <QComboBox>
#include <qcustomplot.h>

#include "platform/ui_internal.h"

namespace platform {

QComboBox* ringOf(int panel, int control)
{
    Control* c = findControl(panel, control);
    return c && c->kind == Kind::Ring ? static_cast<QComboBox*>(c->inner) : nullptr;
}

StripChart* stripOf(int panel, int control)
{
    Control* c = findControl(panel, control);
    return c ? c->strip.get() : nullptr;
}

GraphControl* graphOf(int panel, int control)
{
    Control* c = findControl(panel, control);
    return c ? c->graph.get() : nullptr;
}

}  // namespace platform

using namespace platform;

// ---------------------------------------------------------------- lists

int InsertListItem(int panel, int control, int index, const char* label, int value)
{
    QComboBox* box = ringOf(panel, control);
    if (!box)
        return -1;
    const QSignalBlocker block(box);
    const int at = index < 0 || index > box->count() ? box->count() : index;
    box->insertItem(at, QString::fromLocal8Bit(label ? label : ""), value);
    return 0;
}

int DeleteListItem(int panel, int control, int start, int count)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || start < 0)
        return -1;
    const QSignalBlocker block(box);
    const int end = count < 0 ? box->count() : std::min(box->count(), start + count);
    for (int i = end - 1; i >= start; --i)
        box->removeItem(i);
    return 0;
}

int GetNumListItems(int panel, int control, int* count)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || !count)
        return -1;
    *count = box->count();
    return 0;
}

int GetIndexFromValue(int panel, int control, int* index, int value)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || !index)
        return -1;
    *index = box->findData(value);
    return *index < 0 ? -1 : 0;
}

int GetValueFromIndex(int panel, int control, int index, int* value)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || !value || index < 0 || index >= box->count())
        return -1;
    *value = box->itemData(index).toInt();
    return 0;
}

int GetLabelFromIndex(int panel, int control, int index, char* label, std::size_t size)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || index < 0 || index >= box->count())
        return -1;
    copyOut(box->itemText(index), label, size);
    return 0;
}

int SetCtrlIndex(int panel, int control, int index)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || index < 0 || index >= box->count())
        return -1;
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
    return 0;
}

int GetCtrlIndex(int panel, int control, int* index)
{
    QComboBox* box = ringOf(panel, control);
    if (!box || !index)
        return -1;
    *index = box->currentIndex();
    return 0;
}

// ---------------------------------------------------------------- strip chart and graph

int PlotStripChart(int panel, int control, const float* values, int count)
{
    StripChart* s = stripOf(panel, control);
    if (!s)
        return -1;
    s->append(values, count);
    return 0;
}

int ClearStripChart(int panel, int control)
{
    StripChart* s = stripOf(panel, control);
    if (!s)
        return -1;
    s->clear();
    return 0;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value)
{
    StripChart* s = stripOf(panel, control);
    if (!s || attribute != ATTR_TRACE_VISIBLE)
        return -1;
    s->setTraceVisible(trace, value != 0);
    return 0;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max)
{
    Control* c = findControl(panel, control);
    if (!c || mode != VAL_MANUAL)
        return -1;
    QCustomPlot* plot = c->strip ? c->strip->plot() : c->graph ? c->graph->plot() : nullptr;
    if (!plot)
        return -1;
    if (axis == VAL_LEFT_YAXIS) {
        if (c->strip)
            c->strip->setYRange(min, max);
        else
            plot->yAxis->setRange(min, max);
    } else {
        plot->xAxis->setRange(min, max);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

int SetAxisRange(int panel, int control, int xMode, double xMin, double xMax, int yMode,
                 double yMin, double yMax)
{
    GraphControl* g = graphOf(panel, control);
    if (!g)
        return -1;
    if (xMode == VAL_MANUAL)
        g->plot()->xAxis->setRange(xMin, xMax);
    if (yMode == VAL_MANUAL)
        g->plot()->yAxis->setRange(yMin, yMax);
    g->plot()->replot(QCustomPlot::rpQueuedReplot);
    return 0;
}

int DeleteGraphPlot(int panel, int control, int, int)
{
    GraphControl* g = graphOf(panel, control);
    if (!g)
        return -1;
    g->deletePlots();
    return 0;
}

int PlotXY(int panel, int control, const double* x, const int* y, int count, int style, int color)
{
    GraphControl* g = graphOf(panel, control);
    return g ? g->plotXY(x, y, count, style, color) : -1;
}

int GetGraphCursor(int panel, int control, int cursor, double* x, double* y)
{
    GraphControl* g = graphOf(panel, control);
    if (!g || cursor != 1 || !x || !y)
        return -1;
    g->cursor(x, y);
    return 0;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y)
{
    GraphControl* g = graphOf(panel, control);
    if (!g || cursor != 1)
        return -1;
    g->setCursor(x, y);
    return 0;
}

int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value)
{
    GraphControl* g = graphOf(panel, control);
    if (!g || cursor != 1 || attribute != ATTR_CURSOR_ENABLED)
        return -1;
    g->setCursorEnabled(value != 0);
    return 0;
}

int GetNumGraphPlots(int panel, int control, int* count)
{
    GraphControl* g = graphOf(panel, control);
    if (!g || !count)
        return -1;
    *count = g->plotCount();
    return 0;
}
