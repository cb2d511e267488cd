// The built-in COM map and the hang-up check on Windows.
#include "platform/serial_system.h"

#include <QSerialPort>

namespace serialsystem {

// COMn is the system's COMn.
QString builtInComPath(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

// Windows has no hang-up to look at: a removed device makes QSerialPort
// report a resource error, which closes the port by itself.
bool deviceHungUp(QSerialPort& /*serial*/)
{
    return false;
}

}  // namespace serialsystem
