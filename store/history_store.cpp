#include "store/history_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

#include "store/history_db.h"

using namespace history;

namespace {

constexpr std::size_t kQueueCap = 65536;     // frames; beyond, dropped and counted
constexpr auto kCommitEvery = std::chrono::seconds(1);
constexpr auto kRetryEvery = std::chrono::seconds(3);
constexpr auto kPruneEvery = std::chrono::seconds(30);
// A history larger than this is opened without the page-by-page check, which
// would hold up the start by seconds; its header and tables are still checked.
constexpr long long kQuickCheckBytes = 64LL << 20;

std::int64_t wallMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Histories held open by this process: another open of the same file in it
// must be refused before anything touches the file, since closing any
// descriptor of a file drops the process's SQLite locks on it.
std::mutex openFilesMutex;
std::set<std::pair<dev_t, ino_t>> openFiles;

std::uint32_t be32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// The sentence for a file that is left alone.
std::string refusal(const std::string& path, const std::string& what, const std::string& todo)
{
    return "The history file " + quoted(path) + " " + what + ". It was left unchanged; " + todo +
           ".";
}

const char* const kMoveAway =
    "move or rename it, and Merrivan starts a new history there at its next start";

bool makeFolders(const std::string& path, std::string* error)
{
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        const std::string dir = path.substr(0, i);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = "The folder " + quoted(dir) + " for the history cannot be made (" +
                     std::strerror(errno) + "); check its place and permissions.";
            return false;
        }
    }
    return true;
}

// A new history is made complete under a temporary name and then given its
// name only if nothing has taken it meanwhile, so no half-made file is left
// and nothing that appeared there is replaced.
bool createHistory(const std::string& path, std::string* error)
{
    if (!makeFolders(path, error))
        return false;
    const std::string tmp = path + ".new-" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(tmp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    std::string why;
    bool ok = rc == SQLITE_OK;
    if (ok) {
        char pragmas[256];
        std::snprintf(pragmas, sizeof pragmas,
                      "PRAGMA page_size=4096; PRAGMA auto_vacuum=INCREMENTAL;"
                      "PRAGMA application_id=%u; PRAGMA user_version=%d;",
                      kApplicationId, kSchemaVersion);
        ok = exec(db, pragmas, &why) && createSchema(db, &why) &&
             exec(db, "PRAGMA journal_mode=WAL", &why);
    } else {
        why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    }
    if (sqlite3_close(db) != SQLITE_OK && ok) {
        ok = false;
        why = "closing failed";
    }
    if (ok && ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        // Without renameat2 (some file systems), a hard link does the same.
        if (errno == EEXIST || (::link(tmp.c_str(), path.c_str()) != 0 && errno != EEXIST)) {
            if (errno != EEXIST) {
                ok = false;
                why = std::strerror(errno);
            }
        }
    }
    ::unlink(tmp.c_str());
    ::unlink((tmp + "-wal").c_str());
    ::unlink((tmp + "-shm").c_str());
    if (!ok)
        *error = "A new history cannot be made at " + quoted(path) + " (" + why +
                 "); check that its folder is writable and has room.";
    return ok;
}

// Reads the database header (first 100 bytes) and says what is wrong with it
// for a history, or "" when it is one.
std::string checkHeader(int fd, const std::string& path, long long size)
{
    if (size == 0)
        return refusal(path, "is empty, not a Merrivan history", kMoveAway);
    unsigned char h[100];
    const ssize_t n = ::pread(fd, h, sizeof h, 0);
    if (n < 0)
        return refusal(path, std::string("cannot be read (") + std::strerror(errno) + ")",
                       "check the disk and the file's permissions");
    if (n < 100 || std::memcmp(h, "SQLite format 3", 16) != 0)
        return refusal(path, "is not a Merrivan history (it is not an SQLite database)",
                       kMoveAway);
    if (be32(h + 68) != kApplicationId)
        return refusal(path, "is an SQLite database of another program, not a Merrivan history",
                       kMoveAway);
    const std::uint32_t version = be32(h + 60);
    if (version > static_cast<std::uint32_t>(kSchemaVersion))
        return refusal(path, "was written by a newer version of Merrivan",
                       "use that version, or move the file away to start a new history");
    std::uint32_t pageSize = (std::uint32_t{h[16]} << 8) | h[17];
    if (pageSize == 1)
        pageSize = 65536;
    const bool pageOk = pageSize >= 512 && pageSize <= 65536 && (pageSize & (pageSize - 1)) == 0;
    const std::uint32_t pages = be32(h + 28);
    const bool sizeValid = be32(h + 92) == be32(h + 24);
    if (!pageOk || version == 0 || size % pageSize != 0 ||
        (sizeValid && static_cast<long long>(pages) * pageSize > size))
        return refusal(path, "is damaged (it is shorter than its header says, or malformed)",
                       kMoveAway);
    return {};
}

// Checks through SQLite itself, on a read-only connection: the pages (for a
// file of moderate size) and the tables.
std::string checkContent(const std::string& path, long long size)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::string problem;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        if (size <= kQuickCheckBytes) {
            Stmt check(db, "PRAGMA quick_check(1)");
            rc = check ? sqlite3_step(check.get()) : sqlite3_errcode(db);
            const unsigned char* r =
                rc == SQLITE_ROW ? sqlite3_column_text(check.get(), 0) : nullptr;
            if (!r || std::strcmp(reinterpret_cast<const char*>(r), "ok") != 0)
                problem = "damaged";
        }
        if (problem.empty() && !hasSchema(db))
            problem = sqlite3_errcode(db) == SQLITE_BUSY ? "busy" : "damaged";
    } else {
        problem = sqlite3_errcode(db) == SQLITE_BUSY ? "busy" : "damaged";
    }
    sqlite3_close(db);
    if (problem == "busy")
        return refusal(path, "is being written by another program",
                       "close that program and start Merrivan again");
    if (!problem.empty())
        return refusal(path, "is damaged (SQLite cannot read all of it)", kMoveAway);
    return {};
}

