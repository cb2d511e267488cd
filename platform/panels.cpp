// Panels, controls, callbacks and the event loop.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <cmath>
#include <cstring>
#include <set>

#include "platform/callback_hold.h"
#include "platform/callbacks.h"
#include "platform/seams.h"
#include "platform/ui_internal.h"

namespace platform {
namespace {

struct Registry {
    std::map<std::string, PanelFactory> files;  // lower-case file name
    std::map<std::string, CtrlCallbackPtr> callbacks;
    std::map<std::string, PanelCallbackPtr> panelCallbacks;
    std::map<int, std::unique_ptr<Panel>> panels;
    int nextHandle = 1;
    std::set<int> failingResources;
    bool failRunTime = false;
    QEventLoop* loop = nullptr;
    int quitCode = 0;
    bool quitRequested = false;
    std::vector<std::string> unresolved;
};

Registry& reg()
{
    static Registry r;
    return r;
}

std::string lower(const char* s)
{
    std::string out = s ? s : "";
    for (char& ch : out)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

void copyOut(const QString& text, char* out, std::size_t size)
{
    if (!out || size == 0)
        return;
    const QByteArray bytes = text.toLocal8Bit();
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), size - 1);
    std::memcpy(out, bytes.constData(), n);
    out[n] = '\0';
}

QString colorSheet(int rgb)
{
    return QString("color: #%1;").arg(static_cast<unsigned>(rgb) & 0xFFFFFFu, 6, 16, QChar('0'));
}

}  // namespace

// ---------------------------------------------------------------- registry

void registerPanelFile(const char* fileName, PanelFactory factory)
{
    reg().files[lower(fileName)] = factory;
}

void registerCallback(const char* name, CtrlCallbackPtr callback)
{
    reg().callbacks[name] = callback;
}

void registerPanelCallback(const char* name, PanelCallbackPtr callback)
{
    reg().panelCallbacks[name] = callback;
}

QString dataFilePath(const char* name)
{
    const QString n = QString::fromLocal8Bit(name ? name : "");
    if (QFileInfo::exists(n))
        return n;
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(n);
        if (QFileInfo::exists(beside))
            return beside;
    }
    return n;
}

void resolveDataFile(const char* name, char* path, std::size_t size)
{
    copyOut(dataFilePath(name), path, size);
}

Panel* findPanel(int handle)
{
    auto it = reg().panels.find(handle);
    return it == reg().panels.end() ? nullptr : it->second.get();
}

Control* findControl(int panel, int control)
{
    Panel* p = findPanel(panel);
    if (!p)
        return nullptr;
    auto it = p->controls.find(control);
    return it == p->controls.end() ? nullptr : &it->second;
}

namespace {
int holdDepth = 0;
}  // namespace

bool callbacksHeld()
{
    return holdDepth > 0;
}

void holdCallbacks(bool hold)
{
    holdDepth += hold ? 1 : -1;
    if (holdDepth < 0)
        holdDepth = 0;
}

void dispatchControl(int panel, int control, int event, int data1, int data2)
{
    if (callbacksHeld())
        return;
    Control* c = findControl(panel, control);
    if (c && c->callback)
        c->callback(panel, control, event, nullptr, data1, data2);
}

void dispatchPanel(int panel, int event)
{
    if (callbacksHeld())
        return;
    Panel* p = findPanel(panel);
    if (p && p->callback)
        p->callback(panel, event, nullptr, 0, 0);
}

QWidget* controlWidget(int panel, int control)
{
    Control* c = findControl(panel, control);
    return c ? c->inner : nullptr;
}

QWidget* panelWindow(int panel)
{
    Panel* p = findPanel(panel);
    return p ? p->window : nullptr;
}

PanelWindow::PanelWindow(int handle) : QWidget(nullptr), handle_(handle)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void PanelWindow::closeEvent(QCloseEvent* event)
{
    // The panel's callback decides what the close box does.
    event->ignore();
    dispatchPanel(handle_, EVENT_CLOSE);
}

// ---------------------------------------------------------------- values

