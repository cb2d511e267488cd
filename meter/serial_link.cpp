#include "meter/serial_link.h"

int portNo = 1;
int baudRate = 9600;
int parity = 0;
int dataBits = 8;
int stopBits = 1;
unsigned char fNewMeter = 1;
