#include "mqtt/publisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kMaxBackOffSeconds = 30;
// Readings handed to the library and not yet acknowledged; the rest wait in
// our own queue, where a full queue can drop the oldest.
constexpr std::size_t kWindow = 200;
constexpr char kOffline[] = "{\"state\":\"offline\"}";

struct Pending {
    std::string topic;
    std::string payload;
};

std::once_flag libraryStarted;

// Why an attempt failed, for a person; never any credential.
std::string failureText(int rc, int error)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO:
        return std::string("not reachable (") + std::strerror(error) + ")";
    case MOSQ_ERR_EAI:
        return "not reachable (host name not found)";
    case MOSQ_ERR_TLS:
        return "refused TLS (check Tls and CaFile)";
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:
        return "not reachable (connection lost)";
    default:
        return std::string("not reachable (") + mosquitto_strerror(rc) + ")";
    }
}

}  // namespace

struct Publisher::Impl {
    PublisherSettings settings;
    std::string id;
    std::string stateTopic;
    std::string statusTopic;
    mosquitto* client = nullptr;
    std::thread thread;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;   // no more reconnecting
    bool stopping = false;  // the thread ends
    bool connected = false;
    bool connackRefused = false;
    PublisherStatus status;
    std::deque<Pending> queue;
    // Readings handed over and not acknowledged, with the connection they
    // were handed to. Those of an earlier connection may never be answered:
    // they count as sent when they are, but take no room in the window.
    std::unordered_map<int, unsigned> readingMids;
    unsigned connection = 0;
    std::size_t windowUsed = 0;
    int offlineMid = -1;
    bool offlineAcked = false;
    std::string link;
    std::vector<std::string> discovery;  // retained config per channel

    // The queue's head goes to the library while connected and the window
    // has room. Under `mutex`; the library keeps the order it was given.
    void pumpLocked()
    {
        while (connected && windowUsed < kWindow && !queue.empty()) {
            const Pending& p = queue.front();
            int mid = 0;
            const int rc = mosquitto_publish(client, &mid, p.topic.c_str(),
                                             static_cast<int>(p.payload.size()),
                                             p.payload.data(), 1, false);
            // The library keeps a QoS 1 message it was given even when the
            // connection has just gone (NO_CONN) and sends it on reconnect:
            // it is handed over, and never queued again here. Any other
            // refusal would refuse it for ever: it is dropped, counted.
            if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
                readingMids[mid] = connection;
                ++windowUsed;
            } else {
                ++status.dropped;
            }
            queue.pop_front();
        }
        status.queued = queue.size();
    }

    void publishRetainedLocked(const std::string& topic, const std::string& payload)
    {
        mosquitto_publish(client, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, true);
    }

    std::string discoveryTopic(std::size_t index) const
    {
        return "homeassistant/sensor/" + id + "_" + std::to_string(index + 1) + "/config";
    }

    void onConnect(int rc)
    {
        const std::lock_guard lock(mutex);
        if (rc != 0) {
            connackRefused = true;
            status.state = PublisherStatus::State::Failed;
            status.error = std::string("refused the connection (") +
                           mosquitto_connack_string(rc) + ")";
            return;
        }
        connected = true;
        ++connection;
        windowUsed = 0;
        status.state = PublisherStatus::State::Connected;
        status.error.clear();
        publishRetainedLocked(statusTopic, statusJson("online", link));
        for (std::size_t i = 0; i < discovery.size(); ++i)
            publishRetainedLocked(discoveryTopic(i), discovery[i]);
        pumpLocked();
    }

    void onDisconnect()
    {
        const std::lock_guard lock(mutex);
        connected = false;
    }

    void onPublish(int mid)
    {
        const std::lock_guard lock(mutex);
        if (const auto it = readingMids.find(mid); it != readingMids.end()) {
            if (it->second == connection && windowUsed > 0)
                --windowUsed;
            readingMids.erase(it);
            ++status.sent;
        }
        if (mid == offlineMid)
            offlineAcked = true;
        pumpLocked();
        changed.notify_all();
    }

    void run()
    {
        int delay = 1;
        for (;;) {
            {
                const std::lock_guard lock(mutex);
                if (closing)
                    return;
                if (status.state != PublisherStatus::State::Failed)
                    status.state = PublisherStatus::State::Connecting;
                connackRefused = false;
            }
            errno = 0;
            int rc = mosquitto_connect_async(client, settings.host.c_str(), settings.port,
                                             kKeepAliveSeconds);
            int error = errno;
            bool reached = false;
            while (rc == MOSQ_ERR_SUCCESS) {
                {
                    const std::lock_guard lock(mutex);
                    if (stopping)
                        return;
                    reached = reached || connected;
                }
                rc = mosquitto_loop(client, 500, 1);
                error = errno;
            }
            std::unique_lock lock(mutex);
            connected = false;
            if (closing)
                return;
            status.state = PublisherStatus::State::Failed;
            if (!connackRefused)
                status.error = reached ? "lost (" + failureText(rc, error) + ")"
                                       : failureText(rc, error);
            if (reached)
                delay = 1;
            changed.wait_for(lock, std::chrono::seconds(delay), [this] { return closing; });
            delay = std::min(delay * 2, kMaxBackOffSeconds);
        }
    }
};

