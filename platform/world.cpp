// What reaches the world: pop-ups, file dialogs, printing, launching, waiting,
// the PC clock and the beep, through the world in use.
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/callback_hold.h"
#include "platform/callbacks.h"
#include "platform/plot_export.h"
#include "platform/ui_internal.h"
#include "platform/world.h"

using namespace platform;

namespace {

// Pop-ups belong to the panel in front (at start-up nothing is active yet,
// and a pop-up without a parent lands wherever the window manager puts it);
// they are centred over the main window all the same.
QWidget* activeParent()
{
    return platform::popupParent();
}

// A message box centred over the main window and fully on its screen; its
// size is known only once it is being shown.
class PlacedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        platform::centreOverAnchor(this);
    }
};

// The help viewer for platforms without the system's one: a plain window
// showing the HTML help that lies beside the program.
void showHelp(const QString& chmName)
{
    QString html = chmName;
    if (html.endsWith(".chm", Qt::CaseInsensitive))
        html.chop(4);
    html += ".html";
    const QString path = dataFilePath(html.toLocal8Bit().constData());
    if (!QFileInfo::exists(path))
        return;
    static QPointer<QDialog> viewer;
    if (!viewer) {
        viewer = new QDialog(nullptr, Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle("Merrivan Help");
        auto* lay = new QVBoxLayout(viewer);
        auto* browser = new QTextBrowser(viewer);
        browser->setObjectName("helpBrowser");
        browser->setOpenExternalLinks(true);
        lay->addWidget(browser);
        viewer->resize(760, 640);
        platform::placeWindow(viewer, "Help", platform::Placement::Secondary);
    }
    auto* browser = viewer->findChild<QTextBrowser*>("helpBrowser");
    browser->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    viewer->show();
    viewer->raise();
}

// The panel, scaled to fit the page and centred, under a line with the
// program's name, the panel's title, the date and the time.
void renderPanel(QWidget* window, QPrinter& printer)
{
    QPainter painter(&printer);
    const QRectF page(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    QFont font = painter.font();
    font.setPointSizeF(9.0);
    painter.setFont(font);
    const QString header = QString("Merrivan  \u2014  %1  \u2014  %2")
                               .arg(window->windowTitle(),
                                    world().now().toString("yyyy-MM-dd HH:mm:ss"));
    const double line = painter.fontMetrics().height();
    painter.drawText(QRectF(page.left(), page.top(), page.width(), line),
                     Qt::AlignLeft | Qt::AlignVCenter, header);
    const QRectF below(page.left(), page.top() + 2.0 * line, page.width(),
                       page.height() - 2.0 * line);
    platform::paintWindowAsVectors(window, painter, below);
}

// The print dialog starts where the user last printed to a file.
const char* const kPrintGroup = "Print";

void recallPrintFile(QPrinter& printer)
{
    char ini[4096];
    if (settingsFilePath(kSettingsFile, ini, sizeof ini) < 0)
        return;
    QSettings settings(QString::fromLocal8Bit(ini), QSettings::IniFormat);
    const QString file = settings.value(QString(kPrintGroup) + "/LastFile").toString();
    if (!file.isEmpty() && settings.value(QString(kPrintGroup) + "/ToFile").toString() == "1")
        printer.setOutputFileName(file);
}

void rememberPrintFile(const QPrinter& printer)
{
    char ini[4096];
    if (settingsFilePath(kSettingsFile, ini, sizeof ini) < 0)
        return;
    const QString file = printer.outputFileName();
    std::vector<std::pair<QString, QVariant>> values = {{"ToFile", file.isEmpty() ? "0" : "1"}};
    if (!file.isEmpty()) {
        values.emplace_back("LastFile", QFileInfo(file).absoluteFilePath());
        values.emplace_back("LastFolder", QFileInfo(file).absolutePath());
    }
    platform::writeIniKeys(QString::fromLocal8Bit(ini), kPrintGroup, values);
}


// On the screen, on paper and on this PC.
class RealWorld final : public World {
public:
    int confirm(const char* title, const char* message) override
    {
        PlacedMessageBox box(QMessageBox::Question, QString::fromLocal8Bit(title),
                             QString::fromLocal8Bit(message), QMessageBox::Yes | QMessageBox::No,
                             activeParent());
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? 1 : 0;
    }

    void message(const char* title, const char* message) override
    {
        PlacedMessageBox box(QMessageBox::Information, QString::fromLocal8Bit(title),
                             QString::fromLocal8Bit(message), QMessageBox::Ok, activeParent());
        box.exec();
    }

    int choose(const char* title, const char* message, const char* const buttons[3]) override
    {
        PlacedMessageBox box(QMessageBox::Question, QString::fromLocal8Bit(title),
                             QString::fromLocal8Bit(message), QMessageBox::NoButton,
                             activeParent());
        static const QMessageBox::ButtonRole roles[3] = {
            QMessageBox::AcceptRole, QMessageBox::DestructiveRole, QMessageBox::RejectRole};
        QAbstractButton* added[3] = {};
        for (int i = 0; i < 3; ++i)
            if (buttons[i] && *buttons[i])
                added[i] = box.addButton(QString::fromLocal8Bit(buttons[i]), roles[i]);
        if (auto* first = qobject_cast<QPushButton*>(added[0]))
            box.setDefaultButton(first);
        if (added[2])
            box.setEscapeButton(added[2]);
        box.exec();
        for (int i = 0; i < 3; ++i)
            if (added[i] && box.clickedButton() == added[i])
                return i + 1;
        return 0;
    }

    QString selectFile(const char* defaultDirectory, const char*, const char* fileTypeList,
                       const char* title, int buttonLabel, QString* selectedFilter) override
    {
        const QString dir = QString::fromLocal8Bit(defaultDirectory && *defaultDirectory
                                                       ? defaultDirectory
                                                       : ".");
        QString filter = QString::fromLocal8Bit(fileTypeList ? fileTypeList : "");
        if (!filter.isEmpty())
            filter += ";;";
        filter += "All files (*)";
        if (buttonLabel == VAL_SAVE_BUTTON)
            return QFileDialog::getSaveFileName(activeParent(), QString::fromLocal8Bit(title), dir,
                                                filter, selectedFilter);
        return QFileDialog::getOpenFileName(activeParent(), QString::fromLocal8Bit(title), dir,
                                            filter, selectedFilter);
    }

    int printPanel(int, QWidget* window, const std::string& fileName, int, int,
                   int interactive) override
    {
        if (window->size().isEmpty())
            window->adjustSize();
        if (!fileName.empty()) {
            QPrinter printer(QPrinter::ScreenResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromLocal8Bit(fileName.c_str()));
            printer.setPageOrientation(QPageLayout::Landscape);
            const BusyCursor busy;
            renderPanel(window, printer);
            return 0;
        }
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setPageOrientation(QPageLayout::Landscape);
        if (interactive) {
            recallPrintFile(printer);
            QPrintDialog dialog(&printer, window);
            if (dialog.exec() != QDialog::Accepted)
                return -2;
            rememberPrintFile(printer);
        }
        // After the dialog: the busy pointer is for the drawing alone.
        const BusyCursor busy;
        renderPanel(window, printer);
        return 0;
    }

    int launch(const char* commandLine) override
    {
        const QString command = QString::fromLocal8Bit(commandLine ? commandLine : "");
        // The program name is the first word; the rest is one argument (file
        // names here may hold blanks, as the help file's does).
        const QString program = command.section(' ', 0, 0);
        const QString argument = command.section(' ', 1).trimmed();
#ifndef Q_OS_WIN
        // The help viewer exists on Windows only; whatever else is called "hh"
        // on this PC's PATH is not it.
        if (program == "hh") {
            showHelp(argument);
            return 0;
        }
#endif
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty()) {
            const QStringList args = argument.isEmpty() ? QStringList() : QStringList{argument};
            return QProcess::startDetached(found, args) ? 0 : -1;
        }
        if (program == "hh") {
            showHelp(argument);
            return 0;
        }
        return -1;
    }

    void delay(double seconds) override
    {
        // The window system may still paint (what was written before, the area a
        // closed message box uncovers), but no user input, serial event or
        // callback is handled until the wait is over.
        platform::holdCallbacks(true);
        QElapsedTimer waited;
        waited.start();
        const qint64 total = static_cast<qint64>(std::max(0.0, seconds) * 1000.0);
        do {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::ExcludeSocketNotifiers);
            const qint64 left = total - waited.elapsed();
            if (left > 0)
                QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 15)));
        } while (waited.elapsed() < total);
        platform::holdCallbacks(false);
    }

    QDateTime now() override { return QDateTime::currentDateTime(); }
    long long monotonicMs() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    long long wallClockUtcMs() override { return QDateTime::currentMSecsSinceEpoch(); }
    QString userDataFolder() override
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               "/Merrivan";
    }
    void beep() override { QApplication::beep(); }
    bool comPathOverride(int, QString*) override { return false; }
    bool builtInComMap() override { return true; }
    bool panelLoadFails(int) override { return false; }
    bool runTimeFails() override { return false; }
};

