// The panel builder: the panel definitions create their controls through it.
#include <QComboBox>
#include <QEvent>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

#include "platform/plot_export.h"
#include "platform/ui_internal.h"

namespace platform {

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
        auto* box = new IntEntry;
        box->setRange(static_cast<int>(min), static_cast<int>(max));
        box->setValue(static_cast<int>(init));
        c.initial = static_cast<int>(init);
        QObject::connect(box, &QSpinBox::valueChanged, box,
                         [handle, id](int) { dispatchControl(handle, id, EVENT_COMMIT); });
        spin = box;
    } else {
        auto* box = new RealEntry;
        box->setDecimals(precision);
        box->setRange(min, max);
        box->setValue(init);
        c.initial = init;
        QObject::connect(box, &QDoubleSpinBox::valueChanged, box,
                         [handle, id](double) { dispatchControl(handle, id, EVENT_COMMIT); });
        spin = box;
    }
    // Numbers show and parse in the C format whatever the user's locale: a
    // comma locale must never turn 23.5 into "23,5" or read "23.5" as 235.
    // The entries' own parse takes a typed decimal comma as the point.
    spin->setLocale(QLocale::c());
    // A value is committed on Enter, on leaving the entry or by its arrows.
    spin->setKeyboardTracking(false);
    spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (indicator) {
        // A figure, not an entry: no box around it.
        spin->setReadOnly(true);
        spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        spin->setFocusPolicy(Qt::NoFocus);
        spin->setFrame(false);
        spin->setStyleSheet("background: transparent;");
    } else {
        // As wide as the range needs (the size hint measures its limits),
        // never stretched across a wide window.
        spin->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
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
        // Read-only text looks like text, not like an input box.
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setFrame(false);
        edit->setStyleSheet("background: transparent;");
    } else {
        const int handle = panel_.handle;
        QObject::connect(edit, &QLineEdit::editingFinished, edit,
                         [handle, id]() { dispatchControl(handle, id, EVENT_COMMIT); });
    }
    return wrap(c, edit, label, at);
}

QWidget* PanelBuilder::reading(int id, const char* name, const char* label, const char* init,
                               LabelAt at)
{
    Control& c = add(id, name, nullptr);
    c.kind = Kind::Reading;
    c.type = DataType::Text;
    c.indicator = true;
    auto* box = new ReadingWidget(QString::fromUtf8(init ? init : ""));
    c.initial = box->text();
    return wrap(c, box, label, at);
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
    // Not `activated`: that also fires when the user picks the entry already
    // shown, and a callback would then redo its work for nothing. The program's
    // own changes are made under a signal blocker, so this is the user's pick.
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [handle, id](int) {
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
    offerImageExport(plot);
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
    offerImageExport(plot);
    plot->xAxis->setLabel(QString::fromUtf8(xLabel));
    plot->yAxis->setLabel(QString::fromUtf8(yLabel));
    const int handle = panel_.handle;
    c.graph = std::make_unique<GraphControl>(
        plot, [handle, id](int event) { dispatchControl(handle, id, event); });
    QWidget* w = wrap(c, plot, label, LabelAt::Top);
    c.label->setAlignment(Qt::AlignCenter);
    return w;
}

namespace {

// Keeps a text's font as large as its widget allows, for `chars` characters
// in a line, never below `minimumPixels`.
class FontFollower : public QObject {
public:
    FontFollower(QWidget* w, int chars, int minimumPixels)
        : QObject(w), chars_(std::max(1, chars)), min_(minimumPixels)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) {
            auto* w = static_cast<QWidget*>(watched);
            // Digits of a bold face are about 0.62 of the pixel size wide;
            // the box keeps some room for its margins.
            const double byHeight = w->height() * 0.62;
            const double byWidth = (w->width() - 24) / (chars_ * 0.62);
            const int px = std::max(min_, static_cast<int>(std::min(byHeight, byWidth)));
            if (w->font().pixelSize() != px) {
                QFont f = w->font();
                f.setPixelSize(px);
                w->setFont(f);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int chars_;
    int min_;
};

}  // namespace

void PanelBuilder::fontFollowsSize(int chars, int minimumPixels)
{
    if (!last_ || !last_->inner)
        return;
    last_->inner->installEventFilter(new FontFollower(last_->inner, chars, minimumPixels));
}

void PanelBuilder::wholeNumberTicks()
{
    if (!last_ || !last_->graph)
        return;
    QCustomPlot* plot = last_->graph->plot();
    plot->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new WholeNumberTicker));
    plot->yAxis->setNumberFormat("f");
    plot->yAxis->setNumberPrecision(0);
}

void PanelBuilder::blankWhileEmpty(int readout, int graph)
{
    Control* r = findControl(panel_.handle, readout);
    Control* g = findControl(panel_.handle, graph);
    if (!r || !g || !g->graph || r->kind != Kind::Numeric)
        return;
    QWidget* inner = r->inner;
    auto blank = [inner](int plots) {
        if (auto* i = dynamic_cast<IntEntry*>(inner))
            i->setBlank(plots == 0);
        else if (auto* d = dynamic_cast<RealEntry*>(inner))
            d->setBlank(plots == 0);
    };
    g->graph->onPlotsChanged(blank);
    blank(g->graph->plotCount());
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

namespace {

// A command presses only as the mouse could: shown and not dimmed.
void pressCommand(int handle, int id)
{
    Control* c = findControl(handle, id);
    auto* button = c ? qobject_cast<QPushButton*>(c->inner) : nullptr;
    Panel* p = findPanel(handle);
    if (button && p && button->isEnabled() && button->isVisibleTo(p->window))
        button->click();
}

}  // namespace

void PanelBuilder::shortcut(int command, const char* keys)
{
    Control* c = findControl(panel_.handle, command);
    auto* button = c ? qobject_cast<QPushButton*>(c->inner) : nullptr;
    if (!button || !keys)
        return;
    const int handle = panel_.handle;
    auto* sc = new QShortcut(QKeySequence(QString::fromUtf8(keys)), panel_.window);
    sc->setContext(Qt::WindowShortcut);
    QObject::connect(sc, &QShortcut::activated, sc,
                     [handle, command]() { pressCommand(handle, command); });
    QString name = button->text();
    if (name.endsWith("..."))
        name.chop(3);
    button->setToolTip(QString("%1 (%2)").arg(name, QString::fromUtf8(keys)));
}

void PanelBuilder::enterPresses(int command)
{
    Control* c = findControl(panel_.handle, command);
    if (!c || !qobject_cast<QPushButton*>(c->inner))
        return;
    QWidget* window = panel_.window;
    const int handle = panel_.handle;
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* sc = new QShortcut(QKeySequence(key), window);
        sc->setContext(Qt::WindowShortcut);
        QObject::connect(sc, &QShortcut::activated, sc, [window, handle, command]() {
            // As in a dialog: Enter on a button presses that button.
            auto* focused = qobject_cast<QPushButton*>(window->focusWidget());
            if (focused && focused->isEnabled())
                focused->click();
            else
                pressCommand(handle, command);
        });
    }
    c->inner->setToolTip(static_cast<QPushButton*>(c->inner)->text() + " (Enter)");
}

void PanelBuilder::tabOrder(std::initializer_list<int> controls)
{
    QWidget* previous = nullptr;
    for (int id : controls) {
        Control* c = findControl(panel_.handle, id);
        if (!c || !c->inner)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, c->inner);
        previous = c->inner;
    }
}

}  // namespace platform