Publisher::Publisher(const PublisherSettings& settings) : impl_(std::make_shared<Impl>())
{
    std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
    Impl& d = *impl_;
    d.settings = settings;
    d.id = topicId(settings.meterId);
    d.stateTopic = "merrivan/" + d.id + "/state";
    d.statusTopic = "merrivan/" + d.id + "/status";
    d.status.state = PublisherStatus::State::Connecting;
    d.client = mosquitto_new(nullptr, true, &d);
    if (!d.client) {
        d.status.state = PublisherStatus::State::Failed;
        d.status.error = "cannot start the MQTT client";
        return;
    }
    mosquitto_threaded_set(d.client, true);
    mosquitto_will_set(d.client, d.statusTopic.c_str(), static_cast<int>(std::strlen(kOffline)),
                       kOffline, 1, true);
    if (!settings.user.empty())
        mosquitto_username_pw_set(d.client, settings.user.c_str(), settings.password.c_str());
    if (settings.tls) {
        const bool ownCa = !settings.caFile.empty();
        const int rc = mosquitto_tls_set(d.client, ownCa ? settings.caFile.c_str() : nullptr,
                                         ownCa ? nullptr : "/etc/ssl/certs", nullptr, nullptr,
                                         nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            d.status.state = PublisherStatus::State::Failed;
            d.status.error = "cannot use the CA file \"" + settings.caFile + "\"";
            return;
        }
    }
    mosquitto_connect_callback_set(d.client, [](mosquitto*, void* obj, int rc) {
        static_cast<Impl*>(obj)->onConnect(rc);
    });
    mosquitto_disconnect_callback_set(d.client, [](mosquitto*, void* obj, int) {
        static_cast<Impl*>(obj)->onDisconnect();
    });
    mosquitto_publish_callback_set(d.client, [](mosquitto*, void* obj, int mid) {
        static_cast<Impl*>(obj)->onPublish(mid);
    });
    d.thread = std::thread([&d] { d.run(); });
}

Publisher::~Publisher()
{
    Impl& d = *impl_;
    if (!d.client)
        return;
    {
        std::unique_lock lock(d.mutex);
        d.closing = true;
        if (d.connected) {
            const std::string offline = kOffline;
            mosquitto_publish(d.client, &d.offlineMid, d.statusTopic.c_str(),
                              static_cast<int>(offline.size()), offline.data(), 1, true);
            d.changed.wait_for(lock, std::chrono::seconds(1),
                               [&d] { return d.offlineAcked || !d.connected; });
        }
        d.stopping = true;
        d.changed.notify_all();
    }
    mosquitto_disconnect(d.client);
    if (d.thread.joinable())
        d.thread.join();
    mosquitto_destroy(d.client);
}

void Publisher::publishState(const StateMessage& message)
{
    Impl& d = *impl_;
    Pending p{d.stateTopic, stateJson(message)};
    std::vector<std::string> configs;
    if (d.settings.homeAssistant) {
        for (std::size_t i = 0; i < message.channels.size(); ++i)
            configs.push_back(discoveryJson(d.settings.meterId, static_cast<int>(i),
                                            message.channels[i]));
    }
    const std::lock_guard lock(d.mutex);
    if (!d.client)
        return;
    if (d.settings.homeAssistant && configs != d.discovery) {
        // Only the configs that changed; a channel gone keeps its config.
        for (std::size_t i = 0; i < configs.size(); ++i) {
            if (d.connected && (i >= d.discovery.size() || d.discovery[i] != configs[i]))
                d.publishRetainedLocked(d.discoveryTopic(i), configs[i]);
        }
        d.discovery = std::move(configs);
    }
    if (d.queue.size() >= d.settings.queueLimit && !d.queue.empty()) {
        d.queue.pop_front();
        ++d.status.dropped;
    }
    if (d.settings.queueLimit > 0)
        d.queue.push_back(std::move(p));
    else
        ++d.status.dropped;
    d.pumpLocked();
}

void Publisher::publishLinkState(const std::string& link)
{
    Impl& d = *impl_;
    const std::lock_guard lock(d.mutex);
    if (!d.client || link == d.link)
        return;
    d.link = link;
    if (d.connected)
        d.publishRetainedLocked(d.statusTopic, statusJson("online", link));
}

PublisherStatus Publisher::status() const
{
    const std::lock_guard lock(impl_->mutex);
    return impl_->status;
}