QVariant controlValue(const Control& c)
{
    switch (c.kind) {
    case Kind::Numeric:
        if (c.type == DataType::Int)
            return static_cast<QSpinBox*>(c.inner)->value();
        return static_cast<QDoubleSpinBox*>(c.inner)->value();
    case Kind::Text:
        return static_cast<QLineEdit*>(c.inner)->text();
    case Kind::Message:
        return static_cast<QLabel*>(c.inner)->text();
    case Kind::Led:
        return static_cast<LedWidget*>(c.inner)->isOn() ? 1 : 0;
    case Kind::Switch:
        return static_cast<SwitchWidget*>(c.inner)->isChecked() ? 1 : 0;
    case Kind::Ring: {
        auto* box = static_cast<QComboBox*>(c.inner);
        return box->currentIndex() < 0 ? QVariant(0) : box->currentData();
    }
    default:
        return {};
    }
}

void setControlValue(Control& c, const QVariant& value)
{
    switch (c.kind) {
    case Kind::Numeric: {
        if (c.type == DataType::Int) {
            auto* box = static_cast<QSpinBox*>(c.inner);
            const QSignalBlocker block(box);
            box->setValue(value.toInt());
        } else {
            auto* box = static_cast<QDoubleSpinBox*>(c.inner);
            const QSignalBlocker block(box);
            double v = value.toDouble();
            if (c.type == DataType::Float)
                v = static_cast<double>(static_cast<float>(v));
            box->setValue(v);
        }
        break;
    }
    case Kind::Text: {
        auto* edit = static_cast<QLineEdit*>(c.inner);
        const QSignalBlocker block(edit);
        edit->setText(value.toString());
        edit->setCursorPosition(0);
        break;
    }
    case Kind::Message:
        static_cast<QLabel*>(c.inner)->setText(value.toString());
        break;
    case Kind::Led:
        static_cast<LedWidget*>(c.inner)->setOn(value.toInt() != 0);
        break;
    case Kind::Switch: {
        auto* sw = static_cast<SwitchWidget*>(c.inner);
        const QSignalBlocker block(sw);
        sw->setChecked(value.toInt() != 0);
        sw->update();
        break;
    }
    case Kind::Ring: {
        auto* box = static_cast<QComboBox*>(c.inner);
        const int i = box->findData(value.toInt());
        if (i >= 0) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(i);
        }
        break;
    }
    default:
        break;
    }
}

bool acceptsValue(const Control& c, const QVariant& value, QVariant* converted)
{
    bool ok = false;
    const QString text = value.toString();
    switch (c.kind) {
    case Kind::Numeric:
        if (c.type == DataType::Int) {
            const int v = text.trimmed().toInt(&ok);
            if (!ok || v < c.minimum || v > c.maximum)
                return false;
            *converted = v;
        } else {
            const double v = text.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(v) || v < c.minimum || v > c.maximum)
                return false;
            *converted = v;
        }
        return true;
    case Kind::Led:
    case Kind::Switch: {
        const int v = text.trimmed().toInt(&ok);
        if (!ok || (v != 0 && v != 1))
            return false;
        *converted = v;
        return true;
    }
    case Kind::Ring: {
        const int v = text.trimmed().toInt(&ok);
        if (!ok || static_cast<QComboBox*>(c.inner)->findData(v) < 0)
            return false;
        *converted = v;
        return true;
    }
    case Kind::Text:
    case Kind::Message:
        *converted = text;
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- builder

PanelBuilder::PanelBuilder(Panel& panel) : panel_(panel) {}

QWidget* PanelBuilder::window() const
{
    return panel_.window;
}

int PanelBuilder::handle() const
{
    return panel_.handle;
}

void PanelBuilder::title(const char* text)
{
    panel_.window->setWindowTitle(QString::fromUtf8(text));
}

void PanelBuilder::panelCallback(const char* name)
{
    panel_.callbackName = name;
    auto it = reg().panelCallbacks.find(name);
    if (it != reg().panelCallbacks.end())
        panel_.callback = it->second;
    else
        reg().unresolved.push_back(name);
}

Control& PanelBuilder::add(int id, const char* name, const char* callback)
{
    Control& c = panel_.controls[id];
    c.id = id;
    c.name = name;
    if (callback && *callback) {
        c.callbackName = callback;
        auto it = reg().callbacks.find(callback);
        if (it != reg().callbacks.end())
            c.callback = it->second;
        else
            reg().unresolved.push_back(callback);
    }
    last_ = &c;
    return c;
}

QWidget* PanelBuilder::wrap(Control& c, QWidget* inner, const char* label, LabelAt at)
{
    c.inner = inner;
    inner->setParent(panel_.window);
    if (at == LabelAt::None) {
        c.outer = inner;
        if (label && *label) {
            // Kept for the label-text attribute even when not shown beside the control.
            c.label = new QLabel(QString::fromUtf8(label), panel_.window);
            c.label->hide();
        }
        return inner;
    }
    auto* box = new QWidget(panel_.window);
    c.outer = box;
    c.label = new QLabel(QString::fromUtf8(label ? label : ""), box);
    c.label->setObjectName("ctrlLabel");
    QBoxLayout* lay = nullptr;
    if (at == LabelAt::Top)
        lay = new QVBoxLayout(box);
    else
        lay = new QHBoxLayout(box);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(at == LabelAt::Top ? 2 : 6);
    c.label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    if (at == LabelAt::Right) {
        lay->addWidget(inner);
        lay->addWidget(c.label);
    } else {
        lay->addWidget(c.label);
        lay->addWidget(inner, 1);
    }
    if (at != LabelAt::Top)
        lay->addStretch(0);
    return box;
}

QWidget* PanelBuilder::numeric(int id, const char* name, const char* label, DataType type,
                               double min, double max, double init, int precision,
                               const char* callback, bool indicator, LabelAt at)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Numeric;
    c.type = type;
    c.indicator = indicator;
    c.minimum = min;
    c.maximum = max;
    QAbstractSpinBox* spin = nullptr;
    const int handle = panel_.handle;
    if (type == DataType::Int) {
        auto* box = new QSpinBox;
        box->setRange(static_cast<int>(min), static_cast<int>(max));
        box->setValue(static_cast<int>(init));
        c.initial = static_cast<int>(init);
        QObject::connect(box, &QSpinBox::valueChanged, box,
                         [handle, id](int) { dispatchControl(handle, id, EVENT_COMMIT); });
        spin = box;
    } else {
        auto* box = new QDoubleSpinBox;
        box->setDecimals(precision);
        box->setRange(min, max);
        box->setValue(init);
        c.initial = init;
        QObject::connect(box, &QDoubleSpinBox::valueChanged, box,
                         [handle, id](double) { dispatchControl(handle, id, EVENT_COMMIT); });
        spin = box;
    }
    // A value is committed on Enter, on leaving the entry or by its arrows.
    spin->setKeyboardTracking(false);
    spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (indicator) {
        spin->setReadOnly(true);
        spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        spin->setFocusPolicy(Qt::NoFocus);
    }
    return wrap(c, spin, label, at);
}

