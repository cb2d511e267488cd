// metersim: a simulated measuring meter on a pseudo-terminal (or standard output), sending the
// legacy or the 9600 frames with optional deliberate faults. Stand-alone: it shares no code with
// the program it feeds, so a check sum or format slip on either side shows up.
#include "frames.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <getopt.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

using metersim::FrameConfig;
using metersim::FrameMaker;

// No setlocale() call anywhere: the program stays in the "C" locale, so strtod reads "2.5".

constexpr long long nanosPerSecond = 1000000000LL;
constexpr long long lineBaud = 9600;       // "--rate max": 10 bits per byte at 9600 baud
constexpr int backlogLimit = 2048;         // bytes nobody reads are lost, as on a real line

volatile sig_atomic_t stopRequested = 0;

void onStopSignal(int) { stopRequested = 1; }

volatile sig_atomic_t goGiven = 0;
void onGoSignal(int) { goGiven = 1; }

long long framesSent = 0;  // every line written, for --summary

const char* const usageText = R"(Usage: metersim [OPTION]...
Simulated hand-held meter. Opens a pseudo-terminal, prints its slave path on the first line of
standard output and writes meter frames (each ended by CR) to it until killed (SIGINT, SIGTERM,
SIGHUP: exit 0), or until --count / --duration is reached.

Output
  --stdout               write the frames to standard output instead of a pseudo-terminal
                         (unpaced unless --rate is given)
  --link PATH            create or replace the symbolic link PATH to the slave; removed at exit
  --lf                   end every frame with CR LF instead of CR
Protocol
  --9600                 new meter: up to 10 channels, LRC, description frames (default)
  --legacy               legacy meter: 1 or 2 channels, no check sum
  --channels N           channel count: 1..10 (9600, default 4), 1..2 (legacy, default 2)
  --types LIST           sensor code letters per channel, repeated when shorter
                         (default THdVPNwivp; legacy TH). Known letters:
                         T t Temperature, H Humidity, d Dew point, V Air velocity,
                         v Air flow, P Pressure, N Sound level, w Wet bulb, i Heat index,
                         s DP-Surface, p pH, C DO, S Salinity, U BTU, m mV
  --names A,B,...        channel descriptions (1..15 characters, none of : ; , @),
                         default from the sensor type and channel number
  --describe N           description frame after every N data frames as well (9600)
  --no-describe          no description frames at all (default: one at start and one
                         after each change of the channel count)
Pace
  --rate HZ|max          frames per second (default 2); "max" paces by the line:
                         10 bits per byte at 9600 baud (about 45 two-channel frames/s)
  --count N              stop after N frames (every line counts, descriptions too)
  --duration S           stop after S seconds
  --wait-go              send nothing until SIGUSR1 (so that several meters start at once,
                         after their readers are up)
  --summary              at the end, print "metersim: N frames sent" on standard error
  --seed N               seed of the readings and fault choices (default 1)
  --steady               every reading stays at its type's typical value (T 23.5 C,
                         H 45.2 %RH, ...): frames that tests can spell out
Faults (N counts data frames; the fault hits data frames N, 2N, 3N, ...)
  --underscore-every N   one channel sends "_" instead of its number (T____ or legacy T_)
  --error-every N        one channel sends an error code E02..E05, bare or behind its
                         code letter (E03, TE03) (9600)
  --bad-lrc-every N      check characters one too high (9600)
  --trailer-every N      append the trailer "@TEXT", covered by the check sum (9600)
  --trailer TEXT         trailer text (default X; printable, up to 40 characters)
  --long-every N         pad the frame to a line of 300 characters: a long "@" trailer
                         on the 9600 line, where neither 256-character piece then passes
                         the check sum; a blank and "#" filler on the legacy line
  --burst-every N        every N-th write carries several frames at once
  --burst-size K         frames per burst (default 3)
  --change-channels-every N
                         toggle the channel count after every N data frames
  --alt-channels M       the other channel count (default: one more, or one less at the top)
  --silence-after N      after every N frames sent, fall silent ...
  --silence-for S        ... for S seconds, then resume (default 12)
  --help                 show this text

On the pseudo-terminal, bytes that nobody reads are discarded once more than 2 KB wait, as on
a real line; after --count or --duration the simulator waits up to 2 s for a reader to take
the last frames before it closes the terminal.

Example: metersim --link /tmp/meter --channels 2 --trailer-every 5 --bad-lrc-every 7
)";

[[noreturn]] void usageError(const std::string& message)
{
    std::fprintf(stderr, "metersim: %s\nTry 'metersim --help'.\n", message.c_str());
    std::exit(2);
}

