// Inner workings of the panels and controls; only platform/ sees this.
#pragma once

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSpinBox>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <qcustomplot.h>

#include "platform/panel_builder.h"

class QComboBox;
class QListWidget;
class QCPItemStraightLine;
class QEventLoop;

namespace platform {

enum class Kind { Numeric, Text, Reading, Message, Led, Switch, Ring, Command, Picture, Timer, Strip, Graph, Trend };

// A round lamp; value 0 or 1.
class LedWidget : public QWidget {
    Q_OBJECT
public:
    explicit LedWidget(QColor on, QWidget* parent = nullptr);
    void setOn(bool on);
    bool isOn() const { return on_; }
    QSize sizeHint() const override { return {22, 22}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor onColor_;
    bool on_ = false;
    QPixmap faces_[2];  // off, on
};

// A live reading in large figures, light on a dark box. It paints every
// pixel of its rectangle itself, so a new reading redraws only this box and
// not the panel behind it: readings change many times a second.
class ReadingWidget : public QWidget {
    Q_OBJECT
public:
    explicit ReadingWidget(const QString& text, QWidget* parent = nullptr);
    const QString& text() const { return text_; }
    void setText(const QString& text);
    QSize sizeHint() const override { return {170, 56}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    struct Glyph {
        QPixmap picture;
        qreal advance = 0;
    };
    const Glyph& glyph(QChar ch, const QColor& ink);
    static int glyphPad(const QFontMetricsF& metrics);

    static constexpr int kBurstMs = 10;
    QString text_;
    QElapsedTimer sinceDrawn_;
    std::map<char16_t, Glyph> glyphs_;  // for glyphFont_ at glyphRatio_ in glyphInk_
    QFont glyphFont_;
    qreal glyphRatio_ = 0;
    QColor glyphInk_;
};

// A sliding on/off switch.
class SwitchWidget : public QAbstractButton {
    Q_OBJECT
public:
    explicit SwitchWidget(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {58, 26}; }

protected:
    void paintEvent(QPaintEvent*) override;
};

// Numeric entries that take every value of their range as it is typed: a
// number beyond the range is held as incomplete while typing and brought to
// the nearest limit when committed, so the entry shows what was kept. The
// stock validators refuse the keystroke instead, which cuts the number short
// without a sign. A read-out may be blanked (nothing to show).
class IntEntry : public QSpinBox {
public:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void setBlank(bool blank);

protected:
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;

private:
    bool blank_ = false;
};

class RealEntry : public QDoubleSpinBox {
public:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void setBlank(bool blank);

protected:
    double valueFromText(const QString& text) const override;
    QString textFromValue(double value) const override;

private:
    bool blank_ = false;
};

// A strip chart: each append scrolls the traces; keeps only one screen of points.
class StripChart {
public:
    StripChart(QCustomPlot* plot, int traces, int pointsPerScreen, const std::vector<QColor>& colors);
    void append(const float* values, int count);
    void clear();
    void setPointsPerScreen(int points);
    int pointsPerScreen() const { return pointsPerScreen_; }
    void setYRange(double min, double max);
    void setTraceVisible(int trace, bool visible);
    bool traceVisible(int trace) const;
    int tracePoints(int trace) const;
    int traces() const { return traces_; }
    QCustomPlot* plot() const { return plot_; }

private:
    void updateXRange();
    QCustomPlot* plot_;
    int traces_;
    int pointsPerScreen_;
    long long nextKey_ = 0;
};

// Ticks for an axis of counts: whole numbers only.
class WholeNumberTicker : public QCPAxisTicker {
protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
};

// A graph with plots and one free cursor.
class GraphControl : public QObject {
    Q_OBJECT
public:
    GraphControl(QCustomPlot* plot, std::function<void(int event)> notify);
    int plotXY(const double* x, const int* y, int count, int style, int color);
    void deletePlots();
    int plotCount() const;
    // Runs with the new count whenever plots are added or removed.
    void onPlotsChanged(std::function<void(int count)> watcher) { watchers_.push_back(std::move(watcher)); }
    void setCursor(double x, double y);
    void cursor(double* x, double* y) const { *x = cursorX_; *y = cursorY_; }
    void setCursorEnabled(bool on);
    bool cursorEnabled() const { return cursorEnabled_; }
    QCustomPlot* plot() const { return plot_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeCursor();
    void plotsChanged();
    QCustomPlot* plot_;
    std::vector<std::function<void(int)>> watchers_;
    std::function<void(int)> notify_;
    QCPItemStraightLine* vLine_;
    QCPItemStraightLine* hLine_;
    double cursorX_ = 0.0;
    double cursorY_ = 0.0;
    bool cursorEnabled_ = false;
    bool dragging_ = false;
};

// A plot of traces over clock time, each drawn as its envelope: per pixel
// column the lowest and highest sample in it. It holds no history itself: it
// asks its owner for the columns of the range shown (fetch), at most once per
// turn of the event loop, whenever the range or the width changed. Beside it
// a list with a check box per trace; below it the crosshair's read-out.
class TrendPlot : public QObject {
public:
    struct Trace {
        QString label;
        QString unit;
        QColor color;
        bool visible = true;
        std::vector<double> low, high;  // per column; NaN a gap, +inf nothing there
        double from = 0, to = 0;        // the range the columns cover
        QCPGraph* graph = nullptr;
    };

    TrendPlot(QWidget* parent, std::function<void()> fetch);
    QWidget* widget() const { return box_; }
    QCustomPlot* plot() const { return plot_; }
    QListWidget* list() const { return list_; }
    QLabel* readout() const { return readout_; }

