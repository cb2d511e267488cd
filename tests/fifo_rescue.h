// For tests that hand the program a FIFO: when something opens it for reading
// and waits for a writer more than three seconds, a writer comes and goes, so
// that a program that blocks on it fails its test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace testsupport {

class FifoRescue {
public:
    explicit FifoRescue(std::string path) : path_(std::move(path)), thread_([this] { run(); }) {}
    ~FifoRescue()
    {
        done_ = true;
        thread_.join();
    }
    FifoRescue(const FifoRescue&) = delete;
    FifoRescue& operator=(const FifoRescue&) = delete;

    // Whether a reader had to be set free.
    bool rescued() const { return rescued_; }

private:
    void run()
    {
        for (int waited = 0; !done_; waited += 50) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waited < 3000)
                continue;
            // Fails (ENXIO) unless a reader has it open.
            const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                rescued_ = true;
                close(fd);
            }
        }
    }

    std::string path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> rescued_{false};
    std::thread thread_;
};

}  // namespace testsupport
