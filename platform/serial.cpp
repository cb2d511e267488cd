// Serial-port operations on QSerialPort.
//
// COM numbers 1..255 name the ports. Where a COM number leads:
//   1. a non-empty device name given to OpenComConfig is used as the path itself;
//   2. else the [ComPorts] section of "Merrivan.ini" (in the working directory,
//      or the configuration folder: see settingsFilePath),
//      keys COM1..COM255 (case does not matter), e.g. "COM5=/dev/pts/7"; the file
//      is read at each open, and an entry with an empty value removes the
//      built-in mapping of that number;
//   3. else the built-in map (serial_posix.cpp, serial_win32.cpp).
//      Windows: COMn is "COMn". Linux:
//        COM1          /dev/ttyS0
//        COM2..COM7    /dev/ttyUSB0../dev/ttyUSB5
//        COM8..COM13   /dev/ttyACM0../dev/ttyACM5
//        COM14..COM16  /dev/ttyS1../dev/ttyS3
//        COM17..COM255 no device
//      USB adapters come before the extra legacy ports because the port search
//      selects the lowest of COM2..COM16 that opens, and a USB cable is what it
//      looks for.
//
// Opening a port that is open applies the new settings and keeps its queue,
// time-out and callback; when its device path has changed, the old device is
// closed and the port starts afresh. An open that fails leaves the port closed.
// Ports still open when the application object goes are closed then.
//
// Reads wait at most the port's time-out: 10 s until SetComTime, 0 for no
// wait. A termination byte outside 0..255 means none. The queue sizes given to
// OpenComConfig are accepted and not used: the input queue has its own bound
// (below) and nothing is ever written.
//
// Each open port keeps its own input queue, filled from the device whenever Qt
// reports data and whenever GetInQLen or ComRdTerm look, so both see the same
// bytes. The queue holds at most kQueueLimit (64 KiB) bytes: beyond that the oldest are
// dropped, so a flooding device cannot exhaust memory.
//
// The receive callback never runs inside a QSerialPort signal: arrival of the
// event character only posts a call to the event loop. A running callback is
// not entered again (its ComRdTerm waits make the port report data); an event
// character that arrives meanwhile earns one more call after it returns, if the
// queue still holds one. The callback may close or reopen its own port: the
// port record is shared, and each step afterwards checks that the record is
// still the one in the table.
//
// A device that goes away under an open port (a USB cable pulled, the other
// end of a pseudo-terminal closed) makes its descriptor report an error or a
// hang-up at every look, which would keep the event loop spinning. The port is
// therefore closed as soon as Qt reports a resource error, or a read error or
// data with nothing to read while the device shows a hang-up. From then on it
// reads as not open, no callback runs for it, and ComDeviceLost tells why,
// until the port is opened again or closed. What its queue held is dropped
// with it, even whole frames: the upper layers start afresh after a loss.
//
// Negative results: kBadPort (number outside 1..255), kNotOpen (also after the
// device went away), kNoDevice (no path, or the device would not open),
// kBadSetting (a setting the port refuses), kInUse (the device is open under
// another number, or locked by another program), kNoRunTime (no application
// object).

#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSettings>
#include <QTimer>

#include <map>

#include "platform/callback_hold.h"
#include "platform/serial_system.h"
#include "platform/world.h"
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

using serialsystem::deviceHungUp;

enum {
    kBadPort = -2,
    kNotOpen = -3,
    kNoDevice = -4,
    kBadSetting = -5,
    kInUse = -6,
    kNoRunTime = -7,
};

constexpr int kMaxPort = 255;
constexpr qsizetype kQueueLimit = 64 * 1024;
constexpr double kDefaultTimeout = 10.0;
// Non-blocking reads per look at the device; each takes what the driver has.
constexpr int kPollRounds = 8;

struct ComPort {
    int number = 0;
    QString path;
    std::unique_ptr<QSerialPort> serial;
    double timeout = kDefaultTimeout;
    QByteArray queue;

    ComCallbackPtr callback = nullptr;
    int eventChar = -1;
    void* callbackData = nullptr;

    bool dispatchPending = false;
    bool inCallback = false;
    bool eventDuringCallback = false;

