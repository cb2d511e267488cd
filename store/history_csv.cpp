// The history's frames as the program's CSV data file writes them: a header
// "time,<name> value,<name> unit,..." and one row per frame, CR LF, RFC 4180.
// Rows are streamed in time order from the sample table's key, through one
// large buffer, with nothing allocated per row.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "store/history_db.h"

namespace history {
namespace {

bool needsQuotes(const char* text, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] == ',' || text[i] == '"' || text[i] == '\r' || text[i] == '\n')
            return true;
    return false;
}

void putField(std::string& out, const char* text, std::size_t n)
{
    if (!needsQuotes(text, n)) {
        out.append(text, n);
        return;
    }
    out += '"';
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == '"')
            out += '"';
        out += text[i];
    }
    out += '"';
}

std::string trimmed(const unsigned char* p)
{
    std::string s = p ? reinterpret_cast<const char*>(p) : "";
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

struct Column {
    std::int64_t id = 0;
    std::string unitCell;  // written as is (quoted already); "" for "Nul"
    std::string value;     // this row's value text
    bool has = false;
};

class Output {
public:
    explicit Output(int fd) : fd_(fd) { buf_.reserve(kChunk + 4096); }
    std::string& buf() { return buf_; }
    bool maybeWrite() { return buf_.size() < kChunk || write(); }
    bool write()
    {
        const char* p = buf_.data();
        std::size_t left = buf_.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        buf_.clear();
        return true;
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    int fd_;
    std::string buf_;
};

}  // namespace

bool writeCsv(sqlite3* db, std::int64_t fromMs, std::int64_t toMs, const std::string& path,
              std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    // The columns: every series whose first and last frame enclose part of
    // the span, in the order they first appeared.
    std::vector<Column> columns;
    std::string header = "time";
    {
        Stmt s(db,
               "SELECT id, description, sensor, unit FROM series WHERE first_ms <= ?2 AND "
               "last_ms >= ?1 ORDER BY id");
        if (!s)
            return fail(std::string("the history cannot be read: ") + sqlite3_errmsg(db));
        sqlite3_bind_int64(s.get(), 1, fromMs);
        sqlite3_bind_int64(s.get(), 2, toMs);
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            Column c;
            c.id = sqlite3_column_int64(s.get(), 0);
            std::string name = trimmed(sqlite3_column_text(s.get(), 1));
            if (name.empty())
                name = trimmed(sqlite3_column_text(s.get(), 2));
            const std::string unit = trimmed(sqlite3_column_text(s.get(), 3));
            if (unit != "Nul")
                putField(c.unitCell, unit.data(), unit.size());
            c.value.reserve(32);
            header += ',';
            const std::string v = name + " value";
            putField(header, v.data(), v.size());
            header += ',';
            const std::string u = name + " unit";
            putField(header, u.data(), u.size());
            columns.push_back(std::move(c));
        }
    }
    header += "\r\n";

    const std::string tmp = path + ".part";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(path + ": " + std::strerror(errno));
    Output out(fd);
    out.buf() = header;

    Stmt rows(db,
              "SELECT t, data FROM frame WHERE t >= ?1 AND t <= ?2 ORDER BY t");
    bool ok = static_cast<bool>(rows);
    int writeErrno = 0;
    if (ok) {
        sqlite3_bind_int64(rows.get(), 1, fromMs);
        sqlite3_bind_int64(rows.get(), 2, toMs);
    }
    std::int64_t rowT = 0;
    std::int64_t cachedSecond = std::numeric_limits<std::int64_t>::min();
    char stamp[32];  // "YYYY-MM-DDTHH:MM:SS" of cachedSecond
    auto emit = [&] {
        std::string& b = out.buf();
        const std::int64_t second = floorDiv(rowT, 1000);
        if (second != cachedSecond) {
            cachedSecond = second;
            const std::time_t tt = static_cast<std::time_t>(second);
            std::tm tm{};
            if (!localtime_r(&tt, &tm))
                std::memset(&tm, 0, sizeof tm);
            std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
        }
        b += stamp;
        const int ms = static_cast<int>(rowT - second * 1000);
        const char frac[5] = {'.', static_cast<char>('0' + ms / 100),
                              static_cast<char>('0' + ms / 10 % 10), static_cast<char>('0' + ms % 10),
                              0};
        b.append(frac, 4);
        for (Column& c : columns) {
            b += ',';
            if (c.has) {
                putField(b, c.value.data(), c.value.size());
                b += ',';
                b += c.unitCell;
                c.has = false;
            } else {
                b += ',';
            }
        }
        b += "\r\n";
        if (!out.maybeWrite() && writeErrno == 0)
            writeErrno = errno ? errno : EIO;
    };
    int rc = SQLITE_DONE;
    DecodedReading r;
    while (ok && (rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
        rowT = sqlite3_column_int64(rows.get(), 0);
        const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(rows.get(), 1));
        const auto* end = p + sqlite3_column_bytes(rows.get(), 1);
        std::size_t k = 0;
        while (decodeReading(&p, end, &r)) {
            // Readings come in column order, so the search mostly hits at once.
            if (k >= columns.size() || columns[k].id != r.series)
                for (k = 0; k < columns.size() && columns[k].id != r.series;)
                    ++k;
            if (k == columns.size())
                continue;  // a series outside the span's list: not in a column
            Column& c = columns[k];
            c.has = true;
            c.value.assign(r.text, r.textSize);
        }
        emit();
        if (writeErrno)
            break;
    }
    const bool readOk = ok && (rc == SQLITE_DONE || rc == SQLITE_ROW);
    if (readOk && !writeErrno && !out.write())
        writeErrno = errno ? errno : EIO;
    if (::close(fd) != 0 && !writeErrno)
        writeErrno = errno;
    if (!readOk || writeErrno) {
        ::unlink(tmp.c_str());
        return fail(!readOk ? std::string("the history cannot be read: ") + sqlite3_errmsg(db)
                            : path + ": " + std::strerror(writeErrno));
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        return fail(path + ": " + std::strerror(e));
    }
    return true;
}

}  // namespace history