long long parseInteger(const char* option, const char* text, long long low, long long high)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high)
        usageError(std::string("--") + option + " needs a whole number from " + std::to_string(low) + " to "
                   + std::to_string(high) + ", not '" + text + "'");
    return value;
}

double parseSeconds(const char* option, const char* text, double high)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0.0) || value > high)
        usageError(std::string("--") + option + " needs a number above 0 up to " + std::to_string(std::llround(high))
                   + ", not '" + text + "'");
    return value;
}

bool validText(const std::string& text, std::size_t maxLength, const char* forbidden)
{
    if (text.empty() || text.size() > maxLength)
        return false;
    for (char c : text)
        if (c < 0x20 || c > 0x7E || std::strchr(forbidden, c) != nullptr)
            return false;
    return true;
}

long long monotonicNanos()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * nanosPerSecond + now.tv_nsec;
}

// False when a stop signal arrived while waiting.
bool sleepUntil(long long deadline)
{
    const timespec until{static_cast<time_t>(deadline / nanosPerSecond), static_cast<long>(deadline % nanosPerSecond)};
    while (!stopRequested) {
        if (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == 0)
            return true;
    }
    return false;
}

// 0 on success, else errno (EINTR when a stop signal interrupted a blocked write).
int writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR && !stopRequested)
                continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

struct Options {
    FrameConfig frames;
    bool toStdout = false;
    bool lineFeed = false;
    bool summary = false;
    bool waitGo = false;
    std::string link;
    double rate = 2.0;
    bool rateGiven = false;
    bool lineRate = false;
    long long count = 0;
    double duration = 0.0;
    int burstEvery = 0;
    int burstSize = 3;
    long long silenceAfter = 0;
    double silenceFor = 12.0;
};

