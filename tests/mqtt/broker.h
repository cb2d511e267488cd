// Debian's mosquitto broker on a free localhost port with a config of the
// test's own, and a subscriber that keeps what it receives.
#pragma once

#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/temp_dir.h"

namespace testmqtt {

inline int freePort()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

inline bool portOpen(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool open = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return open;
}

class Broker {
public:
    // With a user, only that user with that password may connect.
    explicit Broker(const std::string& user = {}, const std::string& password = {})
        : dir_(makeTempDir("merrivan-broker")), port_(freePort())
    {
        std::ofstream conf(dir_ + "/mosquitto.conf");
        conf << "listener " << port_ << " 127.0.0.1\npersistence false\n";
        if (user.empty()) {
            conf << "allow_anonymous true\n";
        } else {
            const std::string file = dir_ + "/passwd";
            const std::string cmd = "mosquitto_passwd -c -b '" + file + "' '" + user + "' '" +
                                    password + "' >/dev/null 2>&1";
            if (std::system(cmd.c_str()) != 0)
                return;
            conf << "allow_anonymous false\npassword_file " << file << "\n";
        }
        conf.close();
        start();
    }
    ~Broker()
    {
        stop();
        removeTempDir(dir_);
    }
    int port() const { return port_; }
    bool running() const { return pid_ > 0; }

    // Starts it again on the same port; true once it accepts connections.
    bool start()
    {
        const std::string conf = dir_ + "/mosquitto.conf";
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl("/usr/sbin/mosquitto", "mosquitto", "-c", conf.c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            if (portOpen(port_))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::string dir_;
    int port_;
    pid_t pid_ = -1;
};

struct Message {
    std::string topic;
    std::string payload;
    bool retained;
};

// Subscribes to everything (or `filter`) on connect and keeps each message.
class Subscriber {
public:
    explicit Subscriber(int port, const std::string& filter = "#") : filter_(filter)
    {
        mosquitto_lib_init();
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(client_, [](mosquitto* m, void* self, int rc) {
            auto* s = static_cast<Subscriber*>(self);
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, s->filter_.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(client_, [](mosquitto*, void* self, int, int,
                                                     const int*) {
            auto* s = static_cast<Subscriber*>(self);
            const std::lock_guard lock(s->mutex_);
            s->subscribed_ = true;
            s->changed_.notify_all();
        });
        mosquitto_message_callback_set(client_, [](mosquitto*, void* self,
                                                   const mosquitto_message* m) {
            auto* s = static_cast<Subscriber*>(self);
            const std::lock_guard lock(s->mutex_);
            s->messages_.push_back({m->topic,
                                    std::string(static_cast<const char*>(m->payload),
                                                static_cast<std::size_t>(m->payloadlen)),
                                    m->retain});
            s->changed_.notify_all();
        });
        mosquitto_connect(client_, "127.0.0.1", port, 30);
        mosquitto_loop_start(client_);
        waitFor([this] { return subscribed_; }, 5000);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
    }
    bool subscribed()
    {
        const std::lock_guard lock(mutex_);
        return subscribed_;
    }
    std::vector<Message> messages(const std::string& topic)
    {
        const std::lock_guard lock(mutex_);
        std::vector<Message> out;
        for (const Message& m : messages_)
            if (m.topic == topic)
                out.push_back(m);
        return out;
    }
    // Waits until `count` messages of `topic` are in, or `ms` have passed.
    std::vector<Message> await(const std::string& topic, std::size_t count, int ms = 5000)
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            std::size_t n = 0;
            for (const Message& m : messages_)
                n += m.topic == topic;
            return n >= count;
        });
        lock.unlock();
        return messages(topic);
    }

private:
    bool waitFor(const std::function<bool()>& done, int ms)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), done);
    }

    std::string filter_;
    mosquitto* client_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool subscribed_ = false;
    std::vector<Message> messages_;
};

// Polls `done` every 10 ms for up to `ms`.
inline bool eventually(const std::function<bool()>& done, int ms = 5000)
{
    for (int waited = 0; waited < ms; waited += 10) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace testmqtt
