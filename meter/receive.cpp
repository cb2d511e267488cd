#include "meter/receive.h"

#include "platform/platform.h"

// Until the decoders exist, frames are taken from the queue and dropped, so
// that nothing piles up behind the port.
void comPortCharDetCallBack(int portNumber, int, void*)
{
    static char frame[260];
    while (GetInQLen(portNumber) > 3) {
        const int n = ComRdTerm(portNumber, frame, 256, 13);
        if (n <= 3 || n > 256)
            return;
    }
}
