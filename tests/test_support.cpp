#include "test_support.h"

#include "app/merrivan.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "ui/merrivan_uir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir()
{
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
        previous_ = cwd;
    char templ[] = "/tmp/merrivan-test-XXXXXX";
    if (!mkdtemp(templ))
        throw std::runtime_error("mkdtemp failed");
    path_ = templ;
    if (chdir(path_.c_str()) != 0)
        throw std::runtime_error("chdir failed");
}

TempDir::~TempDir()
{
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) {
    }
    const std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string monitorText(int control)
{
    char buf[400] = "";
    GetCtrlVal(monitorPanel, control, buf);
    return buf;
}

bool fileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

PanelsUp::PanelsUp()
{
    uiInstallPanels();
    registerMerrivanCallbacks();
    monitorPanel = LoadPanel(0, "MERRIVAN.UIR", MONITOR);
    statisticPanel = LoadPanel(0, "MERRIVAN.UIR", STATISTIC);
    if (monitorPanel < 0 || statisticPanel < 0)
        throw std::runtime_error("panels did not load");
    defaultSensorType();
    defaultValue();
}

PanelsUp::~PanelsUp()
{
    DiscardPanel(monitorPanel);
    DiscardPanel(statisticPanel);
    monitorPanel = -1;
    statisticPanel = -1;
    QCoreApplication::processEvents();
}

bool processEventsUntil(bool (*done)(void*), void* data, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done(data)) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace testsupport