QWidget* PanelBuilder::text(int id, const char* name, const char* label, const char* init,
                            const char* callback, bool indicator, LabelAt at)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Text;
    c.type = DataType::Text;
    c.indicator = indicator;
    auto* edit = new QLineEdit(QString::fromUtf8(init ? init : ""));
    c.initial = edit->text();
    if (indicator) {
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
    } else {
        const int handle = panel_.handle;
        QObject::connect(edit, &QLineEdit::editingFinished, edit,
                         [handle, id]() { dispatchControl(handle, id, EVENT_COMMIT); });
    }
    return wrap(c, edit, label, at);
}

QWidget* PanelBuilder::message(int id, const char* name, const char* init)
{
    Control& c = add(id, name, nullptr);
    c.kind = Kind::Message;
    c.type = DataType::Text;
    c.inState = false;
    auto* l = new QLabel(QString::fromUtf8(init ? init : ""));
    c.initial = l->text();
    return wrap(c, l, nullptr, LabelAt::None);
}

QWidget* PanelBuilder::led(int id, const char* name, const char* label, QColor onColor, LabelAt at)
{
    Control& c = add(id, name, nullptr);
    c.kind = Kind::Led;
    c.initial = 0;
    return wrap(c, new LedWidget(onColor), label, at);
}

QWidget* PanelBuilder::binarySwitch(int id, const char* name, const char* label, int init,
                                    const char* callback, LabelAt at)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Switch;
    c.initial = init ? 1 : 0;
    auto* sw = new SwitchWidget;
    sw->setChecked(init != 0);
    const int handle = panel_.handle;
    QObject::connect(sw, &QAbstractButton::toggled, sw, [handle, id](bool) {
        dispatchControl(handle, id, EVENT_VAL_CHANGED);
        dispatchControl(handle, id, EVENT_COMMIT);
    });
    return wrap(c, sw, label, at);
}

