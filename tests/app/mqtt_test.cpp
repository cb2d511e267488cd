// The program publishing a real meter's frames: a pseudo-terminal behind the
// port, Debian's broker, the MQTT window switched on by the user.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "plugged_meter.h"
#include "program_run.h"
#include "tests/mqtt/broker.h"
#include "ui/panel_handles.h"

using nlohmann::json;
using testsupport::PluggedMeter;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::statusLine;
using testsupport::waitFor;

namespace {

void clockTick() { seam::fireTimer(monitorPanel, MONITOR_CLOCK_TIMER); }

}  // namespace

TEST(MqttProgram, FramesReachTheBrokerWithValuesAndUnitsAndALostBrokerIsTold)
{
    seam::reset();
    seam::clearComMap();
    testsupport::TempDir dir;
    const std::string link = dir.file("meter");
    testsupport::writeFile("Merrivan.ini", testsupport::stateIni(2, 9600, 0, 8, 1) +
                                               "[ComPorts]\nCOM2=" + link + "\n");
    testmqtt::Broker broker;
    ASSERT_TRUE(broker.running());
    testmqtt::Subscriber sub(broker.port(), "merrivan/#");
    const std::string port = std::to_string(broker.port());
    PluggedMeter meter{link};
    ASSERT_TRUE(meter.plug());

    runProgram([&] {
        // Off until the user switches it on.
        EXPECT_TRUE(meter.readingShows("21.0"));
        seam::userPress(monitorPanel, MONITOR_COMPORT_CMD);
        seam::userPress(comPortPanel, COMPORT_MQTT);
        ASSERT_GE(mqttPanel, 0);
        seam::userSetValue(mqttPanel, MQTT_ENABLED, 1);
        seam::userSetText(mqttPanel, MQTT_HOST, "127.0.0.1");
        seam::userSetValue(mqttPanel, MQTT_PORT, broker.port());
        seam::userSetText(mqttPanel, MQTT_METER_ID, "lab 1");
        seam::userSetText(mqttPanel, MQTT_PASSWORD, "Pass-Word-77");
        seam::userPress(mqttPanel, MQTT_OK);
        seam::userPress(comPortPanel, COMPORT_CANCEL);
        EXPECT_LT(mqttPanel, 0);

        ASSERT_TRUE(meter.send(testsupport::frame9600("T0023.5C:H045.2%RH")));
        ASSERT_TRUE(meter.send(testsupport::frame9600("TE02C:H046.0%RH")));
        // The event loop runs meanwhile: it reads the frames.
        waitFor([&] { return sub.messages("merrivan/lab_1/state").size() >= 2; }, 5000);
        const auto got = sub.messages("merrivan/lab_1/state");
        ASSERT_EQ(got.size(), 2u);
        const json first = json::parse(got[0].payload);
        EXPECT_EQ(first["port"], "COM2");
        ASSERT_EQ(first["channels"].size(), 2u);
        EXPECT_EQ(first["channels"][0]["sensor"], "Temperature");
        EXPECT_EQ(first["channels"][0]["value"], 23.5);
        EXPECT_EQ(first["channels"][0]["unit"], "°C");
        EXPECT_EQ(first["channels"][0]["status"], "ok");
        EXPECT_EQ(first["channels"][1]["value"], 45.2);
        EXPECT_EQ(first["channels"][1]["unit"], "%RH");
        const json second = json::parse(got[1].payload);
        EXPECT_TRUE(second["channels"][0]["value"].is_null());
        EXPECT_EQ(second["channels"][0]["text"], "E02");
        EXPECT_EQ(second["channels"][0]["status"], "E02");
        const auto status = sub.messages("merrivan/lab_1/status");
        ASSERT_FALSE(status.empty());
        EXPECT_EQ(status.back().payload, R"({"link":"streaming","state":"online"})");

        // The broker goes: the status line says so, and with how much waits.
        broker.stop();
        ASSERT_TRUE(meter.send(testsupport::frame9600("T0024.0C:H045.0%RH")));
        const std::string lost = "MQTT: broker 127.0.0.1:" + port + " not reachable";
        ASSERT_TRUE(waitFor(
            [&] {
                clockTick();
                return statusLine().rfind(lost, 0) == 0;
            },
            5000))
            << statusLine();
        EXPECT_NE(statusLine().find("1 reading waiting."), std::string::npos) << statusLine();

        // Back: the waiting reading goes out and the news is taken back.
        ASSERT_TRUE(broker.start());
        testmqtt::Subscriber again(broker.port(), "merrivan/#");
        EXPECT_TRUE(waitFor(
            [&] {
                clockTick();
                return statusLine() == "MQTT: broker 127.0.0.1:" + port + " reached again.";
            },
            15000))
            << statusLine();
        waitFor([&] { return !again.messages("merrivan/lab_1/state").empty(); }, 2000);
        const auto late = again.messages("merrivan/lab_1/state");
        ASSERT_EQ(late.size(), 1u);
        EXPECT_EQ(json::parse(late[0].payload)["channels"][0]["value"], 24.0);
    });
    const std::string ini = readFile("Merrivan.ini");
    const std::vector<std::string> lines = {"[Mqtt]",        "Enabled=true",  "Host=127.0.0.1",
                                            "Port=" + port,  "MeterId=lab 1", "Password=Pass-Word-77"};
    for (const std::string& line : lines)
        EXPECT_NE(ini.find(line + "\n"), std::string::npos) << line << "\n" << ini;
}
