// The run-time (application object and event loop) and the panels as a whole.
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QIcon>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>

#include "platform/ui_internal.h"
#include "platform/world.h"

using namespace platform;

// ---------------------------------------------------------------- run-time

namespace {

// Qt ends the process when its window-system plugin finds no display; tell
// the caller instead, so that start-up can fail cleanly.
bool displayUsable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (chosen.isEmpty())
        return x11 || wayland;
    if (chosen.startsWith("xcb"))
        return x11;
    if (chosen.startsWith("wayland"))
        return wayland;
#endif
    return true;
}

}  // namespace

int InitCVIRTE(int, char* argv[], int)
{
    if (world().runTimeFails())
        return 0;
    if (!QApplication::instance()) {
        if (Headless()) {
            // Chosen on the command line, so that it wins over the
            // environment and reaches no program started from here.
            static int argc = 3;
            static char name[] = "merrivan";
            static char option[] = "-platform";
            static char offscreen[] = "offscreen";
            static char* args[] = {argv && argv[0] ? argv[0] : name, option, offscreen, nullptr};
            new QApplication(argc, args);
            platform::answerPopupsHeadless();
        } else if (!displayUsable()) {
            std::fprintf(stderr,
                         "merrivan: no display to show the window on (DISPLAY and "
                         "WAYLAND_DISPLAY are unset)\n");
            return 0;
        } else {
            static int argc = 1;
            static char name[] = "merrivan";
            static char* args[] = {argv && argv[0] ? argv[0] : name, nullptr};
            new QApplication(argc, args);
        }
        // The application object has just set every locale category from the
        // environment; under a comma locale sscanf would read "23.5" as 23.
        // Numbers in files, frames and controls are always in the C format.
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(QLocale::c());
    }
    QApplication::setApplicationName("Merrivan");
    QApplication::setWindowIcon(QIcon::fromTheme("merrivan", QIcon(dataFilePath("merrivan.png"))));
    // Test hook of the install test: MERRIVAN_EXIT_AFTER_START=1 ends the
    // program at its first event-loop turn and says where it found its files.
    if (qEnvironmentVariableIsSet("MERRIVAN_EXIT_AFTER_START"))
        QTimer::singleShot(0, [] {
            for (const char* name : {"RS232 HELP.html", "NoLogo.jpg", "merrivan.png"})
                std::printf("%s: %s\n", name,
                            qPrintable(QFileInfo(dataFilePath(name)).absoluteFilePath()));
            std::fflush(stdout);
            QuitUserInterface(0);
        });
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
    saveWindowPlaces();
    r.quitCode = code;
    if (r.loop)
        r.loop->exit(code);
    else
        r.quitRequested = true;
    return 0;
}

// ---------------------------------------------------------------- window places

