#include "app/run_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "meter/link_activity.h"
#include "platform/platform.h"

namespace {

void printUsage(std::FILE* to)
{
    std::fprintf(to,
                 "Usage: merrivan [--headless] [--port N] [--settings FILE] [--history FILE]\n"
                 "  --headless       run without a screen: read the meter, log to standard\n"
                 "                   error, stop cleanly on SIGTERM or SIGINT\n"
                 "  --port N         read the meter on COMN (1..16) instead of the remembered\n"
                 "                   port; not stored\n"
                 "  --settings FILE  keep the settings in FILE instead of Merrivan.ini (the\n"
                 "                   journal of a recording goes beside it)\n"
                 "  --history FILE   keep the history of every reading in FILE instead of the\n"
                 "                   user's own (~/.local/share/Merrivan/history.sqlite)\n"
                 "  --help           print this and exit\n");
}

bool readPort(const char* text, int* port)
{
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < 1 || n > 16)
        return false;
    *port = static_cast<int>(n);
    return true;
}

constexpr long long kCountsEveryMs = 60000;
bool countsTold = false;
long long countsToldAtMs = -1;
unsigned long countsToldTaken = 0;
unsigned long countsToldRefused = 0;

}  // namespace

OptionsRead readRunOptions(int argc, char* argv[], RunOptions* options)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool last = i + 1 >= argc;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            printUsage(stdout);
            return OptionsRead::Help;
        }
        if (std::strcmp(arg, "--headless") == 0) {
            options->headless = true;
        } else if (std::strcmp(arg, "--port") == 0 && !last) {
            if (!readPort(argv[++i], &options->port)) {
                std::fprintf(stderr, "merrivan: --port takes a COM number 1..16, not \"%s\"\n",
                             argv[i]);
                printUsage(stderr);
                return OptionsRead::Bad;
            }
        } else if (std::strcmp(arg, "--settings") == 0 && !last && *argv[i + 1]) {
            options->settings = argv[++i];
        } else if (std::strcmp(arg, "--history") == 0 && !last && *argv[i + 1]) {
            options->history = argv[++i];
        } else if (std::strncmp(arg, "--history=", 10) == 0 && arg[10]) {
            options->history = arg + 10;
        } else {
            std::fprintf(stderr, "merrivan: unknown option or missing value: %s\n", arg);
            printUsage(stderr);
            return OptionsRead::Bad;
        }
    }
    return OptionsRead::Run;
}

void logFrameCounts()
{
    if (framesRead == countsToldTaken && framesRefused == countsToldRefused)
        return;
    const long long now = MonotonicMs();
    // The first frames are news; after that a summary a minute is enough.
    if (countsTold && now - countsToldAtMs < kCountsEveryMs)
        return;
    LogEvent("frames: %lu taken, %lu refused (%lu and %lu since the last count)", framesRead,
             framesRefused, framesRead - countsToldTaken, framesRefused - countsToldRefused);
    countsTold = true;
    countsToldAtMs = now;
    countsToldTaken = framesRead;
    countsToldRefused = framesRefused;
}
