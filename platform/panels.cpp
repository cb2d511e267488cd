// The run-time (application object and event loop) and the panels as a whole.
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QTimer>

#include <clocale>
#include <cstdio>

#include "platform/ui_internal.h"

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
    if (reg().failRunTime) {
        reg().failRunTime = false;
        return 0;
    }
    if (!QApplication::instance()) {
        if (!displayUsable()) {
            std::fprintf(stderr,
                         "merrivan: no display to show the window on (DISPLAY and "
                         "WAYLAND_DISPLAY are unset)\n");
            return 0;
        }
        static int argc = 1;
        static char name[] = "merrivan";
        static char* args[] = {argv && argv[0] ? argv[0] : name, nullptr};
        new QApplication(argc, args);
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