    ComPort() = default;
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;
    ~ComPort()
    {
        // Only a lost device's record still holds its (closed) port here, and
        // it may die inside one of that port's own signals: delete it later.
        if (serial) {
            QSerialPort* s = serial.release();
            if (QCoreApplication* app = QCoreApplication::instance()) {
                s->setParent(app);
                s->deleteLater();
            } else {
                delete s;
            }
        }
    }
};

std::array<std::shared_ptr<ComPort>, kMaxPort + 1> ports;
// Ports closed because their device went away; see ComDeviceLost.
std::array<bool, kMaxPort + 1> lostDevice{};
// The application object for which the close-all routine is registered.
QPointer<QCoreApplication> cleanupFor;

bool validPort(int port)
{
    return port >= 1 && port <= kMaxPort;
}

std::shared_ptr<ComPort> findPort(int port)
{
    return validPort(port) ? ports[static_cast<std::size_t>(port)] : nullptr;
}

bool isCurrent(const std::shared_ptr<ComPort>& rec)
{
    return validPort(rec->number) && ports[static_cast<std::size_t>(rec->number)] == rec;
}

// True when "Merrivan.ini" has an entry for the port; *path gets its value.
bool iniPath(int port, QString* path)
{
    char file[4096];
    if (settingsFilePath(kSettingsFile, file, sizeof file) < 0)
        return false;
    QSettings ini(QString::fromLocal8Bit(file), QSettings::IniFormat);
    const QString key = QStringLiteral("COM%1").arg(port);
    const QStringList groups = ini.childGroups();
    for (const QString& group : groups) {
        if (group.compare(QLatin1String("ComPorts"), Qt::CaseInsensitive) != 0)
            continue;
        ini.beginGroup(group);
        const QStringList keys = ini.childKeys();
        for (const QString& k : keys) {
            if (k.compare(key, Qt::CaseInsensitive) != 0)
                continue;
            const QVariant v = ini.value(k);
            // An unquoted value with commas comes back as a list.
            *path = v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                         : v.toString();
            *path = path->trimmed();
            return true;
        }
        ini.endGroup();
    }
    return false;
}

QString mappedPath(int port)
{
    if (!validPort(port))
        return QString();
    QString path;
    if (platform::world().comPathOverride(port, &path))
        return path;
    if (iniPath(port, &path))
        return path;
    return platform::world().builtInComMap() ? serialsystem::builtInComPath(port) : QString();
}