struct Agg {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    std::int64_t n = 0;
    void add(double l, double h, std::int64_t c)
    {
        if (c <= 0)
            return;
        lo = std::min(lo, l);
        hi = std::max(hi, h);
        n += c;
    }
};

struct ReadTransaction {
    sqlite3* db;
    explicit ReadTransaction(sqlite3* d) : db(d) { exec(db, "BEGIN"); }
    ~ReadTransaction() { exec(db, "COMMIT"); }
};

struct SeriesKey {
    int port, channel, type;
    std::string sensor, description, unit;
    auto tie() const { return std::tie(port, channel, type, sensor, description, unit); }
    bool operator<(const SeriesKey& o) const { return tie() < o.tie(); }
};

class SqliteHistory final : public HistoryStore {
public:
    SqliteHistory(std::string path, int lockFd, std::pair<dev_t, ino_t> id)
        : path_(std::move(path)), lockFd_(lockFd), id_(id)
    {
    }
    ~SqliteHistory() override;

    bool start(std::string* error);

    void append(const HistoryFrame& frame) override;
    void appendEvent(const HistoryEvent& event) override;
    void flush() override;
    HistoryStatus status() const override;
    std::vector<HistorySeries> series(std::int64_t fromMs, std::int64_t toMs) const override;
    bool span(std::int64_t* firstMs, std::int64_t* lastMs) const override;
    std::vector<HistoryBucket> envelope(int seriesId, std::int64_t fromMs, std::int64_t toMs,
                                        int buckets) const override;
    std::vector<HistoryGap> gaps(std::int64_t fromMs, std::int64_t toMs) const override;
    bool exportCsv(std::int64_t fromMs, std::int64_t toMs, const std::string& path,
                   std::string* error) const override;
    void setRetention(const HistoryRetention& retention) override;
    std::int64_t fileBytes() const override;

private:
    // Writer thread.
    void run();
    void process(std::vector<HistoryFrame>& frames, std::vector<HistoryEvent>& events,
                 const HistoryRetention& retention);
    bool commit(const std::vector<HistoryFrame>& frames, const std::vector<HistoryEvent>& events);
    bool insertEvent(const HistoryEvent& e);
    int seriesFor(const HistoryFrame& f, const HistoryReading& r);
    void pause(std::int64_t atMs);
    void tryResume();
    void prune(const HistoryRetention& retention);
    bool pruneBefore(std::int64_t endMs);
    void recordCrash();

    // Reader.
    void cover(int seriesId, std::int64_t a, std::int64_t b, int tier, Agg* acc) const;

    const std::string path_;
    int lockFd_ = -1;
    std::pair<dev_t, ino_t> id_;

    sqlite3* wdb_ = nullptr;  // the writer thread's
    sqlite3* rdb_ = nullptr;  // readers', under readMutex_
    mutable std::mutex readMutex_;

    mutable std::mutex queueMutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<HistoryFrame> frames_;
    std::vector<HistoryEvent> events_;
    std::size_t inFlight_ = 0;
    std::uint64_t flushAsked_ = 0;
    std::uint64_t flushDone_ = 0;
    bool stop_ = false;
    HistoryRetention retention_;
    HistoryStatus status_;  // under queueMutex_ (framesPending computed)
    std::thread writer_;

    // Writer-thread state.
    struct Writes {
        Stmt begin, commit, rollback, frame, event, series, seriesFind, seriesSpan, rollup;
    };
    std::unique_ptr<Writes> w_ = std::make_unique<Writes>();
    std::string lastError_;
    std::string blob_;
    std::vector<int> ids_;
    std::atomic<bool> nextPruneNow_{false};
    struct Reads {
        Stmt raw;
        Stmt rollup[kTiers];
    };
    mutable std::unique_ptr<Reads> r_;  // under readMutex_
    std::map<SeriesKey, int> seriesIds_;
    bool paused_ = false;
    std::int64_t pausedAtMs_ = 0;
    std::uint64_t droppedWhilePaused_ = 0;
    std::vector<HistoryEvent> heldEvents_;  // arrived while paused
    std::chrono::steady_clock::time_point nextRetry_;
    std::chrono::steady_clock::time_point nextPrune_;
};