namespace {

// The main window is the first panel loaded that still lives.
int firstPanelHandle()
{
    const auto& panels = reg().panels;
    return panels.empty() ? -1 : panels.begin()->first;
}

struct Place {
    QRect frame;  // frame rectangle on the screen
    QSize size;   // the window's own size, without the frame
    bool maximized = false;
};

struct WindowMemory {
    QString file;  // absolute path of the panel-state file, empty when none known
    bool loaded = false;
    std::map<QString, Place> places;
    std::map<QString, QPointer<QWidget>> windows;
};

WindowMemory& memory()
{
    static WindowMemory m;
    return m;
}

const char* const kWindowsGroup = "Windows";

QString numbers(std::initializer_list<int> values)
{
    QStringList out;
    for (int v : values)
        out << QString::number(v);
    return out.join(' ');
}

std::vector<int> parseNumbers(const QString& text)
{
    std::vector<int> out;
    for (const QString& part : text.split(' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int v = part.toInt(&ok);
        if (!ok)
            return {};
        out.push_back(v);
    }
    return out;
}

void loadPlaces()
{
    WindowMemory& m = memory();
    if (m.loaded || m.file.isEmpty() || !QFileInfo(m.file).isFile())
        return;
    m.loaded = true;
    QSettings ini(m.file, QSettings::IniFormat);
    ini.beginGroup(kWindowsGroup);
    for (const QString& key : ini.childKeys()) {
        if (!key.endsWith("Frame"))
            continue;
        const QString name = key.left(key.size() - 5);
        const std::vector<int> f = parseNumbers(ini.value(key).toString());
        const std::vector<int> s = parseNumbers(ini.value(name + "Size").toString());
        if (f.size() != 4 || s.size() != 2 || f[2] <= 0 || f[3] <= 0 || s[0] <= 0 || s[1] <= 0)
            continue;
        Place p;
        p.frame = QRect(f[0], f[1], f[2], f[3]);
        p.size = QSize(s[0], s[1]);
        p.maximized = ini.value(name + "Maximized").toString() == "1";
        if (!m.places.count(name))
            m.places[name] = p;
    }
}

QScreen* screenOf(QWidget* w)
{
    QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

// Whether a frame lies fully on one present screen.
bool onAScreen(const QRect& frame)
{
    for (QScreen* s : QGuiApplication::screens())
        if (s->availableGeometry().contains(frame))
            return true;
    return false;
}

// The frame's extra size around the window; before a window is first shown
// the window system has not said, so the anchor's is taken.
QSize frameExtra(QWidget* w)
{
    for (QWidget* x : {w, anchorWindow()}) {
        if (x && x->isVisible()) {
            const QSize extra = x->frameGeometry().size() - x->size();
            if (extra.width() >= 0 && extra.height() >= 0)
                return extra;
        }
    }
    return {0, 0};
}

void remember(QWidget* w, const QString& key)
{
    Place p;
    p.maximized = w->isMaximized();
    const QSize extra = frameExtra(w);
    const QRect normal = p.maximized ? w->normalGeometry() : w->geometry();
    if (normal.isEmpty())
        return;
    p.size = normal.size();
    const QPoint frameOffset = w->geometry().topLeft() - w->frameGeometry().topLeft();
    p.frame = p.maximized ? QRect(normal.topLeft() - frameOffset, normal.size() + extra)
                          : w->frameGeometry();
    memory().places[key] = p;
}

// Remembers a window's place whenever it is hidden (hidden, discarded or closed).
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget* w, QString key) : QObject(w), key_(std::move(key)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow())
                remember(w, key_);
        return QObject::eventFilter(watched, event);
    }

private:
    QString key_;
};

// After the window system has framed a window, a frame that reaches off the
// screen is brought back onto it.
void keepOnScreen(QWidget* w)
{
    if (!w || !w->isVisible() || w->isMaximized() || w->isFullScreen())
        return;
    const QRect screen = screenOf(w)->availableGeometry();
    QRect frame = w->frameGeometry();
    if (screen.contains(frame))
        return;
    if (frame.width() > screen.width() || frame.height() > screen.height()) {
        // Smaller, but never below what its contents need.
        const QSize extra = frame.size() - w->size();
        const QSize fit = w->size()
                              .boundedTo(screen.size() - extra)
                              .expandedTo(w->minimumSizeHint())
                              .expandedTo(w->minimumSize());
        if (fit != w->size()) {
            w->resize(fit);
            frame = w->frameGeometry();
        }
    }
    const QRect inside = placeNear(frame, frame.size(), screen, Placement::Popup);
    if (inside.topLeft() != frame.topLeft())
        w->move(inside.topLeft());
}

}  // namespace