QWidget* PanelBuilder::ring(int id, const char* name, const char* label, std::vector<Item> items,
                            int initValue, const char* callback, LabelAt at)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Ring;
    auto* box = new QComboBox;
    for (const Item& it : items)
        box->addItem(QString::fromUtf8(it.label), it.value);
    const int i = box->findData(initValue);
    box->setCurrentIndex(i >= 0 ? i : (box->count() ? 0 : -1));
    c.initial = initValue;
    const int handle = panel_.handle;
    QObject::connect(box, &QComboBox::activated, box, [handle, id](int) {
        dispatchControl(handle, id, EVENT_VAL_CHANGED);
        dispatchControl(handle, id, EVENT_COMMIT);
    });
    return wrap(c, box, label, at);
}

QWidget* PanelBuilder::command(int id, const char* name, const char* label, const char* callback)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Command;
    c.inState = false;
    auto* button = new QPushButton(QString::fromUtf8(label));
    const int handle = panel_.handle;
    QObject::connect(button, &QPushButton::clicked, button,
                     [handle, id]() { dispatchControl(handle, id, EVENT_COMMIT); });
    return wrap(c, button, nullptr, LabelAt::None);
}

QWidget* PanelBuilder::picture(int id, const char* name, int width, int height)
{
    Control& c = add(id, name, nullptr);
    c.kind = Kind::Picture;
    c.inState = false;
    auto* l = new QLabel;
    l->setFixedSize(width, height);
    l->setAlignment(Qt::AlignCenter);
    return wrap(c, l, nullptr, LabelAt::None);
}

void PanelBuilder::timer(int id, const char* name, double interval, bool enabled,
                         const char* callback)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Timer;
    c.inState = false;
    c.interval = interval;
    c.timer = new QTimer(panel_.window);
    c.timer->setTimerType(Qt::PreciseTimer);
    c.timer->setInterval(static_cast<int>(std::lround(interval * 1000.0)));
    const int handle = panel_.handle;
    QObject::connect(c.timer, &QTimer::timeout, c.timer,
                     [handle, id]() { dispatchControl(handle, id, EVENT_TIMER_TICK); });
    if (enabled)
        c.timer->start();
}

QWidget* PanelBuilder::stripChart(int id, const char* name, const char* label, int traces,
                                  int pointsPerScreen, const std::vector<QColor>& colors,
                                  double yMin, double yMax, const char* callback)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Strip;
    c.inState = false;
    auto* plot = new QCustomPlot;
    plot->setMinimumSize(420, 220);
    c.strip = std::make_unique<StripChart>(plot, traces, pointsPerScreen, colors);
    c.strip->setYRange(yMin, yMax);
    QWidget* w = wrap(c, plot, label, LabelAt::Top);
    c.label->setAlignment(Qt::AlignCenter);
    return w;
}

QWidget* PanelBuilder::graph(int id, const char* name, const char* label, const char* xLabel,
                             const char* yLabel, const char* callback)
{
    Control& c = add(id, name, callback);
    c.kind = Kind::Graph;
    c.inState = false;
    auto* plot = new QCustomPlot;
    plot->setMinimumSize(380, 240);
    plot->xAxis->setLabel(QString::fromUtf8(xLabel));
    plot->yAxis->setLabel(QString::fromUtf8(yLabel));
    const int handle = panel_.handle;
    c.graph = std::make_unique<GraphControl>(
        plot, [handle, id](int event) { dispatchControl(handle, id, event); });
    QWidget* w = wrap(c, plot, label, LabelAt::Top);
    c.label->setAlignment(Qt::AlignCenter);
    return w;
}

QWidget* PanelBuilder::innerWidget() const
{
    return last_ ? last_->inner : nullptr;
}

void PanelBuilder::noState()
{
    if (last_)
        last_->inState = false;
}

}  // namespace platform

using namespace platform;

// ---------------------------------------------------------------- run-time

int InitCVIRTE(int, char* argv[], int)
{
    if (reg().failRunTime) {
        reg().failRunTime = false;
        return 0;
    }
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "merrivan";
        static char* args[] = {argv && argv[0] ? argv[0] : name, nullptr};
        new QApplication(argc, args);
    }
    QApplication::setApplicationName("Merrivan");
    return 1;
}

int RunUserInterface()
{
    Registry& r = reg();
    if (r.quitRequested) {
        r.quitRequested = false;
        return r.quitCode;
    }
    QEventLoop loop;
    QEventLoop* outer = r.loop;
    r.loop = &loop;
    const int code = loop.exec();
    r.loop = outer;
    r.quitRequested = false;
    return code;
}

