// The command line, and the program's run without a screen (--headless).
#pragma once

#include <string>

struct RunOptions {
    bool headless = false;
    int port = 0;          // COM number from --port; 0: the remembered one
    std::string settings;  // --settings; empty: Merrivan.ini in its usual place
    std::string history;   // --history; empty: the user's own history file
};

enum class OptionsRead { Run, Help, Bad };

// Reads argv; Help has printed the usage on standard output, Bad has said
// what is wrong and printed the usage on standard error.
OptionsRead readRunOptions(int argc, char* argv[], RunOptions* options);

// Once a second without a screen: how many frames came, at most once a
// minute (and at the first one).
void logFrameCounts();