Options parseOptions(int argc, char** argv)
{
    enum Key {
        kStdout = 256, kLink, kLf, k9600, kLegacy, kChannels, kTypes, kNames, kDescribe, kNoDescribe, kRate,
        kCount, kDuration, kSeed, kSteady, kUnderscore, kError, kBadLrc, kTrailerEvery, kTrailer, kLong, kBurstEvery,
        kBurstSize, kChange, kAltChannels, kSilenceAfter, kSilenceFor, kSummary, kWaitGo, kHelp
    };
    static const option longOptions[] = {
        {"stdout", no_argument, nullptr, kStdout}, {"link", required_argument, nullptr, kLink},
        {"lf", no_argument, nullptr, kLf}, {"9600", no_argument, nullptr, k9600},
        {"legacy", no_argument, nullptr, kLegacy}, {"channels", required_argument, nullptr, kChannels},
        {"types", required_argument, nullptr, kTypes}, {"names", required_argument, nullptr, kNames},
        {"describe", required_argument, nullptr, kDescribe}, {"no-describe", no_argument, nullptr, kNoDescribe},
        {"rate", required_argument, nullptr, kRate}, {"count", required_argument, nullptr, kCount},
        {"duration", required_argument, nullptr, kDuration}, {"seed", required_argument, nullptr, kSeed},
        {"steady", no_argument, nullptr, kSteady}, {"summary", no_argument, nullptr, kSummary},
        {"wait-go", no_argument, nullptr, kWaitGo},
        {"underscore-every", required_argument, nullptr, kUnderscore},
        {"error-every", required_argument, nullptr, kError}, {"bad-lrc-every", required_argument, nullptr, kBadLrc},
        {"trailer-every", required_argument, nullptr, kTrailerEvery},
        {"trailer", required_argument, nullptr, kTrailer}, {"long-every", required_argument, nullptr, kLong},
        {"burst-every", required_argument, nullptr, kBurstEvery},
        {"burst-size", required_argument, nullptr, kBurstSize},
        {"change-channels-every", required_argument, nullptr, kChange},
        {"alt-channels", required_argument, nullptr, kAltChannels},
        {"silence-after", required_argument, nullptr, kSilenceAfter},
        {"silence-for", required_argument, nullptr, kSilenceFor}, {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0}};

    Options o;
    FrameConfig& f = o.frames;
    long long channels = 0, altChannels = 0;
    bool namesGiven = false;
    std::string namesText;
    const auto period = [](const char* option) { return static_cast<int>(parseInteger(option, optarg, 1, INT_MAX)); };
    int key = 0;
    opterr = 0;  // one message of our own
    while ((key = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        switch (key) {
        case kStdout: o.toStdout = true; break;
        case kLink: o.link = optarg; break;
        case kLf: o.lineFeed = true; break;
        case k9600: f.legacy = false; break;
        case kLegacy: f.legacy = true; break;
        case kChannels: channels = parseInteger("channels", optarg, 1, 10); break;
        case kTypes: f.types = optarg; break;
        case kNames: namesText = optarg; namesGiven = true; break;
        case kDescribe: f.describeEvery = period("describe"); break;
        case kNoDescribe: f.describe = false; break;
        case kRate:
            o.rateGiven = true;
            o.lineRate = std::strcmp(optarg, "max") == 0;
            if (!o.lineRate)
                o.rate = parseSeconds("rate", optarg, 10000.0);
            break;
        case kCount: o.count = parseInteger("count", optarg, 1, LLONG_MAX); break;
        case kDuration: o.duration = parseSeconds("duration", optarg, 1e7); break;
        case kSeed: f.seed = static_cast<std::uint64_t>(parseInteger("seed", optarg, 0, LLONG_MAX)); break;
        case kSteady: f.steady = true; break;
        case kSummary: o.summary = true; break;
        case kWaitGo: o.waitGo = true; break;
        case kUnderscore: f.underscoreEvery = period("underscore-every"); break;
        case kError: f.errorEvery = period("error-every"); break;
        case kBadLrc: f.badLrcEvery = period("bad-lrc-every"); break;
        case kTrailerEvery: f.trailerEvery = period("trailer-every"); break;
        case kTrailer:
            f.trailer = optarg;
            if (!validText(f.trailer, 40, ""))
                usageError("--trailer needs 1..40 printable characters");
            break;
        case kLong: f.longEvery = period("long-every"); break;
        case kBurstEvery: o.burstEvery = period("burst-every"); break;
        case kBurstSize: o.burstSize = static_cast<int>(parseInteger("burst-size", optarg, 2, 100)); break;
        case kChange: f.changeEvery = period("change-channels-every"); break;
        case kAltChannels: altChannels = parseInteger("alt-channels", optarg, 1, 10); break;
        case kSilenceAfter: o.silenceAfter = parseInteger("silence-after", optarg, 1, LLONG_MAX); break;
        case kSilenceFor: o.silenceFor = parseSeconds("silence-for", optarg, 1e6); break;
        case kHelp: std::fputs(usageText, stdout); std::exit(0);
        default: usageError(std::string("unknown option or missing value in '") + argv[optind - 1] + "'");
        }
    }
    if (optind < argc)
        usageError(std::string("unexpected argument '") + argv[optind] + "'");

    const int maxChannels = f.legacy ? 2 : 10;
    f.channels = static_cast<int>(channels != 0 ? channels : f.legacy ? 2 : 4);
    f.altChannels = static_cast<int>(altChannels != 0 ? altChannels
                                                      : f.channels < maxChannels ? f.channels + 1 : f.channels - 1);
    if (f.channels > maxChannels || f.altChannels > maxChannels)
        usageError("channel counts are 1.." + std::to_string(maxChannels) + " for this meter");
    if (f.changeEvery > 0 && f.altChannels == f.channels)
        usageError("--alt-channels must differ from --channels");
    if (f.types.empty())
        f.types = f.legacy ? "TH" : "THdVPNwivp";
    for (char c : f.types)
        if (metersim::findSensor(c) == nullptr)
            usageError(std::string("unknown sensor code letter '") + c + "' in --types");
    if (f.types.size() > 10)
        usageError("--types names at most 10 channels");
    for (std::size_t start = 0; namesGiven && start <= namesText.size();) {
        const std::size_t comma = std::min(namesText.find(',', start), namesText.size());
        f.names.push_back(namesText.substr(start, comma - start));
        if (!validText(f.names.back(), 15, ":;,@"))
            usageError("each of --names needs 1..15 printable characters, none of : ; , @");
        start = comma + 1;
    }
    if (f.legacy && (f.errorEvery || f.badLrcEvery || f.trailerEvery || f.describeEvery || namesGiven))
        usageError("error codes, check sums, trailers and descriptions exist on the 9600 meter only");
    if (f.legacy)
        f.describe = false;
    if (o.toStdout && !o.link.empty())
        usageError("--link needs the pseudo-terminal; leave out --stdout");
    return o;
}

// Slave path of a new raw pseudo-terminal; the slave stays open here as well, so the device
// outlives a reader that closes and reopens it.
bool openTerminal(int& master, int& slave, std::string& path)
{
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("metersim: openpty");
        return false;
    }
    termios settings{};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(slave, TCSANOW, &settings);
    char name[256];
    if (ttyname_r(slave, name, sizeof name) != 0) {
        std::perror("metersim: ttyname");
        return false;
    }
    path = name;
    return true;
}

