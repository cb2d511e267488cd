// Find Meter: listens on every present serial device at once, first at 9600
// baud and then at each rate a legacy meter may use, and tells which port
// carries frames that one of the decoders takes. It opens and closes only the
// ports it listens on; the link in use must be closed by the caller.
#pragma once

// The rates tried, in turn: the 9600-baud meter first, then the rates the
// Serial Port window offers for the legacy meter, the usual ones first.
inline constexpr long kFindRates[] = {9600, 4800, 2400, 1200, 19200, 38400, 57600, 115200};
// How long each rate is listened to, in steps of kFindStep seconds.
inline constexpr double kFindStep = 0.1;
inline constexpr int kFindSteps = 20;

struct MeterFound {
    int port = 0;       // COM number; 0 when no port carried the meter's frames
    long baudRate = 0;  // 9600: the 10-channel meter; any other: the legacy meter
    int frames = 0;     // frames taken while listening at that rate
};

// Called before each rate is listened to, with the number of ports listened on.
using FindProgress = void (*)(long baudRate, int ports);

// Listens on COM1..COM16 where a device is present, with the given parity,
// data and stop bits. A port counts when at least two frames were taken and
// more were taken than refused; the first rate at which one counts ends the
// search, and the port with the most frames wins. The channel records the
// decoders write into are as they were before.
MeterFound findMeter(int parity, int dataBits, int stopBits, FindProgress progress);
