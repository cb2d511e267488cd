// Panel state in an ini file: one group per state index, one key per control.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstring>
#include <map>
#include <set>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "platform/ui_internal.h"

using namespace platform;

namespace {
QString groupName(int state)
{
    return QString("State%1").arg(state);
}

// Given on the command line (--settings), empty when not.
QString& chosenSettingsFile()
{
    static QString path;
    return path;
}

// Started from the desktop menu the working directory means nothing to the
// user, so the menu entry asks for the configuration folder instead.
QString settingsPath(const QString& name)
{
    const QString& chosen = chosenSettingsFile();
    if (!chosen.isEmpty() && !name.isEmpty() && QFileInfo(name).isRelative()) {
        if (name == QLatin1String(kSettingsFile))
            return chosen;
        return QFileInfo(chosen).dir().filePath(name);
    }
    if (name.isEmpty() || !QFileInfo(name).isRelative() ||
        qgetenv("MERRIVAN_SETTINGS") != "xdg")
        return name;
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath("merrivan");
    QDir().mkpath(folder);
    return QDir(folder).filePath(name);
}

// What a settings path names when it is neither missing nor a regular file.
// Looked at, never opened: the open of a FIFO waits for a writer for good.
QString notAFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return "a symbolic link to nothing";
    if (!info.exists() || info.isFile())
        return QString();
    if (info.isDir())
        return "a directory";
#ifdef Q_OS_UNIX
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) == 0) {
        if (S_ISFIFO(st.st_mode))
            return "a FIFO (named pipe)";
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            return "a device";
        if (S_ISSOCK(st.st_mode))
            return "a socket";
    }
#endif
    return "no regular file";
}
}  // namespace

bool platform::settingsFileUsable(const QString& path)
{
    const QString what = notAFile(path);
    if (what.isEmpty())
        return true;
    // Said once a run; then the defaults serve without a word.
    static std::set<QString> told;
    if (told.insert(QFileInfo(path).absoluteFilePath()).second) {
        const QString text =
            QString("\"%1\" is %2, not a regular file. The settings are not read from it and "
                    "not saved into it: the program starts with its defaults.")
                .arg(QDir::toNativeSeparators(path), what);
        MessagePopup("Settings File", text.toLocal8Bit().constData());
    }
    return false;
}

void SetSettingsFile(const char* path)
{
    QString& chosen = chosenSettingsFile();
    chosen = path && *path ? QFileInfo(QString::fromLocal8Bit(path)).absoluteFilePath() : QString();
    if (!chosen.isEmpty())
        QDir().mkpath(QFileInfo(chosen).absolutePath());
}

int settingsFilePath(const char* name, char* path, std::size_t size)
{
    const QString resolved = settingsPath(QString::fromLocal8Bit(name ? name : ""));
    if (!settingsFileUsable(resolved))
        return -1;
    return settingsFileLocation(name, path, size);
}

int settingsFileLocation(const char* name, char* path, std::size_t size)
{
    const QString resolved = settingsPath(QString::fromLocal8Bit(name ? name : ""));
    const QByteArray bytes = resolved.toLocal8Bit();
    if (!path || static_cast<std::size_t>(bytes.size()) >= size)
        return -1;
    std::memcpy(path, bytes.constData(), static_cast<std::size_t>(bytes.size()) + 1);
    return 0;
}

bool platform::writeIniKeys(const QString& path, const QString& group,
                           const std::vector<std::pair<QString, QVariant>>& values,
                           const std::vector<QString>& removed)
{
    if (!settingsFileUsable(path))
        return false;
    // The lines as QSettings would write them, so values keep its escaping.
    QTemporaryFile scratch(QDir::temp().filePath("merrivan-ini-XXXXXX.ini"));
    if (!scratch.open())
        return false;
    scratch.close();
    std::set<QString> owned(removed.begin(), removed.end());
    {
        QSettings out(scratch.fileName(), QSettings::IniFormat);
        out.beginGroup(group);
        for (const auto& [key, value] : values) {
            owned.insert(key);
            out.setValue(key, value);
        }
        out.endGroup();
        out.sync();
        if (out.status() != QSettings::NoError)
            return false;
    }
    QFile scratchFile(scratch.fileName());
    if (!scratchFile.open(QIODevice::ReadOnly))
        return false;
    std::map<QString, QByteArray> fresh;  // key -> its whole line
    for (const QByteArray& line : scratchFile.readAll().split('\n')) {
        const QByteArray t = line.trimmed();
        const qsizetype eq = t.indexOf('=');
        if (eq > 0 && !t.startsWith('['))
            fresh[QString::fromUtf8(t.left(eq).trimmed())] = t;
    }

    QByteArray text;
    {
        QFile old(path);
        if (old.exists()) {
            if (!old.open(QIODevice::ReadOnly))
                return false;
            text = old.readAll();
        }
    }
    const QByteArray eol = text.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray header = "[" + group.toUtf8() + "]";

    // Only the group's own key lines change.
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();  // the split after a final line break
    QList<QByteArray> result;
    std::set<QString> written;
    bool inSection = false;
    bool found = false;
    qsizetype insertAt = -1;  // after the section's last non-blank line
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray t = line.trimmed();
        if (t.startsWith('[')) {
            inSection = !found && t == header;
            if (inSection) {
                found = true;
                result.push_back(line);
                insertAt = result.size();
                continue;
            }
        }
        if (inSection && !t.isEmpty() && !t.startsWith(';') && !t.startsWith('#')) {
            const qsizetype eq = t.indexOf('=');
            const QString key = QString::fromUtf8(eq < 0 ? t : t.left(eq).trimmed());
            if (owned.count(key)) {
                const auto f = fresh.find(key);
                if (f != fresh.end() && written.insert(key).second)
                    result.push_back(f->second);
                insertAt = result.size();
                continue;  // a removed key, or a repeated one, goes
            }
        }
        result.push_back(line);
        if (inSection && !t.isEmpty())
            insertAt = result.size();
    }
    if (!found) {
        if (!result.isEmpty() && !result.back().trimmed().isEmpty())
            result.push_back(QByteArray());
        result.push_back(header);
        insertAt = result.size();
    }
    for (const auto& [key, line] : fresh)
        if (!written.count(key))
            result.insert(insertAt++, line);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray& line : result) {
        file.write(line);
        file.write(eol);
    }
    return file.commit();
}

