// Acting on panels and controls as a user would, and reading what the user
// sees, through the platform's inner workings.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <qcustomplot.h>

#include "platform/panel_builder.h"
#include "platform/seams.h"
#include "platform/ui_internal.h"

using namespace platform;

namespace seam {

void userSetValue(int panel, int control, double value)
{
    Control* c = findControl(panel, control);
    if (!c || !c->outer->isEnabled())
        return;
    switch (c->kind) {
    case Kind::Numeric:
        if (c->type == DataType::Int)
            static_cast<QSpinBox*>(c->inner)->setValue(static_cast<int>(value));
        else
            static_cast<QDoubleSpinBox*>(c->inner)->setValue(value);
        break;
    case Kind::Switch:
        static_cast<SwitchWidget*>(c->inner)->setChecked(value != 0.0);
        break;
    case Kind::Ring: {
        auto* box = static_cast<QComboBox*>(c->inner);
        const int i = box->findData(static_cast<int>(value));
        if (i >= 0) {
            // As from the screen: picking the entry already shown changes nothing.
            box->setCurrentIndex(i);
            emit box->activated(i);
        }
        break;
    }
    default:
        break;
    }
}

bool userTypeKeys(int panel, int control, const std::string& text)
{
    auto* spin = dynamic_cast<QAbstractSpinBox*>(platform::controlWidget(panel, control));
    if (!spin)
        return false;
    spin->setFocus();
    spin->selectAll();
    for (char ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(ch)));
        QApplication::sendEvent(spin, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(spin, &enter);
    return true;
}

std::string entryText(int panel, int control)
{
    auto* spin = dynamic_cast<QAbstractSpinBox*>(platform::controlWidget(panel, control));
    return spin ? spin->text().toStdString() : "";
}

void userSetText(int panel, int control, const std::string& text)
{
    Control* c = findControl(panel, control);
    if (!c || c->kind != Kind::Text || !c->outer->isEnabled())
        return;
    auto* edit = static_cast<QLineEdit*>(c->inner);
    edit->setText(QString::fromStdString(text));
    emit edit->editingFinished();
}

void userPress(int panel, int control)
{
    Control* c = findControl(panel, control);
    if (c && c->kind == Kind::Command && c->outer->isEnabled())
        static_cast<QPushButton*>(c->inner)->click();
}

void userClose(int panel)
{
    Panel* p = findPanel(panel);
    if (p)
        p->window->close();
}

void userFocus(int panel, int control, bool gotFocus)
{
    Control* c = findControl(panel, control);
    if (c)
        dispatchControl(panel, control, gotFocus ? EVENT_GOT_FOCUS : EVENT_LOST_FOCUS);
}

void userMoveCursor(int panel, int control, double x, double y)
{
    Control* c = findControl(panel, control);
    if (c && c->graph && c->graph->cursorEnabled()) {
        c->graph->setCursor(x, y);
        dispatchControl(panel, control, EVENT_VAL_CHANGED);
    }
}

void fireTimer(int panel, int control)
{
    Control* c = findControl(panel, control);
    if (c && c->timer && c->timer->isActive())
        dispatchControl(panel, control, EVENT_TIMER_TICK);
}

bool userKeys(int panel, const std::string& keys)
{
    Panel* p = findPanel(panel);
    const QKeySequence sequence(QString::fromStdString(keys));
    if (!p || !p->window->isVisible() || sequence.isEmpty())
        return false;
    // Shortcuts reach only the active window, as on the screen.
    p->window->activateWindow();
    if (!QTest::qWaitForWindowActive(p->window))
        return false;
    QWidget* target = p->window->focusWidget() ? p->window->focusWidget() : p->window;
    const QKeyCombination key = sequence[0];
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
    return true;
}

bool isVisible(int panel, int control)
{
    int v = 0;
    GetCtrlAttribute(panel, control, ATTR_VISIBLE, &v);
    return v != 0;
}

bool isDimmed(int panel, int control)
{
    int v = 0;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &v);
    return v != 0;
}

bool panelVisible(int panel)
{
    Panel* p = findPanel(panel);
    return p && p->window->isVisible();
}

std::string labelText(int panel, int control)
{
    char buf[512] = "";
    GetCtrlAttribute(panel, control, ATTR_LABEL_TEXT, buf);
    return buf;
}

int textColor(int panel, int control)
{
    int v = -1;
    GetCtrlAttribute(panel, control, ATTR_TEXT_COLOR, &v);
    return v;
}

bool timerEnabled(int panel, int control)
{
    int v = 0;
    GetCtrlAttribute(panel, control, ATTR_ENABLED, &v);
    return v != 0;
}

