// Faults as they happen: the writer killed with SIGKILL, the disk full (a
// file size limit). A child process takes the fault; the parent reads what
// the file kept.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/store/history_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kFrameMs = 22;  // 45.7 frames/s

bool hasGap(const std::vector<HistoryGap>& gaps, HistoryEventKind why, std::int64_t from)
{
    for (const HistoryGap& g : gaps)
        if (g.why == why && g.fromMs == from)
            return true;
    return false;
}

// The history a dead writer left, opened again with what it spans.
struct Reopened {
    std::unique_ptr<HistoryStore> store;
    std::string error;
    std::int64_t first = 0, last = 0;
    std::vector<HistorySeries> series;
};

Reopened reopen(const std::string& path)
{
    Reopened r;
    r.store = HistoryStore::open(path, &r.error);
    if (r.store && r.store->span(&r.first, &r.last))
        r.series = r.store->series(r.first, r.last);
    return r;
}

TEST(HistoryFaults, KillLosesAtMostTheLastSecondAndLeavesACrashGap)
{
    TempDir dir;
    const std::string path = dir.file("h.sqlite");
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(progress[0]);
        std::string error;
        auto store = HistoryStore::open(path, &error);
        if (!store)
            _exit(2);
        for (int i = 0;; ++i) {
            store->append(frameAt(kT0 + i * kFrameMs, i % 100));
            if (write(progress[1], &i, sizeof i) != sizeof i)
                _exit(3);
            std::this_thread::sleep_for(std::chrono::milliseconds(kFrameMs));
        }
    }
    close(progress[1]);
    // When each frame was appended, as the parent learned it.
    std::vector<Clock::time_point> appended;
    const auto killAt = Clock::now() + std::chrono::milliseconds(3500);
    while (Clock::now() < killAt) {
        pollfd p{progress[0], POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            int i = 0;
            ASSERT_EQ(read(progress[0], &i, sizeof i), static_cast<ssize_t>(sizeof i));
            ASSERT_EQ(i, static_cast<int>(appended.size()));
            appended.push_back(Clock::now());
        }
    }
    kill(pid, SIGKILL);
    const auto killed = Clock::now();
    int status = 0;
    waitpid(pid, &status, 0);
    close(progress[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    int mustHave = 0;  // frames appended more than 1.5 s before the kill
    while (mustHave < static_cast<int>(appended.size()) &&
           killed - appended[static_cast<std::size_t>(mustHave)] > std::chrono::milliseconds(1500))
        ++mustHave;
    ASSERT_GT(mustHave, 40);

    const Reopened r = reopen(path);
    ASSERT_TRUE(r.store) << r.error;
    ASSERT_EQ(r.series.size(), 2u);
    const auto& store = r.store;
    const auto& series = r.series;
    const std::int64_t last = r.last;
    const auto kept = store->envelope(series[0].id, kT0, kT0 + mustHave * kFrameMs, 1);
    EXPECT_EQ(kept[0].count, mustHave);
    EXPECT_TRUE(hasGap(store->gaps(kT0, last + 10'000), HistoryEventKind::ProgramStopped, last));
}

// Returns from the child with the number of the check that failed.
int fullDiskChild(const std::string& path)
{
    signal(SIGXFSZ, SIG_IGN);
    std::string error;
    auto store = HistoryStore::open(path, &error);
    if (!store)
        return 10;
    int i = 0;
    for (; i < 100; ++i)
        store->append(frameAt(kT0 + i * kFrameMs, 1));
    store->flush();
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t was = limit.rlim_cur;
    limit.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &limit);
    for (; i < 200; ++i) {
        const auto before = Clock::now();
        store->append(frameAt(kT0 + i * kFrameMs, 2));
        if (Clock::now() - before > std::chrono::milliseconds(100))
            return 11;  // an append waited
    }
    store->flush();
    const HistoryStatus paused = store->status();
    if (paused.state != HistoryStatus::State::Paused)
        return 12;
    if (paused.message.find(path) == std::string::npos || paused.framesDropped == 0)
        return 13;
    limit.rlim_cur = was;
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto giveUp = Clock::now() + std::chrono::seconds(15);
    while (store->status().state != HistoryStatus::State::Writing) {
        if (Clock::now() > giveUp)
            return 14;
        store->append(frameAt(kT0 + i++ * kFrameMs, 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(kFrameMs));
    }
    for (int k = 0; k < 50; ++k, ++i)
        store->append(frameAt(kT0 + i * kFrameMs, 3));
    store->flush();
    return store->status().state == HistoryStatus::State::Writing ? 0 : 15;
}

TEST(HistoryFaults, FullDiskPausesAndResumes)
{
    TempDir dir;
    const std::string path = dir.file("h.sqlite");
    const pid_t pid = fork();
    if (pid == 0)
        _exit(fullDiskChild(path));
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "check that failed in the child";

    const Reopened r = reopen(path);
    ASSERT_TRUE(r.store) << r.error;
    ASSERT_EQ(r.series.size(), 2u);
    const auto& store = r.store;
    const auto& series = r.series;
    const std::int64_t last = r.last;
    // Before the pause all 100 frames, none while paused, after it the 50 of value 3.
    const auto before = store->envelope(series[0].id, kT0, kT0 + 100 * kFrameMs, 1);
    EXPECT_EQ(before[0].count, 100);
    EXPECT_EQ(before[0].max, 1);
    const auto after = store->envelope(series[0].id, last - 49 * kFrameMs, last + 1, 1);
    EXPECT_EQ(after[0].count, 50);
    EXPECT_EQ(after[0].min, 3);
    EXPECT_TRUE(hasGap(store->gaps(kT0, last), HistoryEventKind::Paused, kT0 + 100 * kFrameMs));
}

}  // namespace
