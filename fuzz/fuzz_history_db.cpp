// libFuzzer target for opening a history: any bytes as the history file.
// Refused, the file's bytes are exactly as before and the reason names it.
// Opened, every query answers, and frames appended after its last one and
// flushed read back exactly: all of them, nothing else, texts as given.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "store/history_store.h"

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_history_db: %s\n", what);
        std::abort();
    }
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

const std::string& dir()
{
    static const std::string d = [] {
        char name[] = "/tmp/fuzz_history_db-XXXXXX";
        check(mkdtemp(name) != nullptr, "mkdtemp failed");
        return std::string(name);
    }();
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = dir() + "/h.sqlite";
    for (const char* suffix : {"", "-wal", "-shm", ".csv"})
        ::unlink((path + suffix).c_str());
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string error;
    auto store = HistoryStore::open(path, &error);
    if (!store) {
        check(readFile(path) == bytes, "a refused file was changed");
        check(error.find(path) != std::string::npos, "the reason does not name the file");
        return 0;
    }
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t first = 0, last = 0;
    const bool any = store->span(&first, &last);
    for (const HistorySeries& s : store->series(kMin, kMax)) {
        store->envelope(s.id, s.firstMs, s.lastMs, 5);
        if (any && last > first)
            store->envelope(s.id, first, last, 3);
    }
    store->gaps(kMin, kMax);
    if (any && last > (std::int64_t{1} << 60))
        return 0;  // no room after it for the frames below

    const std::int64_t t0 = (any ? last : 1767225600000) + 1000;
    const char* const texts[] = {"21.5", "E02", "-0.125", "7"};
    for (int i = 0; i < 4; ++i) {
        HistoryFrame f;
        f.utcMs = t0 + i * 100;
        f.port = 9;
        HistoryReading r;
        r.channel = 0;
        r.type = 6;
        r.sensor = "Fuzz";
        r.text = texts[i];
        r.value = texts[i][0] == 'E' ? std::numeric_limits<double>::quiet_NaN()
                                     : std::strtod(texts[i], nullptr);
        r.unit = "C";
        f.readings.push_back(r);
        store->append(f);
    }
    store->flush();
    check(store->status().state == HistoryStatus::State::Writing, "an opened history was not written");
    check(store->span(&first, &last) && last == t0 + 300, "the last frame is not the last appended");
    check(store->exportCsv(t0, t0 + 300, path + ".csv", &error), "export failed");
    const std::string csv = readFile(path + ".csv");
    std::size_t rows = 0;
    for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2))
        ++rows;
    check(rows == 5, "the export does not hold exactly the appended frames");
    for (const char* text : texts)
        check(csv.find(std::string(",") + text + ",C") != std::string::npos,
              "an appended reading is missing from the export");
    return 0;
}
