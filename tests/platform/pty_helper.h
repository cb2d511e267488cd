// A pseudo-terminal pair that stands in for a meter on a serial line: the
// code under test opens the slave by its path, the test writes the meter's
// bytes into the master. The slave descriptor stays open for the pair's life so
// the terminal persists whoever else opens or closes it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

class PtyPair {
public:
    PtyPair()
    {
        int master = -1;
        int slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        master_ = master;
        slave_ = slave;
        makeRaw(master_);
        makeRaw(slave_);
        char name[256] = {};
        if (::ttyname_r(slave_, name, sizeof name) == 0)
            slavePath_ = name;
    }
    ~PtyPair()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0 && !slavePath_.empty(); }

    // The meter goes away, as a pulled USB cable takes a ttyUSB device: the
    // slave side hangs up.
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    // Writes every byte to the master (the "meter" side); false on failure.
    bool write(std::string_view bytes) const
    {
        while (!bytes.empty()) {
            const ssize_t n = ::write(master_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Writes what the master takes without blocking; the count written, or -1.
    ssize_t writeSome(std::string_view bytes) const
    {
        const int flags = ::fcntl(master_, F_GETFL);
        ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        const bool wouldBlock = n < 0 && errno == EAGAIN;
        ::fcntl(master_, F_SETFL, flags);
        return wouldBlock ? 0 : n;
    }

    // Reads what arrives at the master (bytes the slave side sent) within
    // `timeoutMs`, at most `max` bytes.
    std::string read(std::size_t max, int timeoutMs) const
    {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < max) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buf[256];
            const std::size_t want = std::min(sizeof buf, max - out.size());
            const ssize_t n = ::read(master_, buf, want);
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

private:
    static void makeRaw(int fd)
    {
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};
