#include "store/history_db.h"

#include <charconv>
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

// A sample is keyed by time first, so every insert lands at the right edge
// of the tree and pages fill completely. Its text is kept only when it is not
// the shortest text of its value (an error code, "23.40"); an error code has
// no value (NULL).
static const char kSchema[] = R"sql(
BEGIN;
CREATE TABLE series(
  id INTEGER PRIMARY KEY,
  port INTEGER NOT NULL, channel INTEGER NOT NULL, type INTEGER NOT NULL,
  sensor TEXT NOT NULL, description TEXT NOT NULL, unit TEXT NOT NULL,
  first_ms INTEGER NOT NULL, last_ms INTEGER NOT NULL);
CREATE TABLE sample(
  t INTEGER NOT NULL, series INTEGER NOT NULL, value REAL, text TEXT,
  PRIMARY KEY(t, series)) WITHOUT ROWID;
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
           "('series','sample','event','rollup')");
    return s && sqlite3_step(s.get()) == SQLITE_ROW && sqlite3_column_int(s.get(), 0) == 4;
}

std::size_t shortestText(double v, char* out)
{
    const auto r = std::to_chars(out, out + 32, v);
    return static_cast<std::size_t>(r.ptr - out);
}

}  // namespace history
