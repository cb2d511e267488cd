// What the store's files share: the file's identity, the schema, the rollup
// tiers and a thin hold on SQLite statements. Internal to store/.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace history {

constexpr std::uint32_t kApplicationId = 0x4D525648;  // "MRVH"
constexpr int kSchemaVersion = 1;

// Min/max rollups, finest first. Each divides the next and an hour, so a
// bucket of any tier nests in one of every coarser tier, and pruning by whole
// hours removes whole buckets.
constexpr std::int64_t kTierMs[] = {10'000, 60'000, 3'600'000};
constexpr int kTiers = 3;
constexpr std::int64_t kHourMs = 3'600'000;

class Stmt {
public:
    Stmt() = default;
    Stmt(sqlite3* db, const char* sql) { prepare(db, sql); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    ~Stmt() { sqlite3_finalize(s_); }
    bool prepare(sqlite3* db, const char* sql)
    {
        sqlite3_finalize(s_);
        s_ = nullptr;
        return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s_, nullptr) ==
               SQLITE_OK;
    }
    explicit operator bool() const { return s_ != nullptr; }
    sqlite3_stmt* get() const { return s_; }
    // Ready for new bindings.
    sqlite3_stmt* fresh()
    {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
        return s_;
    }

private:
    sqlite3_stmt* s_ = nullptr;
};

bool exec(sqlite3* db, const char* sql, std::string* error = nullptr);

// Creates the tables of a new, empty file (inside a transaction of its own).
bool createSchema(sqlite3* db, std::string* error);
// True when every table of the schema is there.
bool hasSchema(sqlite3* db);

// The shortest text that reads back as v ("23.4"), C format; returns its length.
std::size_t shortestText(double v, char* out);

// A frame is one row: its time as the key and its readings in a blob, each
// the series id (varint) and a kind byte:
//   0..9   a plain decimal: zigzag varint mantissa, the kind its decimals;
//          the text is the mantissa written with them, the value its strtod
//   0x10   a double (8 bytes, little endian); the text is its shortest text
//   0x11   a double and a text (varint length, bytes)
//   0x12   no value (an error code) and a text
void encodeReading(std::string& blob, std::int64_t series, double value, const char* text,
                   std::size_t textSize);

struct DecodedReading {
    std::int64_t series = 0;
    bool hasValue = false;
    const char* text = nullptr;  // into the blob or into buf
    std::size_t textSize = 0;
    char buf[48];
    // The value; for a plain decimal read from its text only when asked.
    double value() const;
    int kind = 0;
    double raw = 0;
};

// The next reading of a blob; false at its end or when it is malformed.
bool decodeReading(const unsigned char** p, const unsigned char* end, DecodedReading* out);

// floor(x / d) for d > 0, whatever the sign of x.
inline std::int64_t floorDiv(std::int64_t x, std::int64_t d)
{
    return x / d - ((x % d) < 0 ? 1 : 0);
}

// The frames of [fromMs, toMs] as CSV, read through db.
bool writeCsv(sqlite3* db, std::int64_t fromMs, std::int64_t toMs, const std::string& path,
              std::string* error);

}  // namespace history