int QuitUserInterface(int code)
{
    Registry& r = reg();
    r.quitCode = code;
    if (r.loop)
        r.loop->exit(code);
    else
        r.quitRequested = true;
    return 0;
}

// ---------------------------------------------------------------- panels

int LoadPanel(int, const char* fileName, int resource)
{
    Registry& r = reg();
    if (r.failingResources.count(resource))
        return -1;
    auto file = r.files.find(lower(fileName));
    if (file == r.files.end())
        return -2;
    const int handle = r.nextHandle++;
    auto panel = std::make_unique<Panel>();
    panel->handle = handle;
    panel->resource = resource;
    panel->window = new PanelWindow(handle);
    r.panels[handle] = std::move(panel);
    PanelBuilder builder(*r.panels[handle]);
    if (!file->second(builder, resource)) {
        delete r.panels[handle]->window;
        r.panels.erase(handle);
        return -3;
    }
    return handle;
}

int DisplayPanel(int panel)
{
    Panel* p = findPanel(panel);
    if (!p)
        return -1;
    p->window->show();
    p->window->raise();
    p->window->activateWindow();
    return 0;
}

int HidePanel(int panel)
{
    Panel* p = findPanel(panel);
    if (!p)
        return -1;
    p->window->hide();
    return 0;
}

int DiscardPanel(int panel)
{
    Registry& r = reg();
    auto it = r.panels.find(panel);
    if (it == r.panels.end())
        return -1;
    std::unique_ptr<Panel> gone = std::move(it->second);
    r.panels.erase(it);
    for (auto& [id, c] : gone->controls)
        if (c.timer)
            c.timer->stop();
    // The panel may be discarded from one of its own callbacks: delete later.
    gone->window->hide();
    gone->window->deleteLater();
    return 0;
}

// ---------------------------------------------------------------- controls

int SetCtrlVal(int panel, int control, int value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (c->kind == Kind::Text || c->kind == Kind::Message)
        setControlValue(*c, QString::number(value));
    else
        setControlValue(*c, value);
    return 0;
}

int SetCtrlVal(int panel, int control, double value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (c->kind == Kind::Text || c->kind == Kind::Message)
        setControlValue(*c, QString::number(value));
    else if (c->kind == Kind::Numeric && c->type != DataType::Int)
        setControlValue(*c, value);
    else
        setControlValue(*c, static_cast<int>(value));
    return 0;
}

int SetCtrlVal(int panel, int control, const char* value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    const QString text = QString::fromLocal8Bit(value ? value : "");
    if (c->kind == Kind::Text || c->kind == Kind::Message)
        setControlValue(*c, text);
    else
        setControlValue(*c, text.toDouble());
    return 0;
}

int GetCtrlVal(int panel, int control, int* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    const QVariant v = controlValue(*c);
    *value = c->type == DataType::Int ? v.toInt() : static_cast<int>(v.toDouble());
    return 0;
}

int GetCtrlVal(int panel, int control, float* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    *value = static_cast<float>(controlValue(*c).toDouble());
    return 0;
}

int GetCtrlVal(int panel, int control, double* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    *value = controlValue(*c).toDouble();
    return 0;
}

int GetCtrlVal(int panel, int control, char* value, std::size_t size)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    copyOut(controlValue(*c).toString(), value, size);
    return 0;
}

int SetCtrlAttribute(int panel, int control, int attribute, int value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    switch (attribute) {
    case ATTR_VISIBLE:
        if (c->outer)
            c->outer->setVisible(value != 0);
        return 0;
    case ATTR_DIMMED:
        if (c->outer)
            c->outer->setEnabled(value == 0);
        return 0;
    case ATTR_TEXT_COLOR:
        c->textColor = value;
        if (c->inner)
            c->inner->setStyleSheet(colorSheet(value));
        return 0;
    case ATTR_ENABLED:
        if (!c->timer)
            return -1;
        if (value)
            c->timer->start();
        else
            c->timer->stop();
        return 0;
    case ATTR_INTERVAL:
        return SetCtrlAttribute(panel, control, attribute, static_cast<double>(value));
    case ATTR_POINTS_PER_SCREEN:
        if (!c->strip)
            return -1;
        c->strip->setPointsPerScreen(value);
        return 0;
    default:
        return -1;
    }
}

