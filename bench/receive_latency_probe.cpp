// The receive path end to end through a pseudo-terminal, in a process of its
// own, with the panels shown and the port opened as at run time.
//
//   merrivan_receive_latency_probe [--channels N] [--frames N] [--rate HZ] [--floor 1]
//     A writer thread sends 9600 frames, each with a reading of its own; the
//     time from writing a frame's CR to its text standing in the display-1
//     value box is taken for each, and the median and 99th percentile shown.
//     With --floor 1 a bare poll-and-read loop reads the frames instead.
//   merrivan_receive_latency_probe --cpu SECONDS [--channels N] [--sim-rate HZ|max]
//     The simulated meter (metersim, a process of its own) streams at the full
//     9600-baud line rate (or HZ frames a second); the CPU time of this
//     process over the period is shown as a share of one core, with its
//     resident memory before and after. With --floor 1 a bare poll-and-read
//     loop takes the same stream instead: the share of the figure that waking
//     up for each frame costs on this machine.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "app/merrivan.h"
#include "core/channel.h"
#include "meter/receive.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "ui/merrivan_uir.h"

#include "bench_frames.h"

namespace {

constexpr int kPort = 9;
using Clock = std::chrono::steady_clock;

void panelsUp()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static char name[] = "merrivan_receive_latency_probe";
    static char* argv[] = {name, nullptr};
    if (InitCVIRTE(0, argv, 0) == 0)
        std::exit(1);
    seam::enable();
    uiInstallPanels();
    registerMerrivanCallbacks();
    monitorPanel = LoadPanel(0, "MERRIVAN.UIR", MONITOR);
    statisticPanel = LoadPanel(0, "MERRIVAN.UIR", STATISTIC);
    if (monitorPanel < 0 || statisticPanel < 0)
        std::exit(1);
    defaultSensorType();
    defaultValue();
    DisplayPanel(monitorPanel);
    QCoreApplication::processEvents();
}

// Opens the port as start-up does, with `callback` on CR.
void openPort(const std::string& device, ComCallbackPtr callback)
{
    seam::mapComPort(kPort, device);
    if (OpenComConfig(kPort, "", 9600, 0, 8, 1, 256, 256) < 0) {
        std::fprintf(stderr, "cannot open %s\n", device.c_str());
        std::exit(1);
    }
    SetComTime(kPort, 1.0);
    FlushInQ(kPort);
    InstallComCallback(kPort, LWRS_RXFLAG, 0, 13, callback, nullptr);
}

void runFor(int ms, const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Without a condition the loop only waits: no timer of the probe's own
    // wakes the process while its CPU time is measured.
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done && done())
            loop.quit();
    });
    guard.start(ms);
    if (done)
        check.start(50);
    loop.exec();
}

// Frame `id` shows "<id>.0" on display 1.
std::string frame(int id, int channels)
{
    static const char* const rest[] = {"H045.2%RH", "d0011.8C", "V0002.7m/s", "v0120.0CFM",
                                       "P1013.2hPa", "N0055.0dB", "w0017.1C", "i0024.0C",
                                       "p0007.0pH"};
    char first[32];
    std::snprintf(first, sizeof first, "T%04d.0C", id);
    std::string body = first;
    for (int i = 1; i < channels; ++i)
        body += std::string(":") + rest[i - 1];
    return withLrc(body) + "\r";
}

// ---------------------------------------------------------------- latency

std::vector<std::atomic<long long>> writtenAt;  // ns on the steady clock, per frame id
std::vector<long long> latencies;
std::vector<long long> callTimes;  // how long each call of the callback took
int lastShown = 0;

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The real callback, then a look at what display 1 holds. Frames that came
// in one burst were shown (and overwritten) in the same call: they count
// with the time the call ended.
void timedCallback(int port, int mask, void* data)
{
    const long long start = nowNs();
    comPortCharDetCallBack(port, mask, data);
    const long long at = nowNs();
    callTimes.push_back(at - start);
    char text[32] = "";
    GetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, text);
    const int id = std::atoi(text);
    if (id <= lastShown || id >= static_cast<int>(writtenAt.size()))
        return;
    for (int i = lastShown + 1; i <= id; ++i)
        if (const long long w = writtenAt[static_cast<std::size_t>(i)]; w > 0)
            latencies.push_back(at - w);
    lastShown = id;
}

