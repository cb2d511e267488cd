// The cost of publishing one frame of the ten-channel meter, against Debian's
// broker started on a free localhost port. BM_stateJson is the payload alone;
// BM_publishAtMeterRate publishes at the meter's 45.7 frames/s, one frame per
// slot, and counts the process's CPU (the caller and the network thread) as
// points of one core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "mqtt/publisher.h"
#include "tests/mqtt/broker.h"

namespace {

StateMessage tenChannels()
{
    StateMessage m{1796699045678LL, "COM3", {}};
    for (int i = 0; i < 10; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 20.0 + i * 1.1);
        m.channels.push_back({"Channel " + std::to_string(i + 1), "Temperature",
                              20.0 + i * 1.1, text, "°C", "ok"});
    }
    return m;
}

double processCpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use.ru_utime.tv_sec + use.ru_utime.tv_usec / 1e6 + use.ru_stime.tv_sec +
           use.ru_stime.tv_usec / 1e6;
}

void BM_stateJson(benchmark::State& state)
{
    const StateMessage m = tenChannels();
    for (auto _ : state)
        benchmark::DoNotOptimize(stateJson(m));
}
BENCHMARK(BM_stateJson);

void BM_publishAtMeterRate(benchmark::State& state)
{
    testmqtt::Broker broker;
    PublisherSettings s;
    s.host = "127.0.0.1";
    s.port = broker.port();
    s.meterId = "bench";
    Publisher pub(s);
    testmqtt::eventually(
        [&] { return pub.status().state == PublisherStatus::State::Connected; });
    const StateMessage m = tenChannels();
    const auto slot = std::chrono::duration<double>(1.0 / 45.7);
    auto next = std::chrono::steady_clock::now();
    const double cpu0 = processCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        pub.publishState(m);
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(slot);
        std::this_thread::sleep_until(next);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    state.counters["core_points"] = 100.0 * (processCpuSeconds() - cpu0) / wall;
    state.counters["sent"] = static_cast<double>(pub.status().sent);
}
BENCHMARK(BM_publishAtMeterRate)->Iterations(1371)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