int SetCtrlAttribute(int panel, int control, int attribute, double value)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (attribute == ATTR_INTERVAL) {
        if (!c->timer)
            return -1;
        // A timer cannot tick faster than it can be served; 1 ms is the floor.
        c->interval = value;
        const int ms = static_cast<int>(std::lround(std::max(0.001, value) * 1000.0));
        c->timer->setInterval(ms);
        return 0;
    }
    return SetCtrlAttribute(panel, control, attribute, static_cast<int>(value));
}

int SetCtrlAttribute(int panel, int control, int attribute, const char* value)
{
    Control* c = findControl(panel, control);
    if (!c || attribute != ATTR_LABEL_TEXT)
        return -1;
    if (c->label)
        c->label->setText(QString::fromLocal8Bit(value ? value : ""));
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    switch (attribute) {
    case ATTR_VISIBLE:
        *value = c->outer && !c->outer->isHidden() ? 1 : 0;
        return 0;
    case ATTR_DIMMED:
        *value = c->outer && !c->outer->isEnabled() ? 1 : 0;
        return 0;
    case ATTR_TEXT_COLOR:
        *value = c->textColor;
        return 0;
    case ATTR_ENABLED:
        *value = c->timer && c->timer->isActive() ? 1 : 0;
        return 0;
    case ATTR_POINTS_PER_SCREEN:
        *value = c->strip ? c->strip->pointsPerScreen() : 0;
        return 0;
    case ATTR_NUM_TRACES:
        *value = c->strip ? c->strip->traces() : 0;
        return 0;
    default:
        return -1;
    }
}

int GetCtrlAttribute(int panel, int control, int attribute, double* value)
{
    Control* c = findControl(panel, control);
    if (!c || !value)
        return -1;
    if (attribute == ATTR_INTERVAL) {
        *value = c->interval;
        return 0;
    }
    int v = 0;
    const int rc = GetCtrlAttribute(panel, control, attribute, &v);
    *value = v;
    return rc;
}

int GetCtrlAttribute(int panel, int control, int attribute, char* value, std::size_t size)
{
    Control* c = findControl(panel, control);
    if (!c || attribute != ATTR_LABEL_TEXT)
        return -1;
    copyOut(c->label ? c->label->text() : QString(), value, size);
    return 0;
}

int DefaultCtrl(int panel, int control)
{
    Control* c = findControl(panel, control);
    if (!c)
        return -1;
    if (c->initial.isValid())
        setControlValue(*c, c->initial);
    return 0;
}

int ResetTimer(int panel, int control)
{
    Control* c = findControl(panel, control);
    if (!c || !c->timer)
        return -1;
    if (c->timer->isActive())
        c->timer->start();  // restarts the interval from now
    return 0;
}

int DisplayImageFile(int panel, int control, const char* fileName)
{
    Control* c = findControl(panel, control);
    if (!c || c->kind != Kind::Picture)
        return -1;
    QImageReader reader(dataFilePath(fileName));
    const QImage image = reader.read();
    if (image.isNull())
        return -2;
    auto* l = static_cast<QLabel*>(c->inner);
    l->setPixmap(QPixmap::fromImage(image).scaled(l->size(), Qt::KeepAspectRatio,
                                                  Qt::SmoothTransformation));
    return 0;
}

// ---------------------------------------------------------------- lists

namespace {
QComboBox* ringOf(int panel, int control)
{
    Control* c = findControl(panel, control);
    return c && c->kind == Kind::Ring ? static_cast<QComboBox*>(c->inner) : nullptr;
}
}  // namespace

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

namespace {
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
}  // namespace

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

// ---------------------------------------------------------------- seams on controls

namespace seam {

void failPanelLoad(int resource)
{
    reg().failingResources.insert(resource);
}

void failRunTime()
{
    reg().failRunTime = true;
}

void clearPanelFailures()
{
    reg().failingResources.clear();
    reg().failRunTime = false;
}

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
            box->setCurrentIndex(i);
            emit box->activated(i);
        }
        break;
    }
    default:
        break;
    }
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
    QCustomPlot* plot = !c ? nullptr : c->strip ? c->strip->plot() : c->graph ? c->graph->plot() : nullptr;
    if (plot) {
        *min = plot->yAxis->range().lower;
        *max = plot->yAxis->range().upper;
    }
}

void xAxisRange(int panel, int control, double* min, double* max)
{
    Control* c = findControl(panel, control);
    QCustomPlot* plot = !c ? nullptr : c->strip ? c->strip->plot() : c->graph ? c->graph->plot() : nullptr;
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

}  // namespace seam