namespace platform {

QRect placeNear(const QRect& anchor, const QSize& frame, const QRect& screen, Placement how)
{
    auto clampInto = [&screen](QRect r) {
        if (r.right() > screen.right())
            r.moveRight(screen.right());
        if (r.bottom() > screen.bottom())
            r.moveBottom(screen.bottom());
        if (r.left() < screen.left())
            r.moveLeft(screen.left());
        if (r.top() < screen.top())
            r.moveTop(screen.top());
        return r;
    };
    QRect r(QPoint(0, 0), frame);
    if (how == Placement::Main || anchor.isEmpty()) {
        r.moveCenter(screen.center());
        return clampInto(r);
    }
    if (how == Placement::Secondary) {
        const int gap = 8;
        // Beside the anchor, level with its top, when it fits the screen.
        for (int x : {anchor.right() + 1 + gap, anchor.left() - gap - frame.width()}) {
            QRect beside(QPoint(x, anchor.top()), frame);
            if (beside.bottom() > screen.bottom())
                beside.moveBottom(screen.bottom());
            if (beside.top() < screen.top())
                beside.moveTop(screen.top());
            if (screen.contains(beside))
                return beside;
        }
    }
    r.moveCenter(anchor.center());
    return clampInto(r);
}

namespace {
QPointer<QWidget> lastShown;  // the panel window displayed last
}  // namespace

QWidget* popupParent()
{
    QWidget* active = QApplication::activeWindow();
    for (const auto& [handle, p] : reg().panels)
        if (p->window == active && active->isVisible())
            return active;
    if (lastShown && lastShown->isVisible())
        return lastShown;
    return anchorWindow();
}

QWidget* anchorWindow()
{
    for (const auto& [handle, p] : reg().panels)
        if (p->window->isVisible())
            return p->window;
    return QApplication::activeWindow();
}

void placeWindow(QWidget* window, const QString& key, Placement how)
{
    WindowMemory& m = memory();
    loadPlaces();
    if (!m.windows.count(key) || m.windows[key] != window) {
        m.windows[key] = window;
        window->installEventFilter(new PlaceKeeper(window, key));
    }
    auto found = m.places.find(key);
    if (found != m.places.end() && onAScreen(found->second.frame)) {
        const Place& p = found->second;
        window->resize(p.size.expandedTo(window->minimumSizeHint()));
        window->move(p.frame.topLeft());
        if (p.maximized)
            window->setWindowState(window->windowState() | Qt::WindowMaximized);
        return;
    }
    QWidget* anchor = how == Placement::Main ? nullptr : anchorWindow();
    if (anchor == window)
        anchor = nullptr;
    QScreen* screen = screenOf(anchor ? anchor : window);
    const QRect available = screen->availableGeometry();
    const QSize extra = frameExtra(window);
    // Never larger than the screen leaves room for.
    QSize size = window->size();
    if (size.isEmpty())
        size = window->sizeHint();
    size = size.boundedTo(available.size() - extra).expandedTo(window->minimumSizeHint());
    window->resize(size);
    const QRect frame = placeNear(anchor ? anchor->frameGeometry() : QRect(), size + extra,
                                  available, anchor ? how : Placement::Main);
    window->move(frame.topLeft());
    // A window manager frames the window only once it is shown; then the
    // frame may reach off the screen. Without one (offscreen) nothing frames.
    if (QGuiApplication::platformName() != "offscreen") {
        QPointer<QWidget> guarded(window);
        QTimer::singleShot(400, window, [guarded] { keepOnScreen(guarded); });
    }
}

void centreOverAnchor(QWidget* popup)
{
    QWidget* anchor = anchorWindow();
    if (anchor == popup)
        anchor = nullptr;
    const QRect available = screenOf(anchor ? anchor : popup)->availableGeometry();
    const QSize frame = popup->size() + frameExtra(popup);
    popup->move(placeNear(anchor ? anchor->frameGeometry() : QRect(), frame, available,
                          anchor ? Placement::Popup : Placement::Main)
                    .topLeft());
}

void notePanelStateFile(const QString& fileName)
{
    WindowMemory& m = memory();
    const QString path = QFileInfo(fileName).absoluteFilePath();
    if (path == m.file)
        return;
    m.file = path;
    m.loaded = false;
    m.places.clear();
}

void saveWindowPlaces()
{
    WindowMemory& m = memory();
    for (auto& [key, w] : m.windows)
        if (w && w->isVisible())
            remember(w, key);
    if (m.file.isEmpty() || m.places.empty())
        return;
    std::vector<std::pair<QString, QVariant>> values;
    for (const auto& [key, p] : m.places) {
        values.emplace_back(key + "Frame", numbers({p.frame.x(), p.frame.y(), p.frame.width(),
                                                    p.frame.height()}));
        values.emplace_back(key + "Size", numbers({p.size.width(), p.size.height()}));
        values.emplace_back(key + "Maximized", p.maximized ? "1" : "0");
    }
    writeIniKeys(m.file, kWindowsGroup, values);
}

void forgetWindowPlaces()
{
    WindowMemory& m = memory();
    m.places.clear();
    m.loaded = false;
}

}  // namespace platform

// ---------------------------------------------------------------- panels

int LoadPanel(int, const char* fileName, int resource)
{
    Registry& r = reg();
    if (world().panelLoadFails(resource))
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
    if (Headless())
        return 0;  // nobody to show it to
    if (!p->placed) {
        p->placed = true;
        QString key = p->window->objectName();
        if (key.isEmpty())
            key = QString("Panel%1").arg(p->resource);
        placeWindow(p->window, key, p->handle == firstPanelHandle() ? Placement::Main
                                                                     : Placement::Secondary);
    }
    lastShown = p->window;
    p->window->show();
    p->window->raise();
    p->window->activateWindow();
    return 0;
}

int SetPanelTitle(int panel, const char* title)
{
    Panel* p = findPanel(panel);
    if (!p)
        return -1;
    p->window->setWindowTitle(QString::fromUtf8(title ? title : ""));
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
