// The built-in COM map and the hang-up check on POSIX systems.
#include "platform/serial_system.h"

#include <QSerialPort>

#include <poll.h>

namespace serialsystem {

// USB adapters come before the extra legacy ports because the port search
// selects the lowest of COM2..COM16 that opens, and a USB cable is what it
// looks for.
QString builtInComPath(int port)
{
    if (port == 1)
        return QStringLiteral("/dev/ttyS0");
    if (port >= 2 && port <= 7)
        return QStringLiteral("/dev/ttyUSB%1").arg(port - 2);
    if (port >= 8 && port <= 13)
        return QStringLiteral("/dev/ttyACM%1").arg(port - 8);
    if (port >= 14 && port <= 16)
        return QStringLiteral("/dev/ttyS%1").arg(port - 13);
    return QString();
}

// A device that went away keeps reporting a hang-up or an error.
bool deviceHungUp(QSerialPort& serial)
{
    pollfd p{static_cast<int>(serial.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace serialsystem
