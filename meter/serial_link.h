// The serial link settings in use, which meter generation they imply, and
// what the meter's frames have told about its channels.
#pragma once

extern int portNo;
extern int baudRate;
extern int parity;
extern int dataBits;
extern int stopBits;
// 1 when the 9600-baud meter's frames are decoded, 0 for the legacy meter.
extern unsigned char fNewMeter;

// Every channel's sensor type back to none; nothing else of the channels.
void defaultSensorType();
// Forgets the channel layout the meter's frames set up: the next accepted
// frame counts as a new layout, and until the meter names its channels again,
// they go by their sensors.
void forgetMeterLayout();
