// The history file as the user keeps it: frames in, series, envelopes, gaps
// and a CSV out; files that are not ours left alone.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <chrono>
#include <ctime>
#include <random>

#include "tests/store/history_test_support.h"

namespace {

struct Utc {
    Utc()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST(HistoryStore, FramesComeBackAsSeriesEnvelopeAndCsv)
{
    Utc utc;
    TempDir dir;
    const std::string path = dir.file("sub/folder/history.sqlite");
    std::string error;
    auto store = HistoryStore::open(path, &error);
    ASSERT_TRUE(store) << error;

    HistoryFrame a;
    a.utcMs = kT0 + 5;
    a.port = 2;
    a.readings = {reading(0, "Temperature", "23.4", "C"),
                  reading(1, "Humidity", "E01", "%", "RH, \"room\"")};
    HistoryFrame b = a;
    b.utcMs = kT0 + 1250;
    b.readings = {reading(0, "Temperature", "23.40", "C"), reading(1, "Humidity", "-1.5", "%", "RH, \"room\"")};
    HistoryFrame c;
    c.utcMs = kT0 + 61'000;
    c.port = 2;
    c.readings = {reading(0, "Temperature", "19", "Nul")};  // a new identity
    for (const HistoryFrame* f : {&a, &b, &c})
        store->append(*f);
    store->flush();

    const auto series = store->series(kT0, kT0 + 100'000);
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(series[0].sensor, "Temperature");
    EXPECT_EQ(series[0].unit, "C");
    EXPECT_EQ(series[0].firstMs, kT0 + 5);
    EXPECT_EQ(series[0].lastMs, kT0 + 1250);
    EXPECT_EQ(series[1].description, "RH, \"room\"");
    EXPECT_EQ(series[2].unit, "Nul");
    std::int64_t first = 0, last = 0;
    ASSERT_TRUE(store->span(&first, &last));
    EXPECT_EQ(first, kT0 + 5);
    EXPECT_EQ(last, kT0 + 61'000);

    const auto env = store->envelope(series[1].id, kT0, kT0 + 2000, 2);
    ASSERT_EQ(env.size(), 2u);
    EXPECT_EQ(env[0].count, 0);  // the E-code has no value
    EXPECT_EQ(env[1].count, 1);
    EXPECT_EQ(env[1].min, -1.5);
    EXPECT_EQ(env[1].endMs, kT0 + 2000);

    const std::string csv = dir.file("out.csv");
    ASSERT_TRUE(store->exportCsv(kT0, kT0 + 100'000, csv, &error)) << error;
    EXPECT_EQ(readBytes(csv),
              "time,Temperature value,Temperature unit,\"RH, \"\"room\"\" value\","
              "\"RH, \"\"room\"\" unit\",Temperature value,Temperature unit\r\n"
              "2026-01-01T00:00:00.005,23.4,C,E01,%,,\r\n"
              "2026-01-01T00:00:01.250,23.40,C,-1.5,%,,\r\n"
              "2026-01-01T00:01:01.000,,,,,19,\r\n");
}

// Under a decimal-comma locale, as a user's desktop may have it.
TEST(HistoryStore, EnvelopeHoldsTheTrueMinMaxOfEachBucket)
{
    struct CommaLocale {
        CommaLocale() { std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); }
        ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
    } comma;
    TempDir dir;
    std::string error;
    auto store = HistoryStore::open(dir.file("h.sqlite"), &error);
    ASSERT_TRUE(store) << error;
    std::mt19937_64 random(7);
    std::vector<std::pair<std::int64_t, double>> truth;  // channel 0
    std::int64_t t = kT0 - 3'600'000 * 5 - 1234;
    for (int i = 0; i < 40000; ++i) {
        t += 200 + static_cast<std::int64_t>(random() % 900);
        if (random() % 5000 == 0)
            t += static_cast<std::int64_t>(random() % 7'200'000);  // a gap
        const double v = std::round((std::sin(i / 300.0) * 50 + (random() % 1000) / 100.0) * 10) / 10;
        truth.emplace_back(t, v);
        store->append(frameAt(t, v));
        if (i % 10000 == 0)
            store->flush();
    }
    store->flush();
    const auto series = store->series(t - 1, t);
    ASSERT_EQ(series.size(), 2u);
    const int id = series[0].id;
    for (int round = 0; round < 40; ++round) {
        const std::int64_t from = truth.front().first - 5000 +
                                  static_cast<std::int64_t>(random() % 3'000'000);
        const std::int64_t to = from + 1 + static_cast<std::int64_t>(random() % (t - from + 9000));
        const int n = 1 + static_cast<int>(random() % 1200);
        const auto env = store->envelope(id, from, to, n);
        ASSERT_EQ(env.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(env.front().startMs, from);
        EXPECT_EQ(env.back().endMs, to);
        std::size_t k = 0;
        for (const HistoryBucket& b : env) {
            while (k < truth.size() && truth[k].first < b.startMs)
                ++k;
            HistoryBucket want{b.startMs, b.endMs, 0, 0, 0};
            for (; k < truth.size() && truth[k].first < b.endMs; ++k) {
                const double v = std::stod(frameAt(0, truth[k].second).readings[0].text);
                want.min = want.count ? std::min(want.min, v) : v;
                want.max = want.count ? std::max(want.max, v) : v;
                ++want.count;
            }
            ASSERT_EQ(b.count, want.count) << round << " " << b.startMs << ".." << b.endMs;
            if (want.count) {
                ASSERT_EQ(b.min, want.min) << round << " " << b.startMs;
                ASSERT_EQ(b.max, want.max) << round << " " << b.startMs;
            }
        }
    }
}

// A file that is not a history of ours, or one another store holds, is
// refused with its name in the message and its bytes untouched.
TEST(HistoryStore, FilesNotOursOrInUseAreLeftAlone)
{
    TempDir dir;
    std::string error;
    const std::string ours = dir.file("ours.sqlite");
    {
        auto store = HistoryStore::open(ours, &error);
        ASSERT_TRUE(store) << error;
        for (int i = 0; i < 3000; ++i)
            store->append(frameAt(kT0 + i * 100, i % 50));
    }
    const std::string truncated = dir.file("truncated.sqlite");
    std::string bytes = readBytes(ours);
    writeBytes(truncated, bytes.substr(0, bytes.size() / 2 / 4096 * 4096));

    const std::string random = dir.file("random.sqlite");
    std::string noise(20000, '\0');
    std::mt19937 gen(1);
    for (char& c : noise)
        c = static_cast<char>(gen());
    writeBytes(random, noise);

    const std::string other = dir.file("other.sqlite");
    sqlite3* db = nullptr;
    sqlite3_open(other.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE series(x); CREATE TABLE sample(y);", nullptr, nullptr, nullptr);
    sqlite3_close(db);

    const std::string newer = dir.file("newer.sqlite");
    writeBytes(newer, bytes);
    sqlite3_open(newer.c_str(), &db);
    sqlite3_exec(db, "PRAGMA user_version=2", nullptr, nullptr, nullptr);
    sqlite3_close(db);

    const std::string held = dir.file("held.sqlite");
    auto holder = HistoryStore::open(held, &error);
    ASSERT_TRUE(holder) << error;
    holder->append(frameAt(kT0, 1));
    holder->flush();

    // Held by another process: a child keeps it open until told to end.
    const std::string child = dir.file("child.sqlite");
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        std::string e;
        auto s = HistoryStore::open(child, &e);
        char c = s ? '1' : '0';
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        s.reset();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');

    struct Case {
        const std::string& path;
        const char* says;
    } cases[] = {
        {random, "not a Merrivan history"},  {other, "another program"},
        {truncated, "damaged"},              {newer, "newer version"},
        {held, "already open"},
        {child, "another running Merrivan"},
    };
    for (const Case& k : cases) {
        const std::string before = readBytes(k.path);
        error.clear();
        EXPECT_FALSE(HistoryStore::open(k.path, &error)) << k.path;
        EXPECT_NE(error.find(k.path), std::string::npos) << error;
        EXPECT_NE(error.find(k.says), std::string::npos) << error;
        EXPECT_EQ(readBytes(k.path), before) << k.path;
    }
    (void)!write(release[1], &c, 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(HistoryStore::open(child, &error)) << error;
}

// Readings older than the age limit go, whole hours at a time, rollups and
// events with them; the rest stays.
TEST(HistoryStore, RetentionDropsTheOldestHours)
{
    TempDir dir;
    std::string error;
    auto store = HistoryStore::open(dir.file("h.sqlite"), &error);
    ASSERT_TRUE(store) << error;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    const std::int64_t day = 86'400'000;
    for (std::int64_t t = now - 5 * day; t < now; t += 60'000)
        store->append(frameAt(t, 1));
    store->appendEvent({now - 4 * day, 3, HistoryEventKind::DeviceLost, ""});
    store->flush();
    const auto series = store->series(now - day, now);
    ASSERT_EQ(series.size(), 2u);
    const int id = series[0].id;
    ASSERT_EQ(store->gaps(now - 5 * day, now).size(), 1u);

    store->setRetention({2, 0});
    store->flush();
    std::int64_t first = 0, last = 0;
    ASSERT_TRUE(store->span(&first, &last));
    EXPECT_GE(first, now - 2 * day - 3'600'000);
    EXPECT_LT(first, now - 2 * day + 60'000);
    EXPECT_EQ(store->envelope(id, now - 6 * day, first, 1)[0].count, 0);
    EXPECT_EQ(store->envelope(id, first, now, 1)[0].count, (now - first + 59'999) / 60'000);
    EXPECT_TRUE(store->gaps(now - 5 * day, now).empty());
}

}  // namespace
