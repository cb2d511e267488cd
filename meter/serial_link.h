// The serial link settings in use, and which meter generation they imply.
#pragma once

extern int portNo;
extern int baudRate;
extern int parity;
extern int dataBits;
extern int stopBits;
// 1 when the 9600-baud meter's frames are decoded, 0 for the legacy meter.
extern unsigned char fNewMeter;
