// The readings published to an MQTT broker: the settings of the [Mqtt]
// section of Merrivan.ini, the publisher's life in the program, what each
// taken frame and each link event sends, and what the status line and the
// MQTT window tell. Off by default.
#pragma once

#include <string>

#include "core/decode.h"
#include "mqtt/publisher.h"

struct MqttSettings {
    bool enabled = false;
    std::string host = "localhost";
    int port = 1883;
    std::string meterId;  // empty: defaultMeterId()
    bool tls = false;
    std::string caFile;
    std::string user;
    std::string password;
    bool homeAssistant = false;
};

// At start, after the set-up is recalled: reads [Mqtt] and, when enabled,
// starts connecting (never waits for the network).
void publishStart();
// At exit: the retained offline status is sent when connected, then the
// connection ends (about a second at most).
void publishStop();

// After each decoded frame; only a taken data frame is published.
void publishFrame(const FrameResult& result);
enum class MqttLink { Streaming, NoData, DeviceGone };
// Where the link opens, its device goes or the watchdog hears nothing.
// `comPort` is the link's COM number, which the readings name.
void publishLinkState(MqttLink state, int comPort);

// The settings in use, and new ones from the MQTT window: stored in
// Merrivan.ini and used at once (the old connection ends in the background).
MqttSettings mqttSettings();
void setMqttSettings(const MqttSettings& settings);
// Host name + "-COM" + port number.
std::string defaultMeterId();

// "connected to localhost:1883, 0 waiting, 0 dropped, 12 sent", or why not.
std::string publishStateText();
// Once a second from the clock: a broker that cannot be reached or was lost
// is told in the status line, once when it happens and once a minute while
// it lasts, so that other news is not hidden for long.
void publishTick();
