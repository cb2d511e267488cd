// What the serial port layer asks of the operating system itself, one file
// per system: serial_posix.cpp (Linux and other POSIX systems) and
// serial_win32.cpp. Everything else in serial.cpp goes through Qt.
#pragma once

#include <QString>

class QSerialPort;

namespace serialsystem {

// The device a COM number names when neither the caller nor Merrivan.ini
// says otherwise; empty for none.
QString builtInComPath(int port);

// Whether the device behind an open port has hung up (it has gone away).
bool deviceHungUp(QSerialPort& serial);

}  // namespace serialsystem
