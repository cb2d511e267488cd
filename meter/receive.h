// Takes the meter's frames from the serial port.
#pragma once

void comPortCharDetCallBack(int portNumber, int eventMask, void* callbackData);

// Takes the complete frames queued on the port in use now, as their CR
// events would: frames that waited while the window was busy are not silence.
void takeQueuedFrames();
