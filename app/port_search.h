// Finds the serial port that a USB cable created.
#pragma once

int Get_ComPort();