SqliteHistory::~SqliteHistory()
{
    if (writer_.joinable()) {
        {
            std::lock_guard lock(queueMutex_);
            stop_ = true;
        }
        wake_.notify_all();
        writer_.join();
    }
    w_.reset();
    r_.reset();
    sqlite3_close_v2(rdb_);
    sqlite3_close_v2(wdb_);
    if (lockFd_ >= 0)
        ::close(lockFd_);
    std::lock_guard lock(openFilesMutex);
    openFiles.erase(id_);
}

bool SqliteHistory::start(std::string* error)
{
    auto fail = [&](const char* what) {
        *error = refusal(path_, std::string(what) + " (" + sqlite3_errmsg(wdb_ ? wdb_ : rdb_) + ")",
                         "check the disk and the file's permissions");
        return false;
    };
    if (sqlite3_open_v2(path_.c_str(), &wdb_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        return fail("cannot be opened for writing");
    sqlite3_busy_timeout(wdb_, 2000);
    if (!exec(wdb_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                    "PRAGMA journal_size_limit=67108864;"))
        return fail("cannot be written");
    if (sqlite3_open_v2(path_.c_str(), &rdb_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        return fail("cannot be opened for reading");
    sqlite3_busy_timeout(rdb_, 2000);
    // Envelopes jump about a large file: its pages mapped rather than read
    // one system call at a time.
    exec(rdb_, "PRAGMA mmap_size=1073741824; PRAGMA cache_size=-16384;");

    w_->begin.prepare(wdb_, "BEGIN IMMEDIATE");
    w_->commit.prepare(wdb_, "COMMIT");
    w_->rollback.prepare(wdb_, "ROLLBACK");
    w_->frame.prepare(wdb_, "INSERT OR IGNORE INTO frame(t, data) VALUES(?,?)");
    w_->event.prepare(wdb_, "INSERT INTO event(t, port, kind, text) VALUES(?,?,?,?)");
    w_->series.prepare(wdb_,
                      "INSERT INTO series(port, channel, type, sensor, description, unit, "
                      "first_ms, last_ms) VALUES(?,?,?,?,?,?,?,?)");
    w_->seriesFind.prepare(wdb_,
                          "SELECT id FROM series WHERE port=? AND channel=? AND type=? AND "
                          "sensor=? AND description=? AND unit=? ORDER BY id DESC LIMIT 1");
    w_->seriesSpan.prepare(wdb_,
                          "UPDATE series SET first_ms=min(first_ms,?2), last_ms=max(last_ms,?3) "
                          "WHERE id=?1");
    w_->rollup.prepare(wdb_,
                      "INSERT INTO rollup(tier, series, bucket, lo, hi, n) VALUES(?,?,?,?,?,?) "
                      "ON CONFLICT(tier, series, bucket) DO UPDATE SET lo=min(lo, excluded.lo), "
                      "hi=max(hi, excluded.hi), n=n+excluded.n");
    if (!w_->begin || !w_->commit || !w_->rollback || !w_->frame || !w_->event || !w_->series ||
        !w_->seriesFind || !w_->seriesSpan || !w_->rollup)
        return fail("cannot be used (its tables are not as expected)");
    recordCrash();
    writer_ = std::thread([this] { run(); });
    return true;
}

// A start with no clean stop since the last frame follows a crash, a kill or
// a power cut: the gap from that frame on is said so.
void SqliteHistory::recordCrash()
{
    Stmt last(wdb_,
              "SELECT (SELECT max(t) FROM frame), "
              "(SELECT max(t) FROM event WHERE kind=2)");
    if (!last || sqlite3_step(last.get()) != SQLITE_ROW ||
        sqlite3_column_type(last.get(), 0) == SQLITE_NULL)
        return;
    const std::int64_t lastFrame = sqlite3_column_int64(last.get(), 0);
    if (sqlite3_column_type(last.get(), 1) != SQLITE_NULL &&
        sqlite3_column_int64(last.get(), 1) >= lastFrame)
        return;
    HistoryEvent e;
    e.utcMs = lastFrame;
    e.kind = HistoryEventKind::ProgramStopped;
    e.text = "program ended unexpectedly";
    sqlite3_step(w_->begin.fresh());
    if (insertEvent(e))
        sqlite3_step(w_->commit.fresh());
    else
        sqlite3_step(w_->rollback.fresh());
}

void SqliteHistory::append(const HistoryFrame& frame)
{
    std::lock_guard lock(queueMutex_);
    if (frames_.size() >= kQueueCap) {
        ++status_.framesDropped;
        return;
    }
    frames_.push_back(frame);
}

void SqliteHistory::appendEvent(const HistoryEvent& event)
{
    std::lock_guard lock(queueMutex_);
    if (events_.size() < kQueueCap)
        events_.push_back(event);
}

void SqliteHistory::flush()
{
    std::unique_lock lock(queueMutex_);
    const std::uint64_t ticket = ++flushAsked_;
    wake_.notify_all();
    done_.wait(lock, [&] { return flushDone_ >= ticket || !writer_.joinable(); });
}

HistoryStatus SqliteHistory::status() const
{
    std::lock_guard lock(queueMutex_);
    HistoryStatus s = status_;
    s.framesPending = frames_.size() + inFlight_;
    return s;
}

void SqliteHistory::setRetention(const HistoryRetention& retention)
{
    {
        std::lock_guard lock(queueMutex_);
        retention_ = retention;
    }
    nextPruneNow_ = true;
    wake_.notify_all();
}

std::int64_t SqliteHistory::fileBytes() const
{
    std::int64_t total = 0;
    struct stat st{};
    for (const char* suffix : {"", "-wal"})
        if (::stat((path_ + suffix).c_str(), &st) == 0)
            total += st.st_size;
    return total;
}

// ---------------------------------------------------------------- writer

void SqliteHistory::run()
{
    std::vector<HistoryFrame> frames;
    std::vector<HistoryEvent> events;
    std::unique_lock lock(queueMutex_);
    for (;;) {
        wake_.wait_for(lock, kCommitEvery, [&] { return stop_ || flushAsked_ > flushDone_; });
        const bool stopping = stop_;
        const std::uint64_t asked = flushAsked_;
        frames.swap(frames_);
        events.swap(events_);
        inFlight_ = frames.size();
        const HistoryRetention retention = retention_;
        lock.unlock();
        process(frames, events, retention);
        // At the end, a pause and the events held through it are recorded
        // if the disk lets them be.
        if (stopping && paused_)
            tryResume();
        frames.clear();
        events.clear();
        lock.lock();
        inFlight_ = 0;
        flushDone_ = asked;
        done_.notify_all();
        if (stopping && frames_.empty() && events_.empty())
            break;
    }
}

void SqliteHistory::process(std::vector<HistoryFrame>& frames, std::vector<HistoryEvent>& events,
                            const HistoryRetention& retention)
{
    const auto now = std::chrono::steady_clock::now();
    if (paused_) {
        droppedWhilePaused_ += frames.size();
        {
            std::lock_guard lock(queueMutex_);
            status_.framesDropped += frames.size();
        }
        for (auto& e : events)
            if (heldEvents_.size() < 1000)
                heldEvents_.push_back(std::move(e));
        if (now >= nextRetry_)
            tryResume();
        return;
    }
    if (!frames.empty() || !events.empty()) {
        if (commit(frames, events)) {
            std::lock_guard lock(queueMutex_);
            status_.framesKept += frames.size();
        } else {
            pause(frames.empty() ? wallMs() : frames.front().utcMs);
            droppedWhilePaused_ += frames.size();
            std::lock_guard lock(queueMutex_);
            status_.framesDropped += frames.size();
            for (auto& e : events)
                heldEvents_.push_back(std::move(e));
            return;
        }
    }
    if ((retention.maxAgeDays > 0 || retention.maxBytes > 0) &&
        (now >= nextPrune_ || nextPruneNow_.exchange(false))) {
        nextPrune_ = now + kPruneEvery;
        prune(retention);
    }
}

bool SqliteHistory::insertEvent(const HistoryEvent& e)
{
    sqlite3_stmt* s = w_->event.fresh();
    sqlite3_bind_int64(s, 1, e.utcMs);
    sqlite3_bind_int(s, 2, e.port);
    sqlite3_bind_int(s, 3, static_cast<int>(e.kind));
    sqlite3_bind_text(s, 4, e.text.data(), static_cast<int>(e.text.size()), SQLITE_STATIC);
    return sqlite3_step(s) == SQLITE_DONE;
}

int SqliteHistory::seriesFor(const HistoryFrame& f, const HistoryReading& r)
{
    SeriesKey key{f.port, r.channel, r.type, r.sensor, r.description, r.unit};
    const auto found = seriesIds_.find(key);
    if (found != seriesIds_.end())
        return found->second;
    auto bind = [&](sqlite3_stmt* s) {
        sqlite3_bind_int(s, 1, f.port);
        sqlite3_bind_int(s, 2, r.channel);
        sqlite3_bind_int(s, 3, r.type);
        sqlite3_bind_text(s, 4, r.sensor.data(), static_cast<int>(r.sensor.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 5, r.description.data(), static_cast<int>(r.description.size()),
                          SQLITE_STATIC);
        sqlite3_bind_text(s, 6, r.unit.data(), static_cast<int>(r.unit.size()), SQLITE_STATIC);
    };
    int id = 0;
    sqlite3_stmt* s = w_->seriesFind.fresh();
    bind(s);
    if (sqlite3_step(s) == SQLITE_ROW) {
        id = sqlite3_column_int(s, 0);
    } else {
        s = w_->series.fresh();
        bind(s);
        sqlite3_bind_int64(s, 7, f.utcMs);
        sqlite3_bind_int64(s, 8, f.utcMs);
        if (sqlite3_step(s) != SQLITE_DONE)
            return 0;
        id = static_cast<int>(sqlite3_last_insert_rowid(wdb_));
    }
    sqlite3_reset(w_->seriesFind.get());
    seriesIds_.emplace(std::move(key), id);
    return id;
}

// One transaction for the batch: its events, its samples, the rollups of
// their values and the spans of their series.
bool SqliteHistory::commit(const std::vector<HistoryFrame>& frames,
                           const std::vector<HistoryEvent>& events)
{
    if (sqlite3_step(w_->begin.fresh()) != SQLITE_DONE) {
        lastError_ = sqlite3_errmsg(wdb_);
        return false;
    }
    bool ok = true;
    for (const HistoryEvent& e : events)
        ok = ok && insertEvent(e);
    // (tier, series, bucket) -> min, max, count of this batch
    std::map<std::tuple<int, int, std::int64_t>, Agg> rollups;
    std::map<int, std::pair<std::int64_t, std::int64_t>> spans;
    std::string& blob = blob_;
    std::vector<int>& ids = ids_;
    for (const HistoryFrame& f : frames) {
        if (!ok)
            break;
        blob.clear();
        ids.clear();
        for (const HistoryReading& r : f.readings) {
            const int id = seriesFor(f, r);
            if (id == 0) {
                ok = false;
                break;
            }
            ids.push_back(id);
            encodeReading(blob, id, r.value, r.text.data(), r.text.size());
        }
        // Two frames in the same millisecond (two ports, a clock set back):
        // the later one takes the next free millisecond rather than being lost.
        std::int64_t t = f.utcMs;
        for (int attempt = 0; ok && attempt < 1000; ++attempt, ++t) {
            sqlite3_stmt* s = w_->frame.fresh();
            sqlite3_bind_int64(s, 1, t);
            sqlite3_bind_blob(s, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
            ok = sqlite3_step(s) == SQLITE_DONE;
            if (ok && sqlite3_changes(wdb_) == 1)
                break;
        }
        for (std::size_t k = 0; ok && k < ids.size(); ++k) {
            const int id = ids[k];
            auto [sp, fresh] = spans.try_emplace(id, t, t);
            if (!fresh) {
                sp->second.first = std::min(sp->second.first, t);
                sp->second.second = std::max(sp->second.second, t);
            }
            const double v = f.readings[k].value;
            if (v == v)
                for (int tier = 0; tier < kTiers; ++tier) {
                    const std::int64_t b = floorDiv(t, kTierMs[tier]) * kTierMs[tier];
                    rollups[{tier, id, b}].add(v, v, 1);
                }
        }
    }
    for (const auto& [key, agg] : rollups) {
        if (!ok)
            break;
        sqlite3_stmt* s = w_->rollup.fresh();
        sqlite3_bind_int(s, 1, std::get<0>(key));
        sqlite3_bind_int(s, 2, std::get<1>(key));
        sqlite3_bind_int64(s, 3, std::get<2>(key));
        sqlite3_bind_double(s, 4, agg.lo);
        sqlite3_bind_double(s, 5, agg.hi);
        sqlite3_bind_int64(s, 6, agg.n);
        ok = sqlite3_step(s) == SQLITE_DONE;
    }
    for (const auto& [id, sp] : spans) {
        if (!ok)
            break;
        sqlite3_stmt* s = w_->seriesSpan.fresh();
        sqlite3_bind_int(s, 1, id);
        sqlite3_bind_int64(s, 2, sp.first);
        sqlite3_bind_int64(s, 3, sp.second);
        ok = sqlite3_step(s) == SQLITE_DONE;
    }
    ok = ok && sqlite3_step(w_->commit.fresh()) == SQLITE_DONE;
    if (!ok) {
        lastError_ = sqlite3_errmsg(wdb_);
        sqlite3_step(w_->rollback.fresh());
        seriesIds_.clear();  // series made in the rolled back transaction are gone
    }
    return ok;
}

void SqliteHistory::pause(std::int64_t atMs)
{
    paused_ = true;
    pausedAtMs_ = atMs;
    droppedWhilePaused_ = 0;
    nextRetry_ = std::chrono::steady_clock::now() + kRetryEvery;
    std::lock_guard lock(queueMutex_);
    status_.state = HistoryStatus::State::Paused;
    status_.message = "The history " + quoted(path_) + " cannot be written (" + lastError_ +
                      "): readings are not kept until it can; make room on its disk. "
                      "Trying again every few seconds.";
}

// Writing works again when the pause and the resumption can be recorded.
void SqliteHistory::tryResume()
{
    nextRetry_ = std::chrono::steady_clock::now() + kRetryEvery;
    HistoryEvent paused;
    paused.utcMs = pausedAtMs_;
    paused.kind = HistoryEventKind::Paused;
    paused.text = "history not written: " + lastError_;
    HistoryEvent resumed;
    resumed.utcMs = std::max(wallMs(), pausedAtMs_);
    resumed.kind = HistoryEventKind::Resumed;
    resumed.text = std::to_string(droppedWhilePaused_) + " frames not kept";
    std::vector<HistoryEvent> events{paused};
    events.insert(events.end(), heldEvents_.begin(), heldEvents_.end());
    events.push_back(resumed);
    if (!commit({}, events))
        return;
    heldEvents_.clear();
    paused_ = false;
    std::lock_guard lock(queueMutex_);
    status_.state = HistoryStatus::State::Writing;
    status_.message.clear();
}

// Removes [.., endMs) (endMs on a whole hour, so rollup buckets go whole) in
// one transaction.
bool SqliteHistory::pruneBefore(std::int64_t endMs)
{
    static const char* const kSql[] = {
        "DELETE FROM frame WHERE t < ?1",
        "DELETE FROM rollup WHERE bucket < ?1",
        "DELETE FROM event WHERE t < ?1",
        "DELETE FROM series WHERE last_ms < ?1",
        "UPDATE series SET first_ms = ?1 WHERE first_ms < ?1",
    };
    if (sqlite3_step(w_->begin.fresh()) != SQLITE_DONE)
        return false;
    bool ok = true;
    for (const char* sql : kSql) {
        Stmt s(wdb_, sql);
        if (!s) {
            ok = false;
            break;
        }
        sqlite3_bind_int64(s.get(), 1, endMs);
        ok = ok && sqlite3_step(s.get()) == SQLITE_DONE;
    }
    ok = ok && sqlite3_step(w_->commit.fresh()) == SQLITE_DONE;
    if (!ok)
        sqlite3_step(w_->rollback.fresh());
    seriesIds_.clear();
    exec(wdb_, "PRAGMA incremental_vacuum");
    return ok;
}

// By age, then by size: the oldest whole hours go, a transaction for each
// chunk, so that the batch after waits little.
void SqliteHistory::prune(const HistoryRetention& retention)
{
    auto oldest = [&](std::int64_t* t) {
        Stmt s(wdb_, "SELECT min(t) FROM frame");
        if (!s || sqlite3_step(s.get()) != SQLITE_ROW ||
            sqlite3_column_type(s.get(), 0) == SQLITE_NULL)
            return false;
        *t = sqlite3_column_int64(s.get(), 0);
        return true;
    };
    auto usedBytes = [&] {
        Stmt s(wdb_, "SELECT page_count * page_size - freelist_count * page_size "
                     "FROM pragma_page_count, pragma_page_size, pragma_freelist_count");
        return s && sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int64(s.get(), 0) : 0;
    };
    // Chunks of whole hours holding about 20000 frames; rounds for at most a
    // quarter of a second, then again a second later.
    Stmt later(wdb_, "SELECT t FROM frame WHERE t >= ?1 ORDER BY t LIMIT 1 OFFSET 20000");
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    for (;;) {
        std::int64_t first = 0;
        if (!oldest(&first) || !later)
            return;
        std::int64_t end = (floorDiv(first, kHourMs) + 1) * kHourMs;
        sqlite3_stmt* q = later.fresh();
        sqlite3_bind_int64(q, 1, first);
        if (sqlite3_step(q) == SQLITE_ROW)
            end = std::max(end, floorDiv(sqlite3_column_int64(q, 0), kHourMs) * kHourMs);
        sqlite3_reset(q);
        bool tooOld = false;
        if (retention.maxAgeDays > 0) {
            const std::int64_t cutoff =
                floorDiv(wallMs() - retention.maxAgeDays * 86'400'000LL, kHourMs) * kHourMs;
            tooOld = first < cutoff;
            if (tooOld)
                end = std::min(end, cutoff);
        }
        const bool tooBig = !tooOld && retention.maxBytes > 0 && usedBytes() > retention.maxBytes;
        if (!tooOld && !tooBig)
            return;
        if (!pruneBefore(end))
            return;
        if (std::chrono::steady_clock::now() > until) {
            nextPrune_ = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            return;
        }
    }
}

// ---------------------------------------------------------------- readers

std::vector<HistorySeries> SqliteHistory::series(std::int64_t fromMs, std::int64_t toMs) const
{
    std::lock_guard lock(readMutex_);
    std::vector<HistorySeries> out;
    Stmt s(rdb_,
           "SELECT id, port, channel, type, sensor, description, unit, first_ms, last_ms "
           "FROM series WHERE first_ms <= ?2 AND last_ms >= ?1 ORDER BY id");
    if (!s)
        return out;
    sqlite3_bind_int64(s.get(), 1, fromMs);
    sqlite3_bind_int64(s.get(), 2, toMs);
    auto text = [&](int col) {
        const unsigned char* p = sqlite3_column_text(s.get(), col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(s.get(), col)))
                 : std::string();
    };
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        HistorySeries h;
        h.id = sqlite3_column_int(s.get(), 0);
        h.port = sqlite3_column_int(s.get(), 1);
        h.channel = sqlite3_column_int(s.get(), 2);
        h.type = sqlite3_column_int(s.get(), 3);
        h.sensor = text(4);
        h.description = text(5);
        h.unit = text(6);
        h.firstMs = sqlite3_column_int64(s.get(), 7);
        h.lastMs = sqlite3_column_int64(s.get(), 8);
        out.push_back(std::move(h));
    }
    return out;
}

bool SqliteHistory::span(std::int64_t* firstMs, std::int64_t* lastMs) const
{
    std::lock_guard lock(readMutex_);
    Stmt s(rdb_, "SELECT min(t), max(t) FROM frame");
    if (!s || sqlite3_step(s.get()) != SQLITE_ROW || sqlite3_column_type(s.get(), 0) == SQLITE_NULL)
        return false;
    *firstMs = sqlite3_column_int64(s.get(), 0);
    *lastMs = sqlite3_column_int64(s.get(), 1);
    return true;
}

// The true min and max of [a, b): the whole buckets of the coarsest tier that
// fit inside from its rollup, the pieces left at either end from the next
// finer tier, and so on down to the raw samples, which are read only for the
// less-than-10-s pieces at the very ends.
void SqliteHistory::cover(int seriesId, std::int64_t a, std::int64_t b, int tier, Agg* acc) const
{
    if (a >= b)
        return;
    for (; tier >= 0; --tier) {
        const std::int64_t step = kTierMs[tier];
        if (a > std::numeric_limits<std::int64_t>::max() - step ||
            b < std::numeric_limits<std::int64_t>::min() + step)
            continue;
        const std::int64_t lo = -floorDiv(-a, step) * step;  // first edge at or after a
        const std::int64_t hi = floorDiv(b, step) * step;    // last edge at or before b
        if (lo >= hi)
            continue;
        Stmt& s = r_->rollup[tier];
        sqlite3_stmt* q = s.fresh();
        sqlite3_bind_int(q, 1, tier);
        sqlite3_bind_int(q, 2, seriesId);
        sqlite3_bind_int64(q, 3, lo);
        sqlite3_bind_int64(q, 4, hi);
        if (sqlite3_step(q) == SQLITE_ROW && sqlite3_column_type(q, 2) != SQLITE_NULL)
            acc->add(sqlite3_column_double(q, 0), sqlite3_column_double(q, 1),
                     sqlite3_column_int64(q, 2));
        sqlite3_reset(q);
        cover(seriesId, a, lo, tier - 1, acc);
        cover(seriesId, hi, b, tier - 1, acc);
        return;
    }
    sqlite3_stmt* q = r_->raw.fresh();
    sqlite3_bind_int64(q, 1, a);
    sqlite3_bind_int64(q, 2, b);
    DecodedReading r;
    while (sqlite3_step(q) == SQLITE_ROW) {
        const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(q, 0));
        const auto* end = p + sqlite3_column_bytes(q, 0);
        while (decodeReading(&p, end, &r))
            if (r.series == seriesId && r.hasValue) {
                const double v = r.value();
                acc->add(v, v, 1);
            }
    }
    sqlite3_reset(q);
}

std::vector<HistoryBucket> SqliteHistory::envelope(int seriesId, std::int64_t fromMs,
                                                   std::int64_t toMs, int buckets) const
{
    std::vector<HistoryBucket> out;
    if (buckets <= 0 || toMs <= fromMs)
        return out;
    std::lock_guard lock(readMutex_);
    if (!r_) {
        r_ = std::make_unique<Reads>();
        r_->raw.prepare(rdb_,
                         "SELECT data FROM frame WHERE t >= ?1 AND t < ?2");
        for (int tier = 0; tier < kTiers; ++tier)
            r_->rollup[tier].prepare(rdb_,
                                      "SELECT min(lo), max(hi), sum(n) FROM rollup "
                                      "WHERE tier = ?1 AND series = ?2 AND bucket >= ?3 "
                                      "AND bucket < ?4");
        if (!r_->raw)
            return out;
    }
    // Edges from + span * i / buckets, without overflow.
    const std::uint64_t span = static_cast<std::uint64_t>(toMs) - static_cast<std::uint64_t>(fromMs);
    const std::uint64_t n = static_cast<std::uint64_t>(buckets);
    const std::uint64_t q = span / n;
    const std::uint64_t r = span % n;
    auto edge = [&](std::uint64_t i) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(fromMs) + q * i + r * i / n);
    };
    out.resize(static_cast<std::size_t>(buckets));
    // One read transaction for all the queries: one snapshot, and the locks
    // taken once instead of per query.
    ReadTransaction txn(rdb_);
    for (std::uint64_t i = 0; i < n; ++i) {
        HistoryBucket& b = out[i];
        b.startMs = edge(i);
        b.endMs = i + 1 == n ? toMs : edge(i + 1);
        Agg acc;
        cover(seriesId, b.startMs, b.endMs, kTiers - 1, &acc);
        if (acc.n > 0) {
            b.min = acc.lo;
            b.max = acc.hi;
            b.count = acc.n;
        }
    }
    return out;
}

std::vector<HistoryGap> SqliteHistory::gaps(std::int64_t fromMs, std::int64_t toMs) const
{
    std::vector<HistoryGap> out;
    std::lock_guard lock(readMutex_);
    // Events before the last frame at or before fromMs end before it.
    Stmt events(rdb_,
                "SELECT t, kind FROM event WHERE kind IN (2, 4, 5, 6) AND t < ?2 AND "
                "t >= coalesce((SELECT max(t) FROM frame WHERE t <= ?1), ?1) ORDER BY t, id");
    Stmt next(rdb_, "SELECT min(t) FROM frame WHERE t > ?1");
    if (!events || !next)
        return out;
    ReadTransaction txn(rdb_);
    sqlite3_bind_int64(events.get(), 1, fromMs);
    sqlite3_bind_int64(events.get(), 2, toMs);
    while (sqlite3_step(events.get()) == SQLITE_ROW) {
        const std::int64_t t = sqlite3_column_int64(events.get(), 0);
        const int kind = sqlite3_column_int(events.get(), 1);
        sqlite3_stmt* q = next.fresh();
        sqlite3_bind_int64(q, 1, t);
        std::int64_t end = toMs;
        if (sqlite3_step(q) == SQLITE_ROW && sqlite3_column_type(q, 0) != SQLITE_NULL)
            end = std::min<std::int64_t>(toMs, sqlite3_column_int64(q, 0));
        if (end <= fromMs || end <= t)
            continue;
        // Several events before one frame make one gap, told by the first.
        if (!out.empty() && out.back().toMs == end)
            continue;
        out.push_back({t, end, static_cast<HistoryEventKind>(kind)});
    }
    return out;
}

bool SqliteHistory::exportCsv(std::int64_t fromMs, std::int64_t toMs, const std::string& path,
                              std::string* error) const
{
    // A connection of its own, so that a long export holds up no other reader.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        if (error)
            *error = std::string("the history cannot be read: ") + sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, 2000);
    exec(db, "PRAGMA mmap_size=1073741824;");
    const bool ok = writeCsv(db, fromMs, toMs, path, error);
    sqlite3_close(db);
    return ok;
}

}  // namespace

