// The 9600 meter at the end of a link that "Merrivan.ini" names: plugged in,
// it is a fresh pseudo-terminal behind the link; pulled, its terminal hangs up
// and the link goes, as a ttyUSB node does when a USB cable is pulled.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "platform/pty_helper.h"
#include "test_support.h"
#include "ui/merrivan_uir.h"

namespace testsupport {

// A frame of the 9600 meter with its check characters and CR.
inline std::string frame9600(const std::string& content)
{
    unsigned sum = 0;
    for (char c : content)
        sum += static_cast<unsigned char>(c);
    char check[3];
    std::snprintf(check, sizeof check, "%02X", (256U - sum % 256U) % 256U);
    return content + check + "\r";
}

class PluggedMeter {
public:
    explicit PluggedMeter(std::string link) : link_(std::move(link)) {}
    bool plug()
    {
        pty_ = std::make_unique<PtyPair>();
        return pty_->ok() && ::symlink(pty_->slavePath().c_str(), link_.c_str()) == 0;
    }
    void pull()
    {
        pty_->closeMaster();
        ::unlink(link_.c_str());
        pty_.reset();
    }
    // Bytes as they are, e.g. the start of a frame.
    bool send(const std::string& bytes) { return pty_->write(bytes); }
    // A reading the meter sends reaches display 1 within `ms`.
    bool readingShows(const char* value, int ms = 2000)
    {
        return send(frame9600(std::string("T00") + value + "C:H045.2%RH")) &&
               waitFor(
                   [&] {
                       return monitorText(MONITOR_CH1_VALUE).find(value) != std::string::npos;
                   },
                   ms);
    }

private:
    std::string link_;
    std::unique_ptr<PtyPair> pty_;
};

}  // namespace testsupport
