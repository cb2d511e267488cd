// While a Delay waits, the screen is kept painted but no callback may run:
// timer ticks are dropped (as a blocked thread would miss them) and serial
// events wait until the hold ends.
#pragma once

namespace platform {

bool callbacksHeld();
void holdCallbacks(bool hold);

}  // namespace platform
