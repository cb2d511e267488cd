// The publisher against Debian's broker: what a subscriber receives, the last
// will of a killed program, a broker that goes away and comes back, and the
// ways a connection is refused.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "mqtt/publisher.h"
#include "tests/mqtt/broker.h"

using namespace testmqtt;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kChildMark[] = "MERRIVAN_MQTT_CHILD_PORT";

PublisherSettings settingsFor(int port, std::size_t queueLimit = 10000)
{
    PublisherSettings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.meterId = "bench-COM3";
    s.queueLimit = queueLimit;
    return s;
}

StateMessage numbered(int n)
{
    return StateMessage{n, "COM3", {{"T1", "Temperature", double(n), std::to_string(n), "°C", "ok"}}};
}

bool connected(const Publisher& p)
{
    return p.status().state == PublisherStatus::State::Connected;
}

long long msSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

}  // namespace

// A frame with a reading, an E-code and a lit alarm, under a decimal-comma
// locale: numbers stay in the C format, the E-code has no value. Home
// Assistant learns each channel from a retained config.
TEST(MqttPublisher, StateJsonOfAFrameAsDocumented)
{
    Broker broker;
    ASSERT_TRUE(broker.running());
    Subscriber sub(broker.port());
    const char* before = std::setlocale(LC_ALL, nullptr);
    const std::string saved = before ? before : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    PublisherSettings settings = settingsFor(broker.port());
    settings.homeAssistant = true;
    {
        Publisher pub(settings);
        pub.publishState(StateMessage{
            1796699045678LL,
            "COM3",
            {{"Room", "Temperature", 23.4, "23.4", "°C", "ok"},
             {"Humidity", "Humidity", std::nan(""), "E02", "%RH", "E02"},
             {"Air", "Air velocity", -0.05, "-0.05", "m/s", "alarm low"}}});
        const auto got = sub.await("merrivan/bench-COM3/state", 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].payload,
                  R"({"channels":[)"
                  R"({"name":"Room","sensor":"Temperature","status":"ok","text":"23.4","unit":"°C","value":23.4},)"
                  R"({"name":"Humidity","sensor":"Humidity","status":"E02","text":"E02","unit":"%RH","value":null},)"
                  R"({"name":"Air","sensor":"Air velocity","status":"alarm low","text":"-0.05","unit":"m/s","value":-0.05}],)"
                  R"("port":"COM3","time":"2026-12-08T03:04:05.678Z"})");
        EXPECT_FALSE(got[0].retained);
        const auto status = sub.await("merrivan/bench-COM3/status", 1);
        ASSERT_FALSE(status.empty());
        EXPECT_EQ(status[0].payload, R"({"state":"online"})");
        const auto config = sub.await("homeassistant/sensor/bench-COM3_3/config", 1);
        ASSERT_EQ(config.size(), 1u);
        const auto c = nlohmann::json::parse(config[0].payload);
        EXPECT_EQ(c["state_topic"], "merrivan/bench-COM3/state");
        EXPECT_EQ(c["value_template"], "{{ value_json.channels[2].value }}");
        EXPECT_EQ(c["unit_of_measurement"], "m/s");
        EXPECT_EQ(c["unique_id"], "bench-COM3_3");
        Subscriber late(broker.port(), "homeassistant/#");  // retained
        EXPECT_EQ(late.await("homeassistant/sensor/bench-COM3_3/config", 1).size(), 1u);
    }
    // A clean end says so itself.
    const auto status = sub.await("merrivan/bench-COM3/status", 2);
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[1].payload, R"({"state":"offline"})");
    std::setlocale(LC_ALL, saved.c_str());
}

// The child: a program that publishes and then dies without a word.
TEST(MqttPublisher, LastWillChild)
{
    const char* port = std::getenv(kChildMark);
    if (!port)
        GTEST_SKIP() << "runs only as the child of LastWillWhenKilled";
    auto* pub = new Publisher(settingsFor(std::atoi(port)));
    pub->publishLinkState(kLinkStreaming);
    for (;;)
        pause();
}

