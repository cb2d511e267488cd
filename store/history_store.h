// The history: every reading the meter sends, kept in an SQLite file (WAL),
// with the events that explain its gaps. Qt-free. Appends are queued and a
// writer thread commits them about once a second, so the receive path never
// waits for the disk and a crash loses at most the last second.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct HistoryReading {
    int channel = 0;           // position in the meter's frame, 0..9
    int type = 0;              // sensor type index (core/channel.h)
    std::string sensor;        // sensor name ("Temperature")
    std::string description;   // the meter's channel name, "" when none
    double value = 0;          // quiet NaN for an error code
    std::string text;          // value text as shown ("23.4", "E01")
    std::string unit;          // unit as the meter sent it ("Nul" when none)
};

struct HistoryFrame {
    std::int64_t utcMs = 0;  // the PC's wall clock, UTC milliseconds
    int port = 0;            // COM number
    std::vector<HistoryReading> readings;
};

enum class HistoryEventKind : int {
    ProgramStarted = 1,
    ProgramStopped = 2,  // a clean exit; a start without one before it records a crash
    LinkOpened = 3,
    DeviceLost = 4,
    NoData = 5,
    Paused = 6,   // disk full or write failure: nothing kept until Resumed
    Resumed = 7,
};

struct HistoryEvent {
    std::int64_t utcMs = 0;
    int port = 0;
    HistoryEventKind kind = HistoryEventKind::ProgramStarted;
    std::string text;
};

// What the store is doing, for the status line; safe from any thread.
struct HistoryStatus {
    enum class State { Writing, Paused, Failed } state = State::Writing;
    std::string message;  // why paused or failed; "" while writing
    std::uint64_t framesKept = 0;     // committed since open
    std::uint64_t framesPending = 0;  // queued, not yet committed
    std::uint64_t framesDropped = 0;  // not kept since open (paused, queue full)
};

// One channel as the history knows it: a port, a position and the identity
// (sensor type, description, unit) it had; a new identity is a new series.
struct HistorySeries {
    int id = 0;
    int port = 0;
    int channel = 0;
    int type = 0;
    std::string sensor;
    std::string description;
    std::string unit;
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
};

// One pixel column of a trace: the true minimum and maximum of the numeric
// values in [startMs, endMs), and how many there were (0: nothing, a gap).
struct HistoryBucket {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    double min = 0;
    double max = 0;
    std::int64_t count = 0;
};

struct HistoryGap {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    HistoryEventKind why = HistoryEventKind::ProgramStopped;
};

struct HistoryRetention {
    int maxAgeDays = 0;          // 0: no age limit
    std::int64_t maxBytes = 0;   // 0: no size limit
};

class HistoryStore {
public:
    // Opens the file at path, creating it (and nothing else) when missing.
    // A file that is not a history of this program, is damaged or is locked
    // by another writer is never changed or replaced: nullptr and the reason
    // in *error, in words a user can act on.
    static std::unique_ptr<HistoryStore> open(const std::string& path, std::string* error);
    virtual ~HistoryStore() = default;  // commits what is queued, then closes

    // Queue for the writer thread; never blocks on the disk.
    virtual void append(const HistoryFrame& frame) = 0;
    virtual void appendEvent(const HistoryEvent& event) = 0;
    // Commits everything queued before returning (exit, tests).
    virtual void flush() = 0;
    virtual HistoryStatus status() const = 0;

    // Reading, on a connection of its own; safe while the writer runs.
    virtual std::vector<HistorySeries> series(std::int64_t fromMs, std::int64_t toMs) const = 0;
    // First and last time held; false when empty.
    virtual bool span(std::int64_t* firstMs, std::int64_t* lastMs) const = 0;
    // buckets equal columns over [fromMs, toMs), each with the true min and
    // max: whole rollup buckets (10 s, minute, hour) where they fit inside a
    // column, raw frames only for the pieces of less than 10 s at its ends.
    virtual std::vector<HistoryBucket> envelope(int seriesId, std::int64_t fromMs,
                                                std::int64_t toMs, int buckets) const = 0;
    // Times with no frame: program closed, device lost, no data, paused.
    virtual std::vector<HistoryGap> gaps(std::int64_t fromMs, std::int64_t toMs) const = 0;
    // The frames of [fromMs, toMs] as CSV with the columns of a saved CSV
    // data file; false with errno-style reason in *error when writing failed.
    virtual bool exportCsv(std::int64_t fromMs, std::int64_t toMs, const std::string& path,
                           std::string* error) const = 0;

    virtual void setRetention(const HistoryRetention& retention) = 0;  // pruned by the writer
    virtual std::int64_t fileBytes() const = 0;
};