RealWorld& theRealWorld()
{
    static RealWorld w;
    return w;
}

// Nobody to ask: each pop-up takes the answer its default button gives,
// which never loses data, and is told in the log.
class HeadlessWorld final : public World {
public:
    int confirm(const char* title, const char* message) override
    {
        LogEvent("pop-up \"%s\": %s -> No", title, message);
        return 0;
    }
    void message(const char* title, const char* message) override
    {
        LogEvent("pop-up \"%s\": %s", title, message);
    }
    int choose(const char* title, const char* message, const char* const buttons[3]) override
    {
        LogEvent("pop-up \"%s\": %s -> %s", title, message, buttons[0] ? buttons[0] : "");
        return 1;
    }
    QString selectFile(const char*, const char*, const char*, const char* title, int,
                       QString*) override
    {
        LogEvent("file dialog \"%s\": cancelled, no screen", title);
        return QString();
    }
    int printPanel(int, QWidget*, const std::string&, int, int, int) override
    {
        LogEvent("printing skipped: no screen");
        return -2;
    }
    int launch(const char* commandLine) override
    {
        LogEvent("not started without a screen: %s", commandLine ? commandLine : "");
        return -1;
    }
    void delay(double seconds) override { realWorld().delay(seconds); }
    QDateTime now() override { return realWorld().now(); }
    long long monotonicMs() override { return realWorld().monotonicMs(); }
    long long wallClockUtcMs() override { return realWorld().wallClockUtcMs(); }
    QString userDataFolder() override { return realWorld().userDataFolder(); }
    void beep() override {}
    bool comPathOverride(int port, QString* path) override
    {
        return realWorld().comPathOverride(port, path);
    }
    bool builtInComMap() override { return realWorld().builtInComMap(); }
    bool panelLoadFails(int resource) override { return realWorld().panelLoadFails(resource); }
    bool runTimeFails() override { return realWorld().runTimeFails(); }
};