std::unique_ptr<HistoryStore> HistoryStore::open(const std::string& path, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            *error = refusal(path, std::string("cannot be reached (") + std::strerror(errno) + ")",
                             "check the folder's permissions");
            return nullptr;
        }
        if (!createHistory(path, error))
            return nullptr;
        if (::stat(path.c_str(), &st) != 0) {
            *error = refusal(path, std::string("cannot be reached (") + std::strerror(errno) + ")",
                             "check the folder's permissions");
            return nullptr;
        }
    }
    if (!S_ISREG(st.st_mode)) {
        *error = refusal(path, "is not a regular file", "give the history another place");
        return nullptr;
    }
    const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
    {
        std::lock_guard lock(openFilesMutex);
        if (!openFiles.insert(id).second) {
            *error = refusal(path, "is already open in this program",
                             "close the other window or store that uses it");
            return nullptr;
        }
    }
    auto release = [&] {
        std::lock_guard lock(openFilesMutex);
        openFiles.erase(id);
    };
    // The lock that keeps a second running Merrivan out: flock on the file
    // itself, independent of SQLite's own (fcntl) locks.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = refusal(path, std::string("cannot be opened (") + std::strerror(errno) + ")",
                         "check the file's permissions");
        release();
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK
                     ? refusal(path, "is in use by another running Merrivan",
                               "close the other one, or give this one another history file")
                     : refusal(path, std::string("cannot be locked (") + std::strerror(errno) + ")",
                               "check the file system");
        ::close(fd);
        release();
        return nullptr;
    }
    std::string problem = checkHeader(fd, path, st.st_size);
    if (problem.empty())
        problem = checkContent(path, st.st_size);
    if (!problem.empty()) {
        *error = problem;
        ::close(fd);
        release();
        return nullptr;
    }
    // The store owns fd and the entry in openFiles from here.
    auto store = std::make_unique<SqliteHistory>(path, fd, id);
    if (!store->start(error))
        return nullptr;
    return store;
}