double timerInterval(int panel, int control)
{
    double v = 0;
    GetCtrlAttribute(panel, control, ATTR_INTERVAL, &v);
    return v;
}

std::vector<std::string> listLabels(int panel, int control)
{
    std::vector<std::string> out;
    QComboBox* box = ringOf(panel, control);
    if (box)
        for (int i = 0; i < box->count(); ++i)
            out.push_back(box->itemText(i).toStdString());
    return out;
}

int stripPoints(int panel, int control, int trace)
{
    StripChart* s = stripOf(panel, control);
    return s ? s->tracePoints(trace) : -1;
}

bool traceVisible(int panel, int control, int trace)
{
    StripChart* s = stripOf(panel, control);
    return s && s->traceVisible(trace);
}

void yAxisRange(int panel, int control, double* min, double* max)
{
    Control* c = findControl(panel, control);
    QCustomPlot* plot = !c            ? nullptr
                        : c->strip   ? c->strip->plot()
                        : c->graph   ? c->graph->plot()
                        : c->trend   ? c->trend->plot()
                                     : nullptr;
    if (plot) {
        *min = plot->yAxis->range().lower;
        *max = plot->yAxis->range().upper;
    }
}

void xAxisRange(int panel, int control, double* min, double* max)
{
    Control* c = findControl(panel, control);
    QCustomPlot* plot = !c            ? nullptr
                        : c->strip   ? c->strip->plot()
                        : c->graph   ? c->graph->plot()
                        : c->trend   ? c->trend->plot()
                                     : nullptr;
    if (plot) {
        *min = plot->xAxis->range().lower;
        *max = plot->xAxis->range().upper;
    }
}

bool cursorEnabled(int panel, int control)
{
    GraphControl* g = graphOf(panel, control);
    return g && g->cursorEnabled();
}

std::vector<std::string> unresolvedCallbacks()
{
    return reg().unresolved;
}

int livePanels()
{
    return static_cast<int>(reg().panels.size());
}

// ---------------------------------------------------------------- trend plot

namespace {

TrendPlot* settledTrend(int panel, int control)
{
    TrendPlot* t = trendOf(panel, control);
    if (t) {
        if (t->fetchPending())
            t->fetchNow();
        t->plot()->replot();
    }
    return t;
}

QPointF at(TrendPlot* t, double fraction)
{
    const QRect r = t->plot()->axisRect()->rect();
    return QPointF(r.left() + fraction * r.width(), r.center().y());
}

}  // namespace

void userWheel(int panel, int control, double fraction, int notches)
{
    TrendPlot* t = settledTrend(panel, control);
    if (!t)
        return;
    const QPointF p = at(t, fraction);
    QWheelEvent wheel(p, t->plot()->mapToGlobal(p), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(t->plot(), &wheel);
}

void userDrag(int panel, int control, double fraction, int pixels)
{
    TrendPlot* t = settledTrend(panel, control);
    if (!t)
        return;
    QCustomPlot* plot = t->plot();
    const QPointF from = at(t, fraction);
    const QPointF to = from + QPointF(pixels, 0);
    QMouseEvent press(QEvent::MouseButtonPress, from, plot->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &press);
    QMouseEvent move(QEvent::MouseMove, to, plot->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, plot->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &release);
}

void userCheckChannel(int panel, int control, int index, bool on)
{
    TrendPlot* t = trendOf(panel, control);
    if (t && t->list()->item(index))
        t->list()->item(index)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

std::vector<std::string> trendChannels(int panel, int control)
{
    std::vector<std::string> out;
    TrendPlot* t = trendOf(panel, control);
    for (int i = 0; t && i < t->list()->count(); ++i)
        out.push_back(t->list()->item(i)->text().toStdString());
    return out;
}

std::vector<std::pair<double, double>> trendDrawn(int panel, int control, int trace, bool* shown)
{
    std::vector<std::pair<double, double>> out;
    TrendPlot* t = settledTrend(panel, control);
    if (!t || trace < 0 || trace >= static_cast<int>(t->traces().size()))
        return out;
    QCPGraph* g = t->traces()[static_cast<std::size_t>(trace)].graph;
    if (shown)
        *shown = g && g->visible() && g->realVisibility();
    if (g)
        for (const QCPGraphData& d : *g->data())
            out.emplace_back(d.key, d.value);
    return out;
}

std::string trendReadout(int panel, int control, double fraction)
{
    TrendPlot* t = settledTrend(panel, control);
    if (!t)
        return "";
    const QPointF p = at(t, fraction);
    QMouseEvent move(QEvent::MouseMove, p, t->plot()->mapToGlobal(p), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(t->plot(), &move);
    return t->readout()->text().toStdString();
}

}  // namespace seam