TEST(MqttPublisher, LastWillWhenKilled)
{
    Broker broker;
    ASSERT_TRUE(broker.running());
    Subscriber sub(broker.port(), "merrivan/+/status");
    const std::string mark = std::string(kChildMark) + "=" + std::to_string(broker.port());
    const pid_t child = fork();
    if (child == 0) {
        putenv(const_cast<char*>(mark.c_str()));
        execl("/proc/self/exe", "tests_mqtt", "--gtest_filter=MqttPublisher.LastWillChild",
              nullptr);
        _exit(127);
    }
    auto got = sub.await("merrivan/bench-COM3/status", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, R"({"link":"streaming","state":"online"})");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    got = sub.await("merrivan/bench-COM3/status", 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].payload, R"({"state":"offline"})");
    // Retained: a newcomer learns it too.
    Subscriber late(broker.port(), "merrivan/+/status");
    got = late.await("merrivan/bench-COM3/status", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0].retained);
    EXPECT_EQ(got[0].payload, R"({"state":"offline"})");
}

// The broker stops for 5 s: readings wait in a queue of 5, the oldest of the
// 8 made meanwhile are dropped, and the rest arrive once each, in order.
TEST(MqttPublisher, BrokerBackAfterFiveSecondsGetsTheQueueInOrder)
{
    Broker broker;
    ASSERT_TRUE(broker.running());
    const std::string topic = "merrivan/bench-COM3/state";
    Publisher pub(settingsFor(broker.port(), 5));
    {
        Subscriber sub(broker.port());
        ASSERT_TRUE(eventually([&] { return connected(pub); }));
        for (int n = 1; n <= 3; ++n)
            pub.publishState(numbered(n));
        ASSERT_EQ(sub.await(topic, 3).size(), 3u);
        ASSERT_TRUE(eventually([&] { return pub.status().sent == 3; }));
    }
    broker.stop();
    ASSERT_TRUE(eventually([&] { return !connected(pub); }));
    for (int n = 4; n <= 11; ++n)
        pub.publishState(numbered(n));
    std::this_thread::sleep_for(std::chrono::seconds(5));
    PublisherStatus st = pub.status();
    EXPECT_EQ(st.state, PublisherStatus::State::Failed);
    EXPECT_NE(st.error.find("not reachable"), std::string::npos) << st.error;
    EXPECT_EQ(st.queued, 5u);
    EXPECT_EQ(st.dropped, 3u);

    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port());
    ASSERT_TRUE(sub.subscribed());
    const auto got = sub.await(topic, 5, 40000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // nothing more comes
    std::vector<std::string> seen;
    for (const Message& m : sub.messages(topic))
        seen.push_back(nlohmann::json::parse(m.payload)["channels"][0]["text"]);
    EXPECT_EQ(seen, (std::vector<std::string>{"7", "8", "9", "10", "11"}));
    st = pub.status();
    EXPECT_EQ(st.state, PublisherStatus::State::Connected);
    EXPECT_EQ(st.queued, 0u);
    EXPECT_EQ(st.sent, 8u);
    EXPECT_EQ(st.dropped, 3u);
}

// Each way of not getting through says why, never holds the password, and
// no call waits for the network.
TEST(MqttPublisher, RefusedConnectionsSayWhyWithoutBlocking)
{
    const std::string password = "Secret-Wrong-42";
    Broker open;
    Broker guarded("meter", "right-horse");
    ASSERT_TRUE(open.running() && guarded.running());
    struct Case {
        const char* what;
        PublisherSettings settings;
        const char* says;
    };
    PublisherSettings wrongHost = settingsFor(open.port());
    wrongHost.host = "no-such-broker.invalid";
    PublisherSettings tls = settingsFor(open.port());
    tls.tls = true;
    tls.caFile = "/etc/ssl/certs/ca-certificates.crt";
    PublisherSettings wrongPassword = settingsFor(guarded.port());
    wrongPassword.user = "meter";
    wrongPassword.password = password;
    PublisherSettings closedPort = settingsFor(freePort());
    const Case cases[] = {
        {"wrong host", wrongHost, "not reachable (host name not found)"},
        {"TLS refused", tls, "refused TLS"},
        {"wrong password", wrongPassword, "refused the connection"},
        {"no broker", closedPort, "not reachable (Connection refused)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto t = Clock::now();
        auto pub = std::make_unique<Publisher>(c.settings);
        for (int n = 0; n < 100; ++n)
            pub->publishState(numbered(n));
        EXPECT_LT(msSince(t), 50);
        ASSERT_TRUE(eventually([&] {
            return pub->status().state == PublisherStatus::State::Failed;
        }));
        const PublisherStatus st = pub->status();
        EXPECT_NE(st.error.find(c.says), std::string::npos) << st.error;
        EXPECT_EQ(st.error.find(password), std::string::npos);
        EXPECT_EQ(st.queued, 100u);
        t = Clock::now();
        pub.reset();
        EXPECT_LT(msSince(t), 1000);
    }
}
