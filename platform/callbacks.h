// Callbacks are attached by name in the panel definitions; the program
// registers the functions behind the names before it loads a panel.
#pragma once

#include "platform/platform.h"

namespace platform {

void registerCallback(const char* name, CtrlCallbackPtr callback);
void registerPanelCallback(const char* name, PanelCallbackPtr callback);

// Looks up a data file: the working directory first, then the program's own
// directory. Writes the path found (or the bare name) into `path`.
void resolveDataFile(const char* name, char* path, std::size_t size);

}  // namespace platform