    void setTraces(std::vector<Trace> traces);
    void setSharedAxes(bool shared);
    void setSpan(double first, double last);
    void setRange(double from, double to);
    void range(double* from, double* to, int* columns) const;
    void setEnvelope(int trace, const double* low, const double* high, int columns);
    void setTraceVisible(int trace, bool visible);
    const std::vector<Trace>& traces() const { return traces_; }
    // The fetch to come runs now (tests, and before an image is taken).
    void fetchNow();
    bool fetchPending() const { return pending_->isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void clampRange();
    void requestFetch();
    void draw();
    void autoscale();
    void showCrosshair(double x);

    QWidget* box_;
    QCustomPlot* plot_;
    QListWidget* list_;
    QLabel* readout_;
    QTimer* pending_;
    QCPItemStraightLine* crosshair_;
    std::function<void()> fetch_;
    std::vector<Trace> traces_;
    std::vector<QCPAxis*> axes_;  // per trace
    bool shared_ = true;
    bool hasSpan_ = false;
    bool clamping_ = false;
    double first_ = 0, last_ = 0;
    double crosshairX_ = qQNaN();
};

struct Control {
    int id = 0;
    std::string name;
    Kind kind = Kind::Message;
    DataType type = DataType::Int;
    QWidget* outer = nullptr;  // what a layout holds; shown and hidden as a whole
    QWidget* inner = nullptr;
    QLabel* label = nullptr;
    std::string callbackName;
    CtrlCallbackPtr callback = nullptr;
    QVariant initial;
    bool indicator = false;
    bool inState = true;
    int textColor = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    QTimer* timer = nullptr;
    double interval = 1.0;
    std::unique_ptr<StripChart> strip;
    std::unique_ptr<GraphControl> graph;
    std::unique_ptr<TrendPlot> trend;
};

class PanelWindow;

struct Panel {
    int handle = 0;
    int resource = 0;
    PanelWindow* window = nullptr;
    std::string callbackName;
    PanelCallbackPtr callback = nullptr;
    std::map<int, Control> controls;
    bool placed = false;  // given its first place on the screen
};

// The top-level window of a panel: the close box raises EVENT_CLOSE instead of closing.
class PanelWindow : public QWidget {
    Q_OBJECT
public:
    explicit PanelWindow(int handle);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int handle_;
};

// Everything the run-time knows: panel files, callbacks by name, live panels.
struct Registry {
    std::map<std::string, PanelFactory> files;  // lower-case file name
    std::map<std::string, CtrlCallbackPtr> callbacks;
    std::map<std::string, PanelCallbackPtr> panelCallbacks;
    std::map<int, std::unique_ptr<Panel>> panels;
    int nextHandle = 1;
    QEventLoop* loop = nullptr;
    int quitCode = 0;
    bool quitRequested = false;
    std::vector<std::string> unresolved;
};
Registry& reg();

std::string lower(const char* s);
// Copies text into a C buffer of `size` bytes; always terminated, cut to fit.
void copyOut(const QString& text, char* out, std::size_t size);

Panel* findPanel(int handle);
Control* findControl(int panel, int control);
// Runs the control's callback (if any); the control may be gone afterwards.
void dispatchControl(int panel, int control, int event, int data1 = 0, int data2 = 0);
void dispatchPanel(int panel, int event);

// Values, with conversion to the control's type.
QVariant controlValue(const Control& c);
void setControlValue(Control& c, const QVariant& value);
// Whether a value read from a stored state is acceptable for the control.
bool acceptsValue(const Control& c, const QVariant& value, QVariant* converted);

QString dataFilePath(const char* name);

// ---------------------------------------------------------------- window places
// How a window is placed when no remembered place fits a present screen.
enum class Placement {
    Main,       // centred on the primary screen, sized to fit it
    Secondary,  // beside the main window where it fits, else centred over it
    Popup,      // centred over the main window
};
// Where a window whose frame is `frame` in size goes near the `anchor` frame,
// fully inside `screen` (an available geometry): the frame rectangle.
QRect placeNear(const QRect& anchor, const QSize& frame, const QRect& screen, Placement how);
// The window pop-ups and secondary windows are placed over: the first panel
// loaded that is shown (the main window), else the active window.
QWidget* anchorWindow();
// The window a pop-up belongs to, so that it stays in front of it: the active
// panel window, else the panel displayed last, else the main window.
QWidget* popupParent();
// Gives a window its place before it is first shown: the remembered one under
// `key` when it lies fully on a present screen, else by `how`. Its place is
// remembered whenever it is hidden.
void placeWindow(QWidget* window, const QString& key, Placement how);
// Centres a pop-up over the anchor window, fully on the screen; for use in
// the pop-up's showEvent, once its size is known.
void centreOverAnchor(QWidget* popup);
// The panel-state file: remembered places are read from and written to its
// [Windows] section.
void notePanelStateFile(const QString& fileName);
// False, after telling the user once a run, when a settings file exists but
// is no regular file (a FIFO, a device, a directory, a link to nothing): it
// is then neither read nor written.
bool settingsFileUsable(const QString& path);
// Writes `values` (key, value) as keys of `group` in the ini file at `path`
// and removes the keys in `removed`. Every other line (comments, unknown keys,
// other sections) stays as it was, which QSettings would not keep.
bool writeIniKeys(const QString& path, const QString& group,
                  const std::vector<std::pair<QString, QVariant>>& values,
                  const std::vector<QString>& removed = {});
// Writes the places of all windows (the shown ones as they are now).
void saveWindowPlaces();
// Forgets every remembered place (tests).
void forgetWindowPlaces();

// The parts of a control by kind; null when the control is not of that kind.
QComboBox* ringOf(int panel, int control);
StripChart* stripOf(int panel, int control);
GraphControl* graphOf(int panel, int control);
TrendPlot* trendOf(int panel, int control);

}  // namespace platform
