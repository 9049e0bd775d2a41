#include "history_schema.h"

namespace qz::history {
namespace {

std::string ReadingHourTable(const std::string& name, const std::string& real) {
  return "CREATE TABLE " + name +
         " (device_id BIGINT NOT NULL, kind INTEGER NOT NULL, object TEXT NOT NULL, "
         "hour BIGINT NOT NULL, first_at BIGINT NOT NULL, last_at BIGINT NOT NULL, low " + real +
         " NOT NULL, high " + real + " NOT NULL, readings BIGINT NOT NULL, "
         "PRIMARY KEY (device_id, kind, object, hour))";
}

std::string PingHourTable(const std::string& name) {
  return "CREATE TABLE " + name +
         " (device_id BIGINT NOT NULL, hour BIGINT NOT NULL, first_at BIGINT NOT NULL, "
         "last_at BIGINT NOT NULL, low INTEGER, high INTEGER, pings BIGINT NOT NULL, timeouts BIGINT NOT NULL, "
         "PRIMARY KEY (device_id, hour))";
}

}  // namespace

std::vector<std::string> MigrationStep(int version, TDialect dialect) {
  const bool sqlite = dialect == TDialect::SQLite;
  const std::string id = sqlite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY";
  const std::string real = sqlite ? "REAL" : "DOUBLE PRECISION";
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
      const std::string hour = "(at / " + std::to_string(kRollupMs) + ") * " + std::to_string(kRollupMs);
      return {ReadingHourTable("reading_hour", real),
              "INSERT INTO reading_hour SELECT device_id, kind, object, " + hour +
                  ", MIN(at), MAX(at), MIN(m), MAX(m), COUNT(*) FROM (SELECT device_id, kind, object, at, CASE WHEN "
                  "kind = 1 THEN (" + kLedSeveritySql + ") ELSE value END AS m FROM "
                  "reading) r WHERE m IS NOT NULL GROUP BY device_id, kind, object, " + hour,
              PingHourTable("ping_hour"),
              "INSERT INTO ping_hour SELECT device_id, " + hour +
                  ", MIN(at), MAX(at), MIN(rtt), MAX(rtt), COUNT(*), SUM(CASE WHEN rtt IS NULL THEN 1 ELSE 0 END) "
                  "FROM ping GROUP BY device_id, " + hour};
    }
    case 4: {
      // A device is its address and type; its name is an attribute (the
      // latest one kept, the renames in write_event). The devices that were
      // told apart by name become one, the oldest row taking them in.
      const std::string moved = "device_id IN (SELECT old_id FROM device_merge WHERE old_id <> new_id)";
      const std::string movedTo = "(SELECT new_id FROM device_merge WHERE old_id = device_id)";
      return {"CREATE TABLE device_merge (old_id BIGINT NOT NULL, new_id BIGINT NOT NULL, latest_name TEXT NOT NULL)",
              "INSERT INTO device_merge SELECT d.id, (SELECT MIN(k.id) FROM device k WHERE k.address = d.address AND "
              "k.type = d.type), (SELECT n.name FROM device n WHERE n.address = d.address AND n.type = d.type ORDER "
              "BY n.id DESC LIMIT 1) FROM device d",
              "UPDATE reading SET device_id = " + movedTo + " WHERE " + moved,
              "UPDATE ping SET device_id = " + movedTo + " WHERE " + moved,
              "UPDATE write_event SET device_id = " + movedTo + " WHERE " + moved,
              ReadingHourTable("reading_hour_merged", real),
              "INSERT INTO reading_hour_merged SELECT m.new_id, h.kind, h.object, h.hour, MIN(h.first_at), "
              "MAX(h.last_at), MIN(h.low), MAX(h.high), SUM(h.readings) FROM reading_hour h JOIN device_merge m ON "
              "m.old_id = h.device_id GROUP BY m.new_id, h.kind, h.object, h.hour",
              "DROP TABLE reading_hour",
              "ALTER TABLE reading_hour_merged RENAME TO reading_hour",
              PingHourTable("ping_hour_merged"),
              "INSERT INTO ping_hour_merged SELECT m.new_id, h.hour, MIN(h.first_at), MAX(h.last_at), MIN(h.low), "
              "MAX(h.high), SUM(h.pings), SUM(h.timeouts) FROM ping_hour h JOIN device_merge m ON m.old_id = "
              "h.device_id GROUP BY m.new_id, h.hour",
              "DROP TABLE ping_hour",
              "ALTER TABLE ping_hour_merged RENAME TO ping_hour",
              "DELETE FROM device WHERE id NOT IN (SELECT new_id FROM device_merge)",
              "UPDATE device SET name = (SELECT latest_name FROM device_merge WHERE old_id = device.id)",
              "CREATE UNIQUE INDEX device_address_type ON device (address, type)",
              "DROP TABLE device_merge"};
    }
    case 5:
      // Series are keyed by the object's OID and named by a caption kept
      // beside them. The series recorded before were keyed by their caption:
      // each is its own name here until the first reading under its OID
      // takes it over (THistoryStore::SeriesOf).
      return {"CREATE TABLE series (device_id BIGINT NOT NULL, kind INTEGER NOT NULL, object TEXT NOT NULL, caption TEXT "
              "NOT NULL, PRIMARY KEY (device_id, kind, object))",
              "INSERT INTO series SELECT DISTINCT device_id, kind, object, object FROM reading_hour"};
    default:
      return {};
  }
}

}  // namespace qz::history