int latencyProbe(int channels, int frames, double rate, bool floor)
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return 1;
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    if (!floor) {
        panelsUp();
        openPort(::ttyname(slave), timedCallback);
    }

    writtenAt = std::vector<std::atomic<long long>>(static_cast<std::size_t>(frames) + 1);
    latencies.reserve(static_cast<std::size_t>(frames));
    callTimes.reserve(static_cast<std::size_t>(frames) + 16);
    std::atomic<bool> finished{false};
    std::thread writer([&] {
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / rate));
        auto next = Clock::now() + std::chrono::milliseconds(200);
        // Frame 0 sets up the layout and is not counted.
        for (int id = 0; id <= frames; ++id) {
            std::this_thread::sleep_until(next);
            next += period;
            const std::string bytes = frame(id, channels);
            if (id > 0)
                writtenAt[static_cast<std::size_t>(id)] = nowNs();
            if (::write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
                break;
        }
        finished = true;
    });
    if (floor) {
        // A bare poll-and-read loop: the pseudo-terminal's and the machine's
        // own share of the time, with no program behind it.
        int next = 0;
        char buf[4096];
        while (next <= frames) {
            pollfd p{slave, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            const ssize_t got = ::read(slave, buf, sizeof buf);
            const long long at = nowNs();
            for (ssize_t i = 0; i < got; ++i)
                if (buf[i] == '\r' && next++ > 0)
                    latencies.push_back(at - writtenAt[static_cast<std::size_t>(next - 1)]);
        }
    } else {
        runFor(static_cast<int>(frames / rate * 1000) + 5000, [&] {
            return finished && static_cast<int>(latencies.size()) >= frames;
        });
    }
    writer.join();
    if (!floor)
        CloseCom(kPort);
    ::close(master);
    ::close(slave);

    if (latencies.empty()) {
        std::fprintf(stderr, "no frame reached the display\n");
        return 1;
    }
    // In ms, the q-quantile of sorted nanosecond times.
    const auto pick = [](std::vector<long long>& ns, double q) {
        std::sort(ns.begin(), ns.end());
        const std::size_t i = static_cast<std::size_t>(q * static_cast<double>(ns.size() - 1));
        return static_cast<double>(ns[i]) / 1e6;
    };
    if (floor) {
        std::printf("bare reader, %d-channel frames at %.0f/s: %zu of %d read; CR written -> read: "
                    "median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    channels, rate, latencies.size(), frames, pick(latencies, 0.5),
                    pick(latencies, 0.99), pick(latencies, 1.0));
        return static_cast<int>(latencies.size()) == frames ? 0 : 1;
    }
    std::printf("%d-channel frames at %.0f/s: %zu of %d shown; CR written -> value box: "
                "median %.3f ms, p99 %.3f ms, max %.3f ms (the callback itself: median %.3f ms, "
                "p99 %.3f ms)\n",
                channels, rate, latencies.size(), frames, pick(latencies, 0.5),
                pick(latencies, 0.99), pick(latencies, 1.0), pick(callTimes, 0.5),
                pick(callTimes, 0.99));
    return static_cast<int>(latencies.size()) == frames ? 0 : 1;
}

// ---------------------------------------------------------------- CPU

long callbackCalls = 0;

void countingCallback(int port, int mask, void* data)
{
    ++callbackCalls;
    comPortCharDetCallBack(port, mask, data);
}

struct CpuTime {
    double user = 0;
    double system = 0;
};

CpuTime cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return {static_cast<double>(u.ru_utime.tv_sec) + static_cast<double>(u.ru_utime.tv_usec) / 1e6,
            static_cast<double>(u.ru_stime.tv_sec) + static_cast<double>(u.ru_stime.tv_usec) / 1e6};
}

long residentKiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int cpuProbe(int channels, int seconds, const std::string& simRate, bool floor)
{
    int out[2];
    if (::pipe(out) != 0)
        return 1;
    const std::string count = std::to_string(channels);
    const pid_t sim = ::fork();
    if (sim == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(METERSIM_PATH, "metersim", "--9600", "--channels", count.c_str(), "--rate", simRate.c_str(),
                "--describe", "500", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(out[1]);
    std::string device;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        device += c;
    if (device.empty()) {
        std::fprintf(stderr, "metersim did not start (%s)\n", METERSIM_PATH);
        return 1;
    }

    if (floor) {
        // The same stream read by a bare loop: what waking up for each frame
        // costs on this machine, whatever the program does with it.
        const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY);
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
        const auto readFor = [fd](double secs) {
            long frames = 0;
            char buf[512];
            const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(secs));
            while (Clock::now() < end) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 100) > 0 && ::read(fd, buf, sizeof buf) > 0)
                    ++frames;
            }
            return frames;
        };
        readFor(2.0);
        const CpuTime before = cpuSeconds();
        const auto start = Clock::now();
        const long reads = readFor(seconds);
        const CpuTime after = cpuSeconds();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        ::kill(sim, SIGTERM);
        ::waitpid(sim, nullptr, 0);
        ::close(fd);
        std::printf("bare reader, %d-channel frames at rate %s for %.1f s: %.1f reads/s, "
                    "CPU %.2f%% of one core (user %.2f%%, system %.2f%%)\n",
                    channels, simRate.c_str(), elapsed, static_cast<double>(reads) / elapsed,
                    100.0 * (after.user - before.user + after.system - before.system) / elapsed,
                    100.0 * (after.user - before.user) / elapsed,
                    100.0 * (after.system - before.system) / elapsed);
        return 0;
    }

    panelsUp();
    openPort(device, countingCallback);
    runFor(2000, nullptr);  // settle: layout built, caches warm

    const long rssBefore = residentKiB();
    const long callsBefore = callbackCalls;
    const CpuTime cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000, nullptr);
    const CpuTime cpuAfter = cpuSeconds();
    const double user = cpuAfter.user - cpuBefore.user;
    const double system = cpuAfter.system - cpuBefore.system;
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const long rssAfter = residentKiB();

    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    CloseCom(kPort);
    char text[32] = "";
    GetCtrlVal(monitorPanel, MONITOR_CH1_VALUE, text);
    std::printf("%d-channel frames at rate %s for %.1f s: %.1f CR events/s, "
                "CPU %.2f%% of one core (user %.2f%%, system %.2f%%); resident %ld KiB -> %ld KiB; "
                "display 1 shows \"%s\"\n",
                channels, simRate.c_str(), elapsed, static_cast<double>(callbackCalls - callsBefore) / elapsed,
                100.0 * (user + system) / elapsed, 100.0 * user / elapsed, 100.0 * system / elapsed,
                rssBefore, rssAfter, text);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    int channels = 2;
    int frames = 1000;
    double rate = 45.0;
    int cpu = 0;
    std::string simRate = "max";
    bool floor = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--channels")
            channels = std::clamp(std::atoi(argv[i + 1]), 1, 10);
        else if (opt == "--frames")
            frames = std::clamp(std::atoi(argv[i + 1]), 1, 9999);  // ids fit "T%04d"
        else if (opt == "--rate")
            rate = std::max(1.0, std::atof(argv[i + 1]));
        else if (opt == "--cpu")
            cpu = std::max(1, std::atoi(argv[i + 1]));
        else if (opt == "--sim-rate")
            simRate = argv[i + 1];
        else if (opt == "--floor")
            floor = std::atoi(argv[i + 1]) != 0;
    }
    return cpu > 0 ? cpuProbe(channels, cpu, simRate, floor) : latencyProbe(channels, frames, rate, floor);
}