int SavePanelState(int panel, const char* fileName, int state)
{
    Panel* p = findPanel(panel);
    if (!p || !fileName || !*fileName)
        return -1;
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    notePanelStateFile(path);
    // A state holds exactly the panel's present values.
    std::vector<std::pair<QString, QVariant>> values;
    std::vector<QString> removed;
    for (const auto& [id, c] : p->controls) {
        if (!c.inState)
            continue;
        const QString key = QString::fromStdString(c.name);
        const QVariant v = controlValue(c);
        if (v.isValid())
            values.emplace_back(key, v.toString());
        else
            removed.push_back(key);
    }
    return writeIniKeys(path, groupName(state), values, removed) ? 0 : -2;
}

namespace {
// Per panel, the controls whose values the last recall took from the file.
std::map<int, std::set<int>>& recalledControls()
{
    static std::map<int, std::set<int>> taken;
    return taken;
}
}  // namespace

int RecallPanelState(int panel, const char* fileName, int state)
{
    Panel* p = findPanel(panel);
    if (!p || !fileName || !*fileName)
        return -1;
    std::set<int>& taken = recalledControls()[panel];
    taken.clear();
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    notePanelStateFile(path);
    if (!settingsFileUsable(path) || !QFileInfo(path).isFile())
        return -2;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return -3;
    if (!ini.childGroups().contains(groupName(state)))
        return -4;
    ini.beginGroup(groupName(state));
    // One bad or missing value costs only its own control, which takes its
    // default: the good ones (the port above all) are the user's.
    int defaults = 0;
    for (auto& [id, c] : p->controls) {
        if (!c.inState)
            continue;
        const QString key = QString::fromStdString(c.name);
        QVariant converted;
        if (ini.contains(key) && acceptsValue(c, ini.value(key), &converted)) {
            setControlValue(c, converted);
            taken.insert(id);
            continue;
        }
        if (c.initial.isValid())
            setControlValue(c, c.initial);
        ++defaults;
    }
    return defaults;
}

int CtrlValRecalled(int panel, int control)
{
    const auto it = recalledControls().find(panel);
    return it != recalledControls().end() && it->second.count(control) ? 1 : 0;
}

int RecallCtrlVal(int panel, int control, const char* fileName, int state)
{
    Control* c = findControl(panel, control);
    if (!c || !fileName || !*fileName)
        return -1;
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    QVariant converted;
    int result = -2;
    if (QFileInfo(path).isFile()) {
        QSettings ini(path, QSettings::IniFormat);
        const QString key = groupName(state) + "/" + QString::fromStdString(c->name);
        if (ini.status() == QSettings::NoError && ini.contains(key) &&
            acceptsValue(*c, ini.value(key), &converted))
            result = 0;
    }
    if (result == 0)
        setControlValue(*c, converted);
    else if (c->initial.isValid())
        setControlValue(*c, c->initial);
    return result;
}

int SaveIniTexts(const char* fileName, const char* section, const char* const keys[],
                 const char* const texts[], int count)
{
    if (!fileName || !*fileName || !section || !*section || count < 0)
        return -1;
    std::vector<std::pair<QString, QVariant>> values;
    for (int i = 0; i < count; ++i)
        values.emplace_back(QString::fromUtf8(keys[i]), QString::fromUtf8(texts[i]));
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    return writeIniKeys(path, QString::fromUtf8(section), values) ? 0 : -2;
}

int RecallIniText(const char* fileName, const char* section, const char* key, char* text,
                  std::size_t size)
{
    if (!fileName || !*fileName || !section || !key || !text || size == 0)
        return -1;
    const QString path = settingsPath(QString::fromLocal8Bit(fileName));
    if (!QFileInfo(path).isFile())
        return -2;
    QSettings ini(path, QSettings::IniFormat);
    const QString name = QString::fromUtf8(section) + "/" + QString::fromUtf8(key);
    if (ini.status() != QSettings::NoError || !ini.contains(name))
        return -3;
    // "1,5" reads as a list of two texts: not a value of ours.
    const QVariant v = ini.value(name);
    if (v.typeId() != QMetaType::QString)
        return -4;
    copyOut(v.toString(), text, size);
    return 0;
}
