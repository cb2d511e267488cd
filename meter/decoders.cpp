#include "meter/decoders.h"

#include "core/channel.h"
#include "core/decode.h"
#include "meter/frame_presenter.h"

void analysis9600ComPortData()
{
    presentFrame9600(decode9600(rxBuf, sizeof rxBuf));
}

void analysisComPortData()
{
    presentFrameLegacy(decodeLegacy(rxBuf, sizeof rxBuf));
}