bool makeLink(const std::string& link, const std::string& target)
{
    struct stat info{};
    if (lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        std::fprintf(stderr, "metersim: %s exists and is not a symbolic link; not replaced\n", link.c_str());
        return false;
    }
    const std::string temporary = link + ".metersim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "metersim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Only a link that still names this simulator is removed; another one may have taken it over.
void removeLink(const std::string& link, const std::string& target)
{
    char named[4096];
    const ssize_t n = readlink(link.c_str(), named, sizeof named - 1);
    if (n >= 0 && std::string(named, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

// Closing the master hangs the slave up and discards what it has not read yet, so give a
// reader a moment to take the last frames after --count or --duration.
void letReaderDrain(int slave)
{
    const long long until = monotonicNanos() + 2 * nanosPerSecond;
    int pending = 0;
    do {
        if (!sleepUntil(monotonicNanos() + nanosPerSecond / 100))
            return;
    } while (ioctl(slave, FIONREAD, &pending) == 0 && pending > 0 && monotonicNanos() < until);
}

int run(const Options& o, int fd, int slave)
{
    FrameMaker maker(o.frames);
    const bool paced = !o.toStdout || o.rateGiven;
    const long long start = monotonicNanos();
    const long long endAt = o.duration > 0.0 ? start + static_cast<long long>(o.duration * 1e9) : LLONG_MAX;
    long long deadline = start;
    long long sent = 0, writes = 0, sinceSilence = 0;
    while (!stopRequested && (o.count == 0 || sent < o.count)) {
        int frames = o.burstEvery > 0 && ++writes % o.burstEvery == 0 ? o.burstSize : 1;
        if (o.count > 0 && frames > o.count - sent)
            frames = static_cast<int>(o.count - sent);
        std::string data;
        long long slot = 0;
        for (int i = 0; i < frames; ++i) {
            std::string line = maker.nextLine() + (o.lineFeed ? "\r\n" : "\r");
            slot += o.lineRate ? static_cast<long long>(line.size()) * 10 * nanosPerSecond / lineBaud
                               : static_cast<long long>(1e9 / o.rate);
            data += line;
        }
        if (paced && !sleepUntil(std::min(deadline, endAt)))
            break;
        if (monotonicNanos() >= endAt)
            break;
        int backlog = 0;
        if (slave >= 0 && ioctl(slave, FIONREAD, &backlog) == 0 && backlog > backlogLimit)
            tcflush(slave, TCIFLUSH);
        if (const int error = writeAll(fd, data); error != 0) {
            if (error == EINTR || error == EPIPE)
                break;
            std::fprintf(stderr, "metersim: write: %s\n", std::strerror(error));
            return 1;
        }
        sent += frames;
        framesSent = sent;
        deadline += slot;
        const long long now = monotonicNanos();
        if (now - deadline > nanosPerSecond)  // a blocked write: carry on at the rate, no rush to catch up
            deadline = now;
        if (o.silenceAfter > 0 && (sinceSilence += frames) >= o.silenceAfter) {
            sinceSilence = 0;
            if (!sleepUntil(std::min(now + static_cast<long long>(o.silenceFor * 1e9), endAt)))
                break;
            deadline = monotonicNanos();
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);

    struct sigaction action{};
    action.sa_handler = onStopSignal;  // no SA_RESTART: a blocked write or sleep must end
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    struct sigaction go{};
    go.sa_handler = onGoSignal;
    sigemptyset(&go.sa_mask);
    sigaction(SIGUSR1, &go, nullptr);

    if (options.toStdout)
        return run(options, STDOUT_FILENO, -1);

    int master = -1, slave = -1;
    std::string path;
    if (!openTerminal(master, slave, path))
        return 1;
    if (!options.link.empty() && !makeLink(options.link, path))
        return 1;
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    if (options.waitGo) {
        sigset_t blocked, old;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        sigprocmask(SIG_BLOCK, &blocked, &old);
        while (!goGiven && !stopRequested)
            sigsuspend(&old);
        sigprocmask(SIG_SETMASK, &old, nullptr);
    }
    const int status = run(options, master, slave);
    if (status == 0 && !stopRequested)
        letReaderDrain(slave);
    if (!options.link.empty())
        removeLink(options.link, path);
    close(slave);
    close(master);
    if (options.summary)
        std::fprintf(stderr, "metersim: %lld frames sent\n", framesSent);
    return status;
}
