// Publishes the meter's readings to an MQTT broker. Nothing here blocks the
// caller on the network: the connection, the reconnections with back-off and
// the sending run on a thread of the publisher's own. While the broker is
// away, readings wait in a bounded queue (the oldest go first when it is
// full, counted) and are sent in order once it is back.
//
// Topics, with <id> the meter id made topic-safe (topicId):
//   merrivan/<id>/status   retained {"state":"online","link":"streaming"};
//                          the last will {"state":"offline"}
//   merrivan/<id>/state    one reading per frame, QoS 1 (stateJson)
//   homeassistant/sensor/<id>_<n>/config   retained, with discovery on
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mqtt/state_json.h"

struct PublisherSettings {
    std::string host = "localhost";
    int port = 1883;
    std::string meterId;
    bool tls = false;
    std::string caFile;  // with TLS: the CA certificate that signed the broker's
    std::string user;    // empty: no user name and no password are sent
    std::string password;
    bool homeAssistant = false;
    std::size_t queueLimit = 10000;
};

// What the status line and the MQTT window show. Never holds the password.
struct PublisherStatus {
    enum class State { Off, Connecting, Connected, Failed };
    State state = State::Off;
    std::string error;  // why the last attempt failed or the connection ended
    std::size_t queued = 0;      // waiting for the broker
    std::uint64_t dropped = 0;   // pushed out of a full queue
    std::uint64_t sent = 0;      // acknowledged by the broker
};

// Link states published in the retained status.
inline constexpr const char kLinkStreaming[] = "streaming";
inline constexpr const char kLinkNoData[] = "no data";
inline constexpr const char kLinkDeviceGone[] = "device gone";

class Publisher {
public:
    // Starts connecting at once; returns without waiting for the network.
    explicit Publisher(const PublisherSettings& settings);
    // Publishes the retained offline status when connected, then disconnects
    // (waiting at most about a second for the broker's answer).
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // One frame's readings to merrivan/<id>/state (queued while disconnected).
    void publishState(const StateMessage& message);
    // The link state in the retained status; the latest one is sent on connect.
    void publishLinkState(const std::string& link);
    PublisherStatus status() const;

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};
