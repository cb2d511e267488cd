#include "store/history_db.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace history {

bool exec(sqlite3* db, const char* sql, std::string* error)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

// A frame is keyed by its time (the row id), so every insert lands at the
// right edge of the tree and pages fill completely; its readings are a blob
// (see encodeReading), a few bytes each.
static const char kSchema[] = R"sql(
BEGIN;
CREATE TABLE series(
  id INTEGER PRIMARY KEY,
  port INTEGER NOT NULL, channel INTEGER NOT NULL, type INTEGER NOT NULL,
  sensor TEXT NOT NULL, description TEXT NOT NULL, unit TEXT NOT NULL,
  first_ms INTEGER NOT NULL, last_ms INTEGER NOT NULL);
CREATE TABLE frame(t INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TABLE event(
  id INTEGER PRIMARY KEY, t INTEGER NOT NULL, port INTEGER NOT NULL,
  kind INTEGER NOT NULL, text TEXT NOT NULL);
CREATE INDEX event_t ON event(t);
CREATE TABLE rollup(
  tier INTEGER NOT NULL, series INTEGER NOT NULL, bucket INTEGER NOT NULL,
  lo REAL NOT NULL, hi REAL NOT NULL, n INTEGER NOT NULL,
  PRIMARY KEY(tier, series, bucket)) WITHOUT ROWID;
COMMIT;
)sql";

bool createSchema(sqlite3* db, std::string* error)
{
    return exec(db, kSchema, error);
}

bool hasSchema(sqlite3* db)
{
    Stmt s(db,
           "SELECT count(*) FROM sqlite_schema WHERE type='table' AND name IN "
           "('series','frame','event','rollup')");
    return s && sqlite3_step(s.get()) == SQLITE_ROW && sqlite3_column_int(s.get(), 0) == 4;
}

std::size_t shortestText(double v, char* out)
{
    const auto r = std::to_chars(out, out + 32, v);
    return static_cast<std::size_t>(r.ptr - out);
}

namespace {

void putVarint(std::string& out, std::uint64_t v)
{
    while (v >= 0x80) {
        out += static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

bool getVarint(const unsigned char** p, const unsigned char* end, std::uint64_t* v)
{
    std::uint64_t r = 0;
    for (int shift = 0; shift < 64 && *p < end; shift += 7) {
        const unsigned char b = *(*p)++;
        r |= std::uint64_t{b & 0x7Fu} << shift;
        if (!(b & 0x80)) {
            *v = r;
            return true;
        }
    }
    return false;
}

// A number in the C format whatever the locale; NaN when it is none.
double cValue(const char* text, std::size_t size)
{
    double v = 0;
    const auto r = std::from_chars(text, text + size, v);
    return r.ec == std::errc() && r.ptr == text + size ? v : std::nan("");
}

// The mantissa written with `decimals` digits after the point; its length.
std::size_t decimalText(std::int64_t m, int decimals, char* out)
{
    char digits[24];
    const bool negative = m < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(m) : static_cast<std::uint64_t>(m);
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    while (n <= decimals)
        digits[n++] = '0';
    std::size_t k = 0;
    if (negative)
        out[k++] = '-';
    for (int i = n - 1; i >= 0; --i) {
        out[k++] = digits[i];
        if (i == decimals && i > 0)
            out[k++] = '.';
    }
    return k;
}

// The mantissa and decimals of a text that is a plain decimal, written
// exactly as decimalText writes it.
bool plainDecimal(const char* text, std::size_t size, std::int64_t* m, int* decimals)
{
    if (size == 0 || size > 20)
        return false;
    std::int64_t v = 0;
    int digits = 0, after = -1;
    std::size_t i = text[0] == '-' ? 1 : 0;
    for (; i < size; ++i) {
        if (text[i] == '.' && after < 0) {
            after = 0;
            continue;
        }
        if (text[i] < '0' || text[i] > '9' || ++digits > 18)
            return false;
        v = v * 10 + (text[i] - '0');
        if (after >= 0)
            ++after;
    }
    *decimals = after < 0 ? 0 : after;
    if (*decimals > 9)
        return false;
    *m = text[0] == '-' ? -v : v;
    char back[32];
    return decimalText(*m, *decimals, back) == size && std::memcmp(back, text, size) == 0;
}

}  // namespace

void encodeReading(std::string& blob, std::int64_t series, double value, const char* text,
                   std::size_t textSize)
{
    putVarint(blob, static_cast<std::uint64_t>(series));
    const bool numeric = value == value;
    if (numeric) {
        std::int64_t m = 0;
        int decimals = 0;
        char buf[48];
        if (plainDecimal(text, textSize, &m, &decimals)) {
            if (cValue(text, textSize) == value) {
                blob += static_cast<char>(decimals);
                putVarint(blob, (static_cast<std::uint64_t>(m) << 1) ^
                                    static_cast<std::uint64_t>(m >> 63));
                return;
            }
        }
        const bool shortest =
            shortestText(value, buf) == textSize && std::memcmp(buf, text, textSize) == 0;
        blob += static_cast<char>(shortest ? 0x10 : 0x11);
        unsigned char bytes[8];
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, 8);
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        blob.append(reinterpret_cast<const char*>(bytes), 8);
        if (shortest)
            return;
    } else {
        blob += static_cast<char>(0x12);
    }
    putVarint(blob, textSize);
    blob.append(text, textSize);
}

bool decodeReading(const unsigned char** p, const unsigned char* end, DecodedReading* out)
{
    std::uint64_t series = 0;
    if (*p >= end || !getVarint(p, end, &series) || *p >= end)
        return false;
    out->series = static_cast<std::int64_t>(series);
    out->kind = *(*p)++;
    if (out->kind <= 9) {
        std::uint64_t z = 0;
        if (!getVarint(p, end, &z))
            return false;
        const auto m = static_cast<std::int64_t>((z >> 1) ^ (0 - (z & 1)));
        out->textSize = decimalText(m, out->kind, out->buf);
        out->buf[out->textSize] = '\0';
        out->text = out->buf;
        out->hasValue = true;
        return true;
    }
    if (out->kind < 0x10 || out->kind > 0x12)
        return false;
    out->hasValue = out->kind != 0x12;
    if (out->hasValue) {
        if (end - *p < 8)
            return false;
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= std::uint64_t{(*p)[i]} << (8 * i);
        *p += 8;
        std::memcpy(&out->raw, &bits, 8);
        if (out->raw != out->raw)
            out->hasValue = false;
    }
    if (out->kind == 0x10) {
        out->textSize = shortestText(out->raw, out->buf);
        out->text = out->buf;
        return true;
    }
    std::uint64_t size = 0;
    if (!getVarint(p, end, &size) || size > static_cast<std::uint64_t>(end - *p))
        return false;
    out->text = reinterpret_cast<const char*>(*p);
    out->textSize = static_cast<std::size_t>(size);
    *p += size;
    return true;
}

double DecodedReading::value() const
{
    return kind <= 9 ? cValue(buf, textSize) : raw;
}

}  // namespace history