// Symbolic links such as /dev/serial/by-id/... name the same device.
QString sameDeviceKey(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

bool applySettings(QSerialPort& serial, long baudRate, int parity, int dataBits, int stopBits)
{
    static constexpr QSerialPort::Parity parities[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    if (baudRate <= 0 || baudRate > std::numeric_limits<qint32>::max())
        return false;
    if (parity < 0 || parity > 4 || dataBits < 5 || dataBits > 8 || stopBits < 1 || stopBits > 2)
        return false;
    return serial.setBaudRate(static_cast<qint32>(baudRate)) &&
           serial.setParity(parities[parity]) &&
           serial.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
           serial.setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop) &&
           serial.setFlowControl(QSerialPort::NoFlowControl);
}

void scheduleDispatch(const std::shared_ptr<ComPort>& rec);

// Closes a port whose device went away. Runs inside the port's own signals,
// so the QSerialPort is only closed here; the record deletes it later.
void loseDevice(const std::shared_ptr<ComPort>& rec)
{
    if (!isCurrent(rec))
        return;
    ports[static_cast<std::size_t>(rec->number)].reset();
    lostDevice[static_cast<std::size_t>(rec->number)] = true;
    rec->callback = nullptr;
    rec->callbackData = nullptr;
    rec->queue = QByteArray();
    QObject::disconnect(rec->serial.get(), nullptr, nullptr, nullptr);
    rec->serial->close();
}

// Moves what QSerialPort has buffered into the queue, without allocating a
// temporary; tells whether the new bytes hold the event character.
bool takeBuffered(ComPort& rec)
{
    bool sawEvent = false;
    for (qint64 n = rec.serial->bytesAvailable(); n > 0; n = rec.serial->bytesAvailable()) {
        const qsizetype chunk = static_cast<qsizetype>(std::min<qint64>(n, kQueueLimit));
        const qsizetype old = rec.queue.size();
        rec.queue.resize(old + chunk);
        const qint64 got = rec.serial->read(rec.queue.data() + old, chunk);
        const qsizetype kept = got > 0 ? static_cast<qsizetype>(got) : 0;
        rec.queue.resize(old + kept);
        if (rec.callback && rec.eventChar >= 0 && kept > 0 &&
            std::memchr(rec.queue.constData() + old, rec.eventChar, static_cast<std::size_t>(kept)))
            sawEvent = true;
        if (rec.queue.size() > kQueueLimit)
            rec.queue.remove(0, rec.queue.size() - kQueueLimit);
        if (got <= 0)
            break;
    }
    return sawEvent;
}

void noteArrival(const std::shared_ptr<ComPort>& rec, bool sawEvent)
{
    if (!sawEvent || !rec->callback)
        return;
    if (rec->inCallback)
        rec->eventDuringCallback = true;
    else
        scheduleDispatch(rec);
}

// Takes what the device holds now, without waiting and without running the
// event loop. The port may be lost meanwhile: callers check isCurrent.
void pull(const std::shared_ptr<ComPort>& rec)
{
    if (!isCurrent(rec))
        return;
    noteArrival(rec, takeBuffered(*rec));
    for (int i = 0; i < kPollRounds && rec->serial->waitForReadyRead(0) && isCurrent(rec); ++i)
        noteArrival(rec, takeBuffered(*rec));
}

void dispatch(const std::shared_ptr<ComPort>& rec)
{
    rec->dispatchPending = false;
    if (platform::callbacksHeld()) {
        // A Delay is waiting: the callback runs once it is over.
        std::weak_ptr<ComPort> weak = rec;
        rec->dispatchPending = true;
        QTimer::singleShot(20, QCoreApplication::instance(), [weak] {
            if (auto r = weak.lock())
                dispatch(r);
        });
        return;
    }
    if (!isCurrent(rec) || !rec->callback || rec->inCallback)
        return;
    // The bytes may have gone meanwhile (flushed, or read outside the callback).
    if (!rec->queue.contains(static_cast<char>(rec->eventChar)))
        return;
    rec->inCallback = true;
    rec->eventDuringCallback = false;
    rec->callback(rec->number, LWRS_RXFLAG, rec->callbackData);
    rec->inCallback = false;
    if (!isCurrent(rec))
        return;  // closed or reopened by the callback
    if (rec->eventDuringCallback && rec->callback &&
        rec->queue.contains(static_cast<char>(rec->eventChar)))
        scheduleDispatch(rec);
    rec->eventDuringCallback = false;
}

void scheduleDispatch(const std::shared_ptr<ComPort>& rec)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (rec->dispatchPending || !app)
        return;
    rec->dispatchPending = true;
    std::weak_ptr<ComPort> weak = rec;
    QMetaObject::invokeMethod(
        app,
        [weak] {
            if (auto r = weak.lock())
                dispatch(r);
        },
        Qt::QueuedConnection);
}

void closeRecord(const std::shared_ptr<ComPort>& rec)
{
    ports[static_cast<std::size_t>(rec->number)].reset();
    rec->callback = nullptr;
    rec->callbackData = nullptr;
    rec->queue = QByteArray();
    if (rec->serial) {
        QObject::disconnect(rec->serial.get(), nullptr, nullptr, nullptr);
        rec->serial->close();
        rec->serial.reset();
    }
}

// The ports' notifiers must go before the application object's event
// dispatcher does.
void closeAllPorts()
{
    for (int p = 1; p <= kMaxPort; ++p)
        if (auto rec = findPort(p))
            closeRecord(rec);
}

}  // namespace

int comDevicePath(int port, char* path, std::size_t size)
{
    if (path && size > 0)
        path[0] = '\0';
    const QString mapped = mappedPath(port);
    if (mapped.isEmpty())
        return validPort(port) ? kNoDevice : kBadPort;
    if (path && size > 0) {
        const QByteArray bytes = QFile::encodeName(mapped);
        const std::size_t n = std::min(static_cast<std::size_t>(bytes.size()), size - 1);
        std::memcpy(path, bytes.constData(), n);
        path[n] = '\0';
    }
    return 0;
}

