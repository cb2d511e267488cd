#include "meter/serial_link.h"

#include "core/channel.h"

int portNo = 1;
int baudRate = 9600;
int parity = 0;
int dataBits = 8;
int stopBits = 1;
unsigned char fNewMeter = 1;

void defaultSensorType()
{
    for (ChannelRecord& rec : channel)
        rec.type = 0;
}

void forgetMeterLayout()
{
    wDataNum = 0;
    defaultSensorType();
    fViewGetDes = 0;
}
