#include "history_schema.h"

namespace qz::history {

std::vector<std::string> MigrationStep(int version, TDialect dialect) {
  const bool sqlite = dialect == TDialect::SQLite;
  const std::string id = sqlite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY";
  switch (version) {
    case 1:  // readings, pings and parameter writes
      return {"CREATE TABLE schema_version (version INTEGER NOT NULL)",
              "INSERT INTO schema_version (version) VALUES (0)",
              "CREATE TABLE device (id " + id +
                  ", address TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL, UNIQUE (address, name, type))",
              "CREATE TABLE reading (device_id BIGINT NOT NULL REFERENCES device (id), at BIGINT NOT NULL, "
              "kind INTEGER NOT NULL, object TEXT NOT NULL, raw BIGINT, shown TEXT NOT NULL)",
              "CREATE TABLE ping (device_id BIGINT NOT NULL REFERENCES device (id), at BIGINT NOT NULL, rtt INTEGER)",
              "CREATE TABLE write_event (device_id BIGINT NOT NULL REFERENCES device (id), at BIGINT NOT NULL, "
              "object TEXT NOT NULL, written TEXT NOT NULL, result TEXT NOT NULL, read_back TEXT NOT NULL)"};
    case 2: {
      // Renames beside the writes; a measured value as a number, so that a
      // plot's buckets are made by the database; one device over a time
      // range found by index.
      const std::string numeric = sqlite ? "shown GLOB '[0-9-]*' AND shown NOT GLOB '*[^0-9.,-]*'"
                                         : "shown ~ '^-?[0-9]+([.,][0-9]+)?$'";
      return {"ALTER TABLE write_event ADD COLUMN kind TEXT NOT NULL DEFAULT 'set'",
              std::string("ALTER TABLE reading ADD COLUMN value ") + (sqlite ? "REAL" : "DOUBLE PRECISION"),
              std::string("UPDATE reading SET value = CAST(REPLACE(shown, ',', '.') AS ") +
                  (sqlite ? "REAL" : "DOUBLE PRECISION") + ") WHERE kind = 2 AND " + numeric,
              "CREATE INDEX reading_device_object_at ON reading (device_id, object, at)",
              "CREATE INDEX ping_device_at ON ping (device_id, at)",
              "CREATE INDEX write_event_device_at ON write_event (device_id, at)"};
    }
    case 3: {
      // Per hour and object the first and last time, the smallest and
      // largest value (an LED's severity: 2 alarm, 1 unknown, 0 normal) and
      // the count, kept as the readings come: a plot of a year reads these.
      const std::string real = sqlite ? "REAL" : "DOUBLE PRECISION";
      const std::string hour = "(at / " + std::to_string(kRollupMs) + ") * " + std::to_string(kRollupMs);
      return {"CREATE TABLE reading_hour (device_id BIGINT NOT NULL, kind INTEGER NOT NULL, object TEXT NOT NULL, "
              "hour BIGINT NOT NULL, first_at BIGINT NOT NULL, last_at BIGINT NOT NULL, low " + real +
                  " NOT NULL, high " + real + " NOT NULL, readings BIGINT NOT NULL, "
                  "PRIMARY KEY (device_id, kind, object, hour))",
              "INSERT INTO reading_hour SELECT device_id, kind, object, " + hour +
                  ", MIN(at), MAX(at), MIN(m), MAX(m), COUNT(*) FROM (SELECT device_id, kind, object, at, CASE WHEN "
                  "kind = 1 THEN (" + kLedSeveritySql + ") ELSE value END AS m FROM "
                  "reading) r WHERE m IS NOT NULL GROUP BY device_id, kind, object, " + hour,
              "CREATE TABLE ping_hour (device_id BIGINT NOT NULL, hour BIGINT NOT NULL, first_at BIGINT NOT NULL, "
              "last_at BIGINT NOT NULL, low INTEGER, high INTEGER, pings BIGINT NOT NULL, timeouts BIGINT NOT NULL, "
              "PRIMARY KEY (device_id, hour))",
              "INSERT INTO ping_hour SELECT device_id, " + hour +
                  ", MIN(at), MAX(at), MIN(rtt), MAX(rtt), COUNT(*), SUM(CASE WHEN rtt IS NULL THEN 1 ELSE 0 END) "
                  "FROM ping GROUP BY device_id, " + hour};
    }
    default:
      return {};
  }
}

}  // namespace qz::history