int comDevicePresent(int port)
{
    const QString mapped = mappedPath(port);
    if (mapped.isEmpty())
        return validPort(port) ? 0 : kBadPort;
    if (QFileInfo::exists(mapped))
        return 1;
    // Windows names ports ("COM3") rather than files.
    const QList<QSerialPortInfo> present = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : present)
        if (info.portName() == mapped || info.systemLocation() == mapped)
            return 1;
    return 0;
}

int comStableName(int port, char* name, std::size_t size)
{
    if (!name || size == 0)
        return kBadPort;
    name[0] = '\0';
    const QString mapped = mappedPath(port);
    if (mapped.isEmpty())
        return validPort(port) ? kNoDevice : kBadPort;
    const QString device = sameDeviceKey(mapped);
    const QFileInfoList links =
        QDir(QStringLiteral("/dev/serial/by-id")).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo& link : links) {
        if (link.canonicalFilePath() != device)
            continue;
        const QByteArray bytes = QFile::encodeName(link.filePath());
        const std::size_t n = std::min(static_cast<std::size_t>(bytes.size()), size - 1);
        std::memcpy(name, bytes.constData(), n);
        name[n] = '\0';
        break;
    }
    return 0;
}

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/)
{
    if (!validPort(port))
        return kBadPort;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return kNoRunTime;
    const QString path = deviceName && *deviceName ? QFile::decodeName(deviceName)
                                                   : mappedPath(port);
    std::shared_ptr<ComPort> rec = findPort(port);
    if (path.isEmpty()) {
        if (rec)
            closeRecord(rec);
        return kNoDevice;
    }

    if (rec && rec->path != path) {
        closeRecord(rec);
        rec.reset();
    }
    if (rec) {
        // Same device: new settings on the open port; queue and callback stay.
        if (!applySettings(*rec->serial, baudRate, parity, dataBits, stopBits)) {
            closeRecord(rec);
            return kBadSetting;
        }
        return 0;
    }

    const QString key = sameDeviceKey(path);
    for (int p = 1; p <= kMaxPort; ++p)
        if (auto other = findPort(p); other && sameDeviceKey(other->path) == key)
            return kInUse;

    auto fresh = std::make_shared<ComPort>();
    fresh->number = port;
    fresh->path = path;
    fresh->serial = std::make_unique<QSerialPort>();
    fresh->serial->setPortName(path);
    if (!fresh->serial->open(QIODevice::ReadWrite)) {
        return fresh->serial->error() == QSerialPort::PermissionError ? kInUse : kNoDevice;
    }
    if (!applySettings(*fresh->serial, baudRate, parity, dataBits, stopBits)) {
        fresh->serial->close();
        return kBadSetting;
    }
    fresh->queue.reserve(4096);
    std::weak_ptr<ComPort> weak = fresh;
    QObject::connect(fresh->serial.get(), &QSerialPort::readyRead, fresh->serial.get(), [weak] {
        auto r = weak.lock();
        if (!r || !isCurrent(r))
            return;
        if (r->serial->bytesAvailable() == 0 && deviceHungUp(*r->serial))
            loseDevice(r);
        else
            noteArrival(r, takeBuffered(*r));
    });
    // A pulled USB adapter gives resource errors; a pseudo-terminal whose
    // master has gone gives read errors with a hang-up. Either way the device
    // sends no more. A read error without a hang-up may pass.
    QObject::connect(fresh->serial.get(), &QSerialPort::errorOccurred, fresh->serial.get(),
                     [weak](QSerialPort::SerialPortError error) {
                         auto r = weak.lock();
                         if (!r || !isCurrent(r))
                             return;
                         if (error == QSerialPort::ResourceError ||
                             (error == QSerialPort::ReadError && deviceHungUp(*r->serial)))
                             loseDevice(r);
                     });
    ports[static_cast<std::size_t>(port)] = fresh;
    lostDevice[static_cast<std::size_t>(port)] = false;

    if (cleanupFor != app) {
        qAddPostRoutine(closeAllPorts);
        cleanupFor = app;
    }
    return 0;
}