World* worldInUse = nullptr;

}  // namespace

namespace platform {

World& world()
{
    return worldInUse ? *worldInUse : theRealWorld();
}

World& realWorld()
{
    return theRealWorld();
}

void setWorld(World* w)
{
    worldInUse = w;
}

void answerPopupsHeadless()
{
    static HeadlessWorld w;
    if (!worldInUse)
        worldInUse = &w;
}

}  // namespace platform

// ---------------------------------------------------------------- pop-ups

int ConfirmPopup(const char* title, const char* message)
{
    return world().confirm(title, message);
}

int MessagePopup(const char* title, const char* message)
{
    world().message(title, message);
    return 0;
}

int ChoicePopup(const char* title, const char* message, const char* button1,
                const char* button2, const char* button3)
{
    const char* const buttons[3] = {button1, button2, button3};
    return world().choose(title, message, buttons);
}

int FileSelectPopup(const char* defaultDirectory, const char* defaultFileSpec,
                    const char* fileTypeList, const char* title, int buttonLabel, int,
                    int, int, int, char* path, std::size_t size, int* selectedType)
{
    if (selectedType)
        *selectedType = -1;
    if (!path || size == 0)
        return VAL_NO_FILE_SELECTED;
    path[0] = '\0';
    QString filter;
    const QString chosen = world().selectFile(defaultDirectory, defaultFileSpec, fileTypeList,
                                              title, buttonLabel, &filter);
    if (chosen.isEmpty())
        return VAL_NO_FILE_SELECTED;
    if (selectedType) {
        const QStringList types =
            QString::fromLocal8Bit(fileTypeList ? fileTypeList : "").split(";;");
        for (qsizetype i = 0; i < types.size(); ++i)
            if (!types[i].trimmed().isEmpty() && types[i].trimmed() == filter.trimmed())
                *selectedType = static_cast<int>(i);
    }
    const QByteArray bytes = QDir::toNativeSeparators(chosen).toLocal8Bit();
    if (static_cast<std::size_t>(bytes.size()) >= size)
        return VAL_NO_FILE_SELECTED;  // a path that does not fit is never cut short
    std::memcpy(path, bytes.constData(), static_cast<std::size_t>(bytes.size()) + 1);
    return QFileInfo::exists(chosen) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

// ---------------------------------------------------------------- printing

int PrintPanel(int panel, const char* fileName, int scope, int area, int interactive)
{
    Panel* p = findPanel(panel);
    if (!p)
        return -1;
    return world().printPanel(panel, p->window, fileName ? fileName : "", scope, area,
                              interactive);
}

// ---------------------------------------------------------------- launching

int LaunchExecutable(const char* commandLine)
{
    return world().launch(commandLine);
}

// ---------------------------------------------------------------- time

void Delay(double seconds)
{
    world().delay(seconds);
}

const char* DateStr()
{
    static char text[16];
    const QDate d = world().now().date();
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", d.month(), d.day(), d.year());
    return text;
}

void PcClockStr(char* dateText, std::size_t dateSize, char* timeText, std::size_t timeSize)
{
    const QDateTime t = world().now();
    std::snprintf(dateText, dateSize, "%02d-%02d-%04d", t.date().month(), t.date().day(),
                  t.date().year());
    std::snprintf(timeText, timeSize, "%02d:%02d:%02d", t.time().hour(), t.time().minute(),
                  t.time().second());
}

const char* TimeStr()
{
    static char text[16];
    const QTime t = world().now().time();
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    return text;
}

void CVI_Beep()
{
    world().beep();
}

long long MonotonicMs()
{
    return world().monotonicMs();
}

long long WallClockUtcMs()
{
    return world().wallClockUtcMs();
}

int UserDataFolder(char* path, std::size_t size)
{
    const QByteArray folder = QDir::toNativeSeparators(world().userDataFolder()).toLocal8Bit();
    if (!path || folder.isEmpty() || static_cast<std::size_t>(folder.size()) >= size)
        return -1;
    std::memcpy(path, folder.constData(), static_cast<std::size_t>(folder.size()) + 1);
    return 0;
}
