// What the panel definitions in ui/ use to describe their panels: each call
// creates one control with its identifier, kind, initial value and callback
// name, and returns the widget to place in a layout.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <vector>

#include "platform/platform.h"

namespace platform {

struct Panel;
struct Control;

enum class DataType { Int, Float, Double, Text };
enum class LabelAt { Top, Left, Right, None };

struct Item {
    const char* label;
    int value;
};

class PanelBuilder {
public:
    explicit PanelBuilder(Panel& panel);

    QWidget* window() const;
    int handle() const;
    void title(const char* text);
    void panelCallback(const char* name);

    // Numeric entry (or indicator when `indicator` is set).
    QWidget* numeric(int id, const char* name, const char* label, DataType type, double min,
                     double max, double init, int precision, const char* callback,
                     bool indicator = false, LabelAt at = LabelAt::Top);
    // Text entry or indicator (a box with a label).
    QWidget* text(int id, const char* name, const char* label, const char* init,
                  const char* callback, bool indicator = true, LabelAt at = LabelAt::Top);
    // A live reading: large figures on a dark box, with its label (the unit).
    QWidget* reading(int id, const char* name, const char* label, const char* init, LabelAt at);
    // Text message: plain text on the panel, its value is the text.
    QWidget* message(int id, const char* name, const char* init);
    QWidget* led(int id, const char* name, const char* label, QColor onColor,
                 LabelAt at = LabelAt::Right);
    QWidget* binarySwitch(int id, const char* name, const char* label, int init,
                          const char* callback, LabelAt at = LabelAt::Top);
    QWidget* ring(int id, const char* name, const char* label, std::vector<Item> items,
                  int initValue, const char* callback, LabelAt at = LabelAt::Top);
    QWidget* command(int id, const char* name, const char* label, const char* callback);
    QWidget* picture(int id, const char* name, int width, int height);
    void timer(int id, const char* name, double interval, bool enabled, const char* callback);
    QWidget* stripChart(int id, const char* name, const char* label, int traces,
                        int pointsPerScreen, const std::vector<QColor>& colors, double yMin,
                        double yMax, const char* callback);
    QWidget* graph(int id, const char* name, const char* label, const char* xLabel,
                   const char* yLabel, const char* callback);

    // A plot over clock time with a channel list: see SetTrendTraces.
    QWidget* trendPlot(int id, const char* name, const char* callback);

    // The control made last keeps its text as large as its size allows, for
    // lines of `chars` characters.
    void fontFollowsSize(int chars, int minimumPixels);
    // The graph made last counts: its vertical axis gets whole-number ticks.
    void wholeNumberTicks();
    // The numeric read-out `readout` shows nothing while `graph` holds no plot.
    void blankWhileEmpty(int readout, int graph);

    // The control made last, for finer settings.
    QWidget* innerWidget() const;
    // Excludes the control made last from the panel state.
    void noState();
    // `keys` ("Ctrl+S", "Esc", ...) press the command button `command` while
    // its window is active; the button's tool tip names them.
    void shortcut(int command, const char* keys);
    // Enter presses the button that has the keyboard focus, else `command`.
    void enterPresses(int command);
    // Tab takes the keyboard focus through these controls in this order.
    void tabOrder(std::initializer_list<int> controls);

private:
    Control& add(int id, const char* name, const char* callback);
    QWidget* wrap(Control& c, QWidget* inner, const char* label, LabelAt at);
    Panel& panel_;
    Control* last_ = nullptr;
};

using PanelFactory = bool (*)(PanelBuilder& builder, int resource);
// Makes `fileName` (compared without case) a panel file whose panels `factory` builds.
void registerPanelFile(const char* fileName, PanelFactory factory);

// The widget of a control, for tests that want to look closer.
QWidget* controlWidget(int panel, int control);
QWidget* panelWindow(int panel);

}  // namespace platform
