// The shipped program run without a screen, as a service runs it: its own
// process, no display, a pseudo-terminal for the meter, signals to stop it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "plugged_meter.h"
#include "program_run.h"
#include "test_support.h"

using testsupport::PluggedMeter;
using testsupport::TempDir;

namespace {

class Headless {
public:
    // Starts the program with `args`; its standard error goes to a file.
    Headless(const TempDir& dir, std::vector<std::string> args) : log_(dir.file("stderr.log"))
    {
        args.insert(args.begin(), MERRIVAN_PROGRAM);
        for (std::string& a : args)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        for (char** e = environ; *e; ++e) {
            const std::string var(*e);
            if (var.rfind("DISPLAY=", 0) != 0 && var.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
                var.rfind("QT_QPA_PLATFORM=", 0) != 0)
                env_.push_back(var);
        }
        for (std::string& e : env_)
            envp_.push_back(e.data());
        envp_.push_back(nullptr);
        const int err = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out, 1);
            ::dup2(err, 2);
            // The meter's end of the terminal is the test's alone: held by the
            // program too, a pulled meter would never hang up.
            ::close_range(3, ~0U, 0);
            ::execve(argv_[0], argv_.data(), envp_.data());
            _exit(121);
        }
        ::close(err);
        ::close(out);
    }
    ~Headless()
    {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string log() const { return testsupport::readFile(log_); }
    bool logSays(const std::string& text, int ms = 5000) const
    {
        return until([&] { return log().find(text) != std::string::npos; }, ms);
    }
    // The exit status within `ms`; -1 while it still runs.
    int exitCode(int ms)
    {
        int status = 0;
        until([&] { return ended_ = ::waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
        return ended_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void signal(int number) const { ::kill(pid_, number); }

private:
    template <typename Pred>
    static bool until(Pred done, int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    std::string log_;
    std::vector<char*> argv_;
    std::vector<std::string> env_;
    std::vector<char*> envp_;
    pid_t pid_ = -1;
    bool ended_ = false;
};

// Settings in a folder of their own, as one instance per meter keeps them.
std::string meterSettings(const TempDir& dir)
{
    ::mkdir(dir.file("com5").c_str(), 0700);
    const std::string ini = dir.file("com5/Merrivan.ini");
    testsupport::writeFile(ini, testsupport::stateIni(5, 9600, 0, 8, 1) +
                                    "[ComPorts]\nCOM5=" + dir.file("meter") + "\n");
    return ini;
}

bool sendFrames(PluggedMeter& meter, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!meter.send(testsupport::frame9600("T0023.5C:H045.2%RH")))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST(HeadlessTest, StopSignalEndsCleanlyWithSettingsKept)
{
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        TempDir dir;
        PluggedMeter meter(dir.file("meter"));
        ASSERT_TRUE(meter.plug());
        const std::string ini = meterSettings(dir);
        Headless run(dir, {"--headless", "--settings", ini});
        // Loading the panels lists the serial devices, which takes seconds on a busy PC.
        EXPECT_TRUE(run.logSays("started: COM5, 9600 baud, 8N1", 20000)) << run.log();
        EXPECT_TRUE(run.logSays("link opened: COM5")) << run.log();
        ASSERT_TRUE(sendFrames(meter, 5));
        EXPECT_TRUE(run.logSays(" taken, 0 refused (")) << run.log();

        run.signal(sig);
        EXPECT_EQ(run.exitCode(2000), 0) << run.log();
        EXPECT_NE(run.log().find("stopped: 5 frames taken, 0 refused"), std::string::npos)
            << run.log();
        EXPECT_NE(testsupport::readFile(ini).find("[State0]"), std::string::npos);
    }
}

TEST(HeadlessTest, VanishedDeviceIsToldAndReopenedWhenBack)
{
    TempDir dir;
    PluggedMeter meter(dir.file("meter"));
    ASSERT_TRUE(meter.plug());
    Headless run(dir, {"--headless", "--settings", meterSettings(dir)});
    ASSERT_TRUE(run.logSays("link opened: COM5", 20000)) << run.log();

    meter.pull();
    EXPECT_TRUE(run.logSays("COM5 (" + dir.file("meter") + "): device gone")) << run.log();
    EXPECT_EQ(run.exitCode(300), -1) << "still running";
    ASSERT_TRUE(meter.plug());
    EXPECT_TRUE(run.logSays("COM5: device back, link reopened")) << run.log();
    ASSERT_TRUE(sendFrames(meter, 2));
    EXPECT_TRUE(run.logSays(" taken, 0 refused (")) << run.log();
    run.signal(SIGTERM);
    EXPECT_EQ(run.exitCode(2000), 0) << run.log();
    EXPECT_NE(run.log().find("stopped: 2 frames taken"), std::string::npos) << run.log();
}

TEST(HeadlessTest, CommandLineMistakesEndWithUsage)
{
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    for (const Case& c : {Case{{"--headles"}, 2}, Case{{"--headless", "--port", "COM3"}, 2},
                          Case{{"--headless", "--port"}, 2}, Case{{"--help"}, 0}}) {
        SCOPED_TRACE(c.args.back());
        TempDir dir;
        Headless run(dir, c.args);
        EXPECT_EQ(run.exitCode(3000), c.code);
        EXPECT_EQ(run.log().find("Usage: merrivan") != std::string::npos, c.code == 2)
            << run.log();
    }
}

}  // namespace
