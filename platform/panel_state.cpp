// Panel state in an ini file: one group per state index, one key per control.
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cstring>

#include "platform/ui_internal.h"

using namespace platform;

namespace {
QString groupName(int state)
{
    return QString("State%1").arg(state);
}

// Started from the desktop menu the working directory means nothing to the
// user, so the menu entry asks for the configuration folder instead.
QString settingsPath(const QString& name)
{
    if (name.isEmpty() || !QFileInfo(name).isRelative() ||
        qgetenv("MERRIVAN_SETTINGS") != "xdg")
        return name;
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath("merrivan");
    QDir().mkpath(folder);
    return QDir(folder).filePath(name);
}
}  // namespace

int settingsFilePath(const char* name, char* path, std::size_t size)
{
    const QByteArray bytes = settingsPath(QString::fromLocal8Bit(name ? name : "")).toLocal8Bit();
    if (!path || static_cast<std::size_t>(bytes.size()) >= size)
        return -1;
    std::memcpy(path, bytes.constData(), static_cast<std::size_t>(bytes.size()) + 1);
    return 0;
}

int SavePanelState(int panel, const char* fileName, int state)
{
    Panel* p = findPanel(panel);
    if (!p || !fileName || !*fileName)
        return -1;
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    notePanelStateFile(path);
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(groupName(state));
    ini.remove("");  // a state holds exactly the panel's present values
    for (const auto& [id, c] : p->controls) {
        if (!c.inState)
            continue;
        const QVariant v = controlValue(c);
        if (v.isValid())
            ini.setValue(QString::fromStdString(c.name), v.toString());
    }
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError ? 0 : -2;
}

int RecallPanelState(int panel, const char* fileName, int state)
{
    Panel* p = findPanel(panel);
    if (!p || !fileName || !*fileName)
        return -1;
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    notePanelStateFile(path);
    if (!QFileInfo(path).isFile())
        return -2;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return -3;
    if (!ini.childGroups().contains(groupName(state)))
        return -4;
    ini.beginGroup(groupName(state));
    // Everything is checked before anything is applied: a partial or damaged
    // state leaves the panel as it was.
    std::vector<std::pair<Control*, QVariant>> values;
    for (auto& [id, c] : p->controls) {
        if (!c.inState)
            continue;
        const QString key = QString::fromStdString(c.name);
        if (!ini.contains(key))
            return -5;
        QVariant converted;
        if (!acceptsValue(c, ini.value(key), &converted))
            return -6;
        values.emplace_back(&c, converted);
    }
    for (auto& [c, v] : values)
        setControlValue(*c, v);
    return 0;
}
