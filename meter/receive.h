// Takes the meter's frames from the serial port.
#pragma once

void comPortCharDetCallBack(int portNumber, int eventMask, void* callbackData);
