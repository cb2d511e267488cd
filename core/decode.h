// The two frame decoders without any panel: each reads one frame and updates
// the channel records, wDataNum and fViewGetDes (core/channel.h), and tells
// what the frame did in a FrameResult. Whatever the panels, the recording or
// the watchdog make of it is up to the caller. Nothing here allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/channel.h"

// Why a frame was dropped whole. A dropped frame changes no record and no
// meter state.
enum class FrameRefusal : unsigned char {
    None,           // taken
    CheckSum,       // no valid LRC in front of the CR
    TooManyFields,  // more than ten fields: only ten records
    EmptyField,     // a data field with nothing in it, not even a code letter
};

struct FrameResult {
    FrameRefusal refusal = FrameRefusal::None;
    bool description = false;    // a "$" frame: channel names, no readings
    bool layoutChanged = false;  // channel count or a known sensor changed
    bool namesChanged = false;   // the names the selectors show changed
    bool secondRead = false;     // legacy: channel 2 was decoded (by the previous count)
    int channels = 0;            // wDataNum after the frame
    // Bit i stands for channel[i].
    std::uint16_t typeChanged = 0;    // the type changed
    std::uint16_t sensorChanged = 0;  // of those, the ones a sensor code letter set
    std::uint16_t valueChanged = 0;   // reading (value, text or unit) differs
    std::uint16_t errorFields = 0;    // the reading is an error code ("E01", "E02" ...)

    bool taken() const { return refusal == FrameRefusal::None; }
    // The error code of channel i, or nullptr when its field carried none.
    // Points into the records: valid until the next frame.
    const char* errorText(int i) const
    {
        return i >= 0 && i < 10 && (errorFields >> i & 1u) ? channel[i].valStr : nullptr;
    }
};

// A frame of the 9600-baud meter in buf (text, CR, NUL; size is the buffer's
// size). Cuts and edits buf in place.
FrameResult decode9600(char* buf, std::size_t size);

// A frame of the legacy meter in buf; never refused. Edits buf in place.
FrameResult decodeLegacy(char* buf, std::size_t size);
