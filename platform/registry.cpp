// The registry of panel files, callbacks and live panels, and the dispatch of
// events to the callbacks.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/callback_hold.h"
#include "platform/callbacks.h"
#include "platform/ui_internal.h"

namespace platform {

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
        // Beside the program in a build; under ../share/merrivan when installed.
        const QDir program(QCoreApplication::applicationDirPath());
        for (const QString& dir : {QString("."), QString("../share/merrivan")}) {
            const QString found = QDir(program.filePath(dir)).filePath(n);
            if (QFileInfo::exists(found))
                return QDir::cleanPath(found);
        }
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

}  // namespace platform
