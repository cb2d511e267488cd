// Running without a screen: the mode flag, the event log on standard error
// and the stop signals.
#include <QDateTime>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include "platform/platform.h"

namespace {

bool headless = false;

#ifdef Q_OS_UNIX
// The handler only writes one byte into the pipe; the event loop reads it.
int stopPipe[2] = {-1, -1};
volatile sig_atomic_t stopsSeen = 0;
void (*stopCallback)() = nullptr;

void onStopSignal(int signalNumber)
{
    if (stopsSeen != 0)
        _exit(128 + signalNumber);  // the user insists: no clean stop
    stopsSeen = 1;
    const int saved = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
    errno = saved;
}
#endif

}  // namespace

void SetHeadless(int on)
{
    headless = on != 0;
}

int Headless()
{
    return headless ? 1 : 0;
}

void LogEvent(const char* format, ...)
{
    if (!headless)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // One event, one line: a message's own line breaks become blanks.
    for (char* c = text; *c; ++c)
        if (*c == '\n' || *c == '\r')
            *c = ' ';
    const QByteArray stamp =
        QDateTime::currentDateTimeUtc().toString("yyyy-MM-ddTHH:mm:ssZ").toLatin1();
    std::fprintf(stderr, "%s merrivan: %s\n", stamp.constData(), text);
    std::fflush(stderr);
}

int InstallStopSignals(void (*onStop)())
{
#ifdef Q_OS_UNIX
    stopCallback = onStop;
    if (stopPipe[0] < 0) {
        if (pipe(stopPipe) != 0)
            return -1;
        for (int fd : stopPipe)
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(stopPipe[1], F_SETFL, O_NONBLOCK);
        auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = read(stopPipe[0], &byte, 1);
            LogEvent("signal %d: stopping", static_cast<int>(byte));
            if (stopCallback)
                stopCallback();
        });
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return 0;
#else
    (void)onStop;
    return -1;
#endif
}