int CloseCom(int port)
{
    if (!validPort(port))
        return kBadPort;
    if (auto rec = findPort(port))
        closeRecord(rec);
    lostDevice[static_cast<std::size_t>(port)] = false;
    return 0;
}

int ComDeviceLost(int portNumber)
{
    return validPort(portNumber) && lostDevice[static_cast<std::size_t>(portNumber)] ? 1 : 0;
}

int SetComTime(int port, double timeoutSeconds)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    if (!(timeoutSeconds >= 0.0) || !std::isfinite(timeoutSeconds))
        return kBadSetting;
    rec->timeout = timeoutSeconds;
    return 0;
}

int FlushInQ(int port)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    rec->queue.clear();
    rec->serial->clear(QSerialPort::Input);
    // The driver may already have handed bytes to QSerialPort's own buffer.
    rec->serial->skip(rec->serial->bytesAvailable());
    return 0;
}

int FlushOutQ(int port)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    rec->serial->clear(QSerialPort::Output);
    return 0;
}

int InstallComCallback(int port, int eventMask, int /*notifyCount*/, int eventCharacter,
                       ComCallbackPtr callback, void* callbackData)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    // Only the event-character event exists here; a zero mask or no callback
    // removes the installation.
    if ((eventMask & ~LWRS_RXFLAG) != 0)
        return kBadSetting;
    if (eventMask == 0 || !callback) {
        rec->callback = nullptr;
        rec->callbackData = nullptr;
        rec->eventChar = -1;
        return 0;
    }
    if (eventCharacter < 0 || eventCharacter > 255)
        return kBadSetting;
    rec->callback = callback;
    rec->callbackData = callbackData;
    rec->eventChar = eventCharacter;
    return 0;
}

int GetInQLen(int port)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    pull(rec);
    if (!isCurrent(rec))
        return kNotOpen;  // the device went away
    return static_cast<int>(rec->queue.size());
}

int ComTermQueued(int port, int terminationByte)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    if (terminationByte < 0 || terminationByte > 255)
        return 0;
    // A terminator already queued answers without asking the device again.
    if (rec->queue.contains(static_cast<char>(terminationByte)))
        return 1;
    pull(rec);
    if (!isCurrent(rec))
        return kNotOpen;  // the device went away
    return rec->queue.contains(static_cast<char>(terminationByte)) ? 1 : 0;
}

int ComRdTerm(int port, char* buffer, int count, int terminationByte)
{
    auto rec = findPort(port);
    if (!rec)
        return validPort(port) ? kNotOpen : kBadPort;
    if (count <= 0)
        return 0;
    if (!buffer)
        return kBadSetting;

    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(std::min(rec->timeout, 1.0e6)));
    const bool hasTerm = terminationByte >= 0 && terminationByte <= 255;
    const auto take = [&](qsizetype n, qsizetype consumed) {
        std::memcpy(buffer, rec->queue.constData(), static_cast<std::size_t>(n));
        rec->queue.remove(0, consumed);
        return static_cast<int>(n);
    };

    for (bool first = true;; first = false) {
        // A line already queued whole is taken without asking the device
        // again; anything else first takes what has arrived.
        const bool lineQueued =
            first && hasTerm &&
            std::memchr(rec->queue.constData(), terminationByte,
                        static_cast<std::size_t>(std::min<qsizetype>(rec->queue.size(), count)));
        if (!lineQueued)
            pull(rec);
        if (!isCurrent(rec))
            return kNotOpen;  // the device went away
        const qsizetype window = std::min<qsizetype>(rec->queue.size(), count);
        if (hasTerm && window > 0) {
            const void* hit = std::memchr(rec->queue.constData(), terminationByte,
                                          static_cast<std::size_t>(window));
            if (hit) {
                const qsizetype at = static_cast<const char*>(hit) - rec->queue.constData();
                return take(at, at + 1);
            }
        }
        if (rec->queue.size() >= count)
            return take(count, count);

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return take(window, window);
        const int waitMs =
            static_cast<int>(std::min<long long>(left.count(), std::numeric_limits<int>::max()));
        // A device that goes away meanwhile is lost through errorOccurred.
        rec->serial->waitForReadyRead(waitMs);
    }
}
