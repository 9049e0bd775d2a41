#include "history_store.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>

namespace qz::history {
namespace {

constexpr int64_t kDayMs = 24LL * 60 * 60 * 1000;
constexpr int kStatementTimeoutMs = 20000;
constexpr int kLockTimeoutMs = 5000;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

const char* KindName(TSampleKind kind) {
  switch (kind) {
    case TSampleKind::Led: return "led";
    case TSampleKind::Value: return "value";
    case TSampleKind::UpTime: return "uptime";
  }
  return "value";
}

}  // namespace

THistoryStore::THistoryStore(TStoreSettings settings) : settings_(std::move(settings)) {
  static std::atomic<int> next{0};
  connection_ = QString("qz-history-%1").arg(next++);
}

THistoryStore::~THistoryStore() { Close(); }

QString THistoryStore::Text(const std::string& text) const {
  QString converted = QString::fromStdString(text);
  // PostgreSQL's text holds no NUL (its driver would cut the statement
  // there and lose the whole batch): a device's NUL is kept as the symbol
  // for it.
  if (settings_.Dialect == TDialect::PostgreSQL) converted.replace(QChar(0), QChar(0x2400));
  return converted;
}

void THistoryStore::Close() {
  if (!QSqlDatabase::contains(connection_)) return;
  {
    QSqlDatabase database = QSqlDatabase::database(connection_, false);
    database.close();
  }
  QSqlDatabase::removeDatabase(connection_);
  open_ = false;
  seriesNames_.clear();
}

void THistoryStore::Fail(const QSqlError& error) {
  lastError_ = error.text();
  // SQLite's own word that the file is not a database, or a damaged one
  // (SQLITE_NOTADB, SQLITE_CORRUPT, extended codes included); busy,
  // locked, read-only, full and the rest pass.
  const int code = error.nativeErrorCode().toInt() & 0xFF;
  damaged_ = damaged_ || (settings_.Dialect == TDialect::SQLite && (code == kSqliteCorrupt || code == kSqliteNotADatabase));
}

bool THistoryStore::Exec(const QString& statement) {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (query.exec(statement)) return true;
  Fail(query.lastError());
  return false;
}

std::string THistoryStore::Open() { return OpenChecked(false); }

std::string THistoryStore::OpenChecked(bool forRecording) {
  Close();
  damaged_ = false;
  const std::string why = Connect(forRecording);
  if (!why.empty()) Close();
  return why;
}

std::string THistoryStore::Connect(bool forRecording) {
  const bool sqlite = settings_.Dialect == TDialect::SQLite;
  QSqlDatabase database = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", connection_);
  if (sqlite) {
    database.setDatabaseName(Text(settings_.File));
    // A file another program holds locked gets two seconds, not forever.
    database.setConnectOptions("QSQLITE_BUSY_TIMEOUT=2000");
  } else {
    database.setHostName(Text(settings_.Host));
    database.setPort(settings_.Port);
    database.setDatabaseName(Text(settings_.Database));
    database.setUserName(Text(settings_.User));
    database.setPassword(Text(settings_.Password));
    // No statement waits for ever on a lock or a slow server, and a
    // connection whose server has gone is noticed.
    database.setConnectOptions(QString("connect_timeout=5;options='-c statement_timeout=%1 -c lock_timeout=%2';"
                                       "keepalives_idle=10;keepalives_interval=5;keepalives_count=3")
                                   .arg(kStatementTimeoutMs)
                                   .arg(kLockTimeoutMs));
  }
  if (!database.open()) {
    Fail(database.lastError());
    return lastError_.toStdString();
  }
  open_ = true;
  // A file that is not a database, or a damaged one, fails its check (which
  // reads the whole file: only the recorder makes it, once).
  if (sqlite && forRecording) {
    QSqlQuery check(database);
    if (!check.exec("PRAGMA quick_check")) {
      Fail(check.lastError());
      return lastError_.toStdString();
    }
    if (!check.next() || check.value(0).toString() != "ok") {
      lastError_ = check.value(0).toString();
      damaged_ = true;
      return lastError_.toStdString();
    }
    check.finish();
    // Readers (the history window, another program) never block the
    // recorder, nor it them.
    if (!Exec("PRAGMA journal_mode=WAL")) return lastError_.toStdString();
  }
  // A file that cannot be written (read-only, locked by another program)
  // fails its first write here, not at the first recording.
  if (!Migrate() || (sqlite && forRecording && !Exec("UPDATE schema_version SET version = version")))
    return lastError_.toStdString();
  return {};
}

std::string THistoryStore::OpenOrStartAgain(int64_t now) {
  const std::string why = OpenChecked(true);
  if (why.empty()) return {};
  if (!damaged_ || settings_.Dialect != TDialect::SQLite || !QFile::exists(Text(settings_.File)))
    return "History paused: " + why;
  return SetAsideAndStartAgain(now, why);
}

std::string THistoryStore::SetAsideAndStartAgain(int64_t now, const std::string& why) {
  Close();
  const QString kept = Text(settings_.File) + ".damaged-" +
                       QDateTime::fromMSecsSinceEpoch(now, Qt::UTC).toString("yyyyMMdd-HHmmss");
  if (!QFile::rename(Text(settings_.File), kept))
    return "History paused: " + settings_.File + " cannot be used (" + why + ") nor set aside";
  // The journal and WAL files belong to the file set aside.
  for (const char* companion : {"-journal", "-wal", "-shm"})
    QFile::rename(Text(settings_.File) + companion, kept + companion);
  if (const std::string again = OpenChecked(true); !again.empty())
    return "History paused: " + settings_.File + " cannot be used (" + why + "), nor a new one (" + again + ")";
  return "History: " + settings_.File + " could not be used (" + why + "); kept as " + kept.toStdString() +
         ", recording into a new file";
}

int THistoryStore::SchemaVersion() {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (!query.exec("SELECT version FROM schema_version") || !query.next()) return 0;
  return query.value(0).toInt();
}

bool THistoryStore::Migrate() {
  QSqlDatabase database = QSqlDatabase::database(connection_, false);
  const bool fresh = !database.tables().contains("schema_version");
  int version = fresh ? 0 : SchemaVersion();
  if (!fresh && version == 0) {
    lastError_ = "the file holds no history of this program";
    damaged_ = true;
    return false;
  }
  if (version > kSchemaVersion) {
    lastError_ = QString("the history is of a newer program (schema %1)").arg(version);
    return false;
  }
  while (version < kSchemaVersion) {
    ++version;
    if (!database.transaction()) {
      Fail(database.lastError());
      return false;
    }
    bool done = true;
    for (const std::string& statement : MigrationStep(version, settings_.Dialect))
      done = done && Exec(Text(statement));
    done = done && Exec(QString("UPDATE schema_version SET version = %1").arg(version));
    if (!done || !database.commit()) {
      if (lastError_.isEmpty()) Fail(database.lastError());
      database.rollback();
      return false;
    }
  }
  return true;
}

long long THistoryStore::DeviceId(const TDeviceKey& device, bool create) {
  QSqlDatabase database = QSqlDatabase::database(connection_, false);
  QSqlQuery find(database);
  find.prepare("SELECT id, name FROM device WHERE address = ? AND type = ?");
  find.addBindValue(Text(device.Address));
  find.addBindValue(Text(device.Type));
  if (find.exec() && find.next()) {
    const long long id = find.value(0).toLongLong();
    // Recording under a new name: the device keeps its history and takes the name.
    if (create && find.value(1).toString() != Text(device.Name)) {
      QSqlQuery rename(database);
      rename.prepare("UPDATE device SET name = ? WHERE id = ?");
      rename.addBindValue(Text(device.Name));
      rename.addBindValue(id);
      if (!rename.exec()) {
        Fail(rename.lastError());
        return -1;
      }
    }
    return id;
  }
  if (!create) return -1;
  QSqlQuery insert(database);
  insert.prepare("INSERT INTO device (address, name, type) VALUES (?, ?, ?)");
  insert.addBindValue(Text(device.Address));
  insert.addBindValue(Text(device.Name));
  insert.addBindValue(Text(device.Type));
  if (!insert.exec()) {
    Fail(insert.lastError());
    return -1;
  }
  return DeviceId(device, false);
}

std::string THistoryStore::Write(const TBatch& batch) {
  if (!open_) return "the history is not open";
  QSqlDatabase database = QSqlDatabase::database(connection_, false);
  lastError_.clear();
  damaged_ = false;
  if (!database.transaction()) {
    Fail(database.lastError());
    return lastError_.toStdString();
  }
  const bool sqlite = settings_.Dialect == TDialect::SQLite;
  const QString least = sqlite ? "MIN" : "LEAST";
  const QString greatest = sqlite ? "MAX" : "GREATEST";
  QSqlQuery reading(database);
  reading.prepare("INSERT INTO reading (device_id, at, kind, object, raw, shown, value) VALUES (?, ?, ?, ?, ?, ?, ?)");
  QSqlQuery readingHour(database);
  readingHour.prepare(
      QString("INSERT INTO reading_hour AS h VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1) "
              "ON CONFLICT (device_id, kind, object, hour) DO UPDATE SET first_at = %1(h.first_at, excluded.first_at), "
              "last_at = %2(h.last_at, excluded.last_at), low = %1(h.low, excluded.low), "
              "high = %2(h.high, excluded.high), readings = h.readings + 1")
          .arg(least, greatest));
  QSqlQuery ping(database);
  ping.prepare("INSERT INTO ping (device_id, at, rtt) VALUES (?, ?, ?)");
  // A NULL round trip (a time-out) must not make the hour's low or high NULL.
  QSqlQuery pingHour(database);
  pingHour.prepare(
      QString("INSERT INTO ping_hour AS h VALUES (?, ?, ?, ?, ?, ?, 1, ?) "
              "ON CONFLICT (device_id, hour) DO UPDATE SET first_at = %1(h.first_at, excluded.first_at), "
              "last_at = %2(h.last_at, excluded.last_at), "
              "low = %1(COALESCE(h.low, excluded.low), COALESCE(excluded.low, h.low)), "
              "high = %2(COALESCE(h.high, excluded.high), COALESCE(excluded.high, h.high)), pings = h.pings + 1, "
              "timeouts = h.timeouts + excluded.timeouts")
          .arg(least, greatest));
  QSqlQuery write(database);
  write.prepare(
      "INSERT INTO write_event (device_id, at, kind, object, written, result, read_back) VALUES (?, ?, ?, ?, ?, ?, ?)");

  bool done = true;
  const auto run = [&](QSqlQuery& query, std::initializer_list<QVariant> values) {
    if (!done) return;
    for (const QVariant& value : values) query.addBindValue(value);
    done = query.exec();
    if (!done) Fail(query.lastError());
  };
  // A batch is mostly one device's: its id is looked up once.
  TDeviceKey lastDevice;
  long long lastId = -1;
  const auto idOf = [&](const TDeviceKey& device) {
    if (lastId < 0 || !(device == lastDevice) || device.Name != lastDevice.Name) {
      lastDevice = device;
      lastId = DeviceId(device, true);
    }
    done = done && lastId >= 0;
    return lastId;
  };
  const auto hourOf = [](int64_t at) { return static_cast<qlonglong>(at / kRollupMs * kRollupMs); };
  const QVariant noNumber{QMetaType(QMetaType::Double)};

  for (const TReading& r : batch.Readings) {
    const long long id = idOf(r.Device);
    const auto at = static_cast<qlonglong>(r.At);
    for (const TSample& sample : r.Samples) {
      if (done && !NameSeries(id, sample)) done = false;
      double number = sample.Value.value_or(0);
      const bool isNumber = sample.Kind == TSampleKind::Value && sample.Value.has_value();
      run(reading, {id, at, static_cast<int>(sample.Kind), Text(sample.Object),
                    sample.Raw ? QVariant(static_cast<qlonglong>(*sample.Raw)) : QVariant(QMetaType(QMetaType::LongLong)),
                    Text(sample.Shown), isNumber ? QVariant(number) : noNumber});
      if (sample.Kind == TSampleKind::Led) number = LedSeverity(sample.Raw);
      if (isNumber || sample.Kind == TSampleKind::Led)
        run(readingHour, {id, static_cast<int>(sample.Kind), Text(sample.Object), hourOf(r.At), at, at, number, number});
    }
  }
  for (const TPing& p : batch.Pings) {
    const long long id = idOf(p.Device);
    const auto at = static_cast<qlonglong>(p.At);
    const QVariant trip = p.RoundTripMs ? QVariant(*p.RoundTripMs) : QVariant(QMetaType(QMetaType::Int));
    run(ping, {id, at, trip});
    run(pingHour, {id, hourOf(p.At), at, at, trip, trip, p.RoundTripMs ? 0 : 1});
  }
  for (const TWrite& w : batch.Writes)
    run(write, {idOf(w.Device), static_cast<qlonglong>(w.At), WriteKindName(w.Kind),
                Text(w.Object), Text(w.Written), Text(w.Result), Text(w.ReadBack)});

  if (!done) {
    database.rollback();
    seriesNames_.clear();
    return lastError_.isEmpty() ? "the write failed" : lastError_.toStdString();
  }
  if (!database.commit()) {
    Fail(database.lastError());
    database.rollback();
    seriesNames_.clear();
    return lastError_.toStdString();
  }
  return {};
}

bool THistoryStore::NameSeries(long long deviceId, const TSample& sample) {
  const std::string& caption = sample.Caption.empty() ? sample.Object : sample.Caption;
  const auto key = std::tuple{deviceId, static_cast<int>(sample.Kind), sample.Object};
  if (const auto known = seriesNames_.find(key); known != seriesNames_.end() && known->second == caption) return true;
  QSqlDatabase database = QSqlDatabase::database(connection_, false);
  const QVariantList series{deviceId, static_cast<int>(sample.Kind), Text(sample.Object)};
  const auto exec = [&](const QString& statement, const QVariantList& values) {
    QSqlQuery query(database);
    query.prepare(statement);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) {
      Fail(query.lastError());
      return std::optional<QSqlQuery>();
    }
    return std::optional<QSqlQuery>(std::move(query));
  };
  auto named = exec("SELECT caption FROM series WHERE device_id = ? AND kind = ? AND object = ?", series);
  if (!named) return false;
  if (named->next()) {
    if (named->value(0).toString() != Text(caption) &&
        !exec("UPDATE series SET caption = ? WHERE device_id = ? AND kind = ? AND object = ?",
              QVariantList{Text(caption)} + series))
      return false;
  } else {
    // Recorded before under its caption (or a series of that name kept
    // before series had keys): those readings are this series' past.
    if (caption != sample.Object) {
      const QVariantList before{Text(sample.Object), deviceId, static_cast<int>(sample.Kind), Text(caption)};
      for (const char* table : {"reading", "reading_hour", "series"})
        if (!exec(QString("UPDATE %1 SET object = ? WHERE device_id = ? AND kind = ? AND object = ?").arg(table), before))
          return false;
    }
    if (!exec(QString("INSERT INTO series (device_id, kind, object, caption) SELECT ?, ?, ?, ? WHERE NOT EXISTS "
                      "(SELECT 1 FROM series WHERE device_id = ? AND kind = ? AND object = ?)"),
              series + QVariantList{Text(caption)} + series))
      return false;
  }
  seriesNames_[key] = caption;
  return true;
}

long THistoryStore::Prune(int64_t now) {
  if (!open_) return 0;
  const qlonglong before = now - settings_.RetentionDays * kDayMs;
  long deleted = 0;
  for (const char* table : {"reading", "ping", "write_event"}) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QString("DELETE FROM %1 WHERE at < ?").arg(table));
    query.addBindValue(before);
    if (query.exec()) deleted += query.numRowsAffected();
  }
  // The hours wholly past the retention go with their readings.
  for (const char* table : {"reading_hour", "ping_hour"}) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QString("DELETE FROM %1 WHERE last_at < ?").arg(table));
    query.addBindValue(before);
    query.exec();
  }
  return deleted;
}

std::vector<TDeviceKey> THistoryStore::Devices() {
  std::vector<TDeviceKey> devices;
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (!query.exec("SELECT address, name, type FROM device ORDER BY address, name, type")) return devices;
  while (query.next())
    devices.push_back({query.value(0).toString().toStdString(), query.value(1).toString().toStdString(),
                       query.value(2).toString().toStdString()});
  return devices;
}

std::pair<int64_t, int64_t> THistoryStore::Extent(const TDeviceKey& device) {
  const long long id = DeviceId(device, false);
  int64_t first = 0, last = 0;
  const char* const spans[] = {"MIN(first_at), MAX(last_at) FROM reading_hour", "MIN(first_at), MAX(last_at) FROM ping_hour",
                                "MIN(at), MAX(at) FROM write_event"};
  for (const char* span : spans) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QString("SELECT %1 WHERE device_id = ?").arg(span));
    query.addBindValue(id);
    if (!query.exec() || !query.next() || query.value(0).isNull()) continue;
    const int64_t low = query.value(0).toLongLong();
    const int64_t high = query.value(1).toLongLong();
    first = first == 0 ? low : std::min(first, low);
    last = std::max(last, high);
  }
  return {first, last};
}

std::vector<TSeriesName> THistoryStore::Objects(const TDeviceKey& device, TSampleKind kind) {
  std::vector<TSeriesName> objects;
  const long long id = DeviceId(device, false);
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.prepare(QString("SELECT DISTINCT r.object, COALESCE(s.caption, r.object) FROM %1 r LEFT JOIN series s ON "
                        "s.device_id = r.device_id AND s.kind = r.kind AND s.object = r.object WHERE r.device_id = ? "
                        "AND r.kind = ? ORDER BY 2, 1")
                    .arg(kind == TSampleKind::UpTime ? "reading" : "reading_hour"));
  query.addBindValue(id);
  query.addBindValue(static_cast<int>(kind));
  if (!query.exec()) return objects;
  while (query.next())
    objects.push_back({query.value(0).toString().toStdString(), query.value(1).toString().toStdString()});
  return objects;
}

std::vector<TPoint> THistoryStore::Series(const TDeviceKey& device, TSampleKind kind, const std::string& object,
                                          int64_t from, int64_t to) {
  std::vector<TPoint> points;
  const long long id = DeviceId(device, false);
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  // A measured value without a number ("???") has none in the value column.
  query.prepare(QString("SELECT at, raw, value FROM reading WHERE device_id = ? AND kind = ? AND object = ? AND "
                        "at >= ? AND at <= ? %1 ORDER BY at")
                    .arg(kind == TSampleKind::Value ? "AND value IS NOT NULL" : ""));
  query.addBindValue(id);
  query.addBindValue(static_cast<int>(kind));
  query.addBindValue(Text(object));
  query.addBindValue(static_cast<qlonglong>(from));
  query.addBindValue(static_cast<qlonglong>(to));
  if (!query.exec()) return points;
  while (query.next())
    points.push_back({query.value(0).toLongLong(), kind == TSampleKind::Value ? query.value(2).toDouble()
                                                   : query.value(1).isNull()  ? 2
                                                                              : query.value(1).toDouble()});
  return points;
}

namespace {

std::vector<TBucket> ReadBuckets(QSqlQuery& query) {
  std::vector<TBucket> buckets;
  if (!query.exec()) return buckets;
  while (query.next())
    buckets.push_back({query.value(1).toLongLong(), query.value(2).toLongLong(), query.value(3).toDouble(),
                       query.value(4).toDouble(), query.value(5).toLongLong(), query.value(6).toLongLong()});
  return buckets;
}

// The column of a row's time: (time - from) * columns / (to - from + 1),
// in integers, the same in both databases.
QString ColumnOf(const char* time, int64_t from, int64_t to, int columns) {
  return QString("((%1 - %2) * %3 / %4)").arg(time).arg(from).arg(columns).arg(std::max<int64_t>(to - from + 1, 1));
}

// Whether a plot's columns are an hour or more, so that the hourly rollups
// give them exactly enough.
bool ColumnsAreHours(int64_t from, int64_t to, int columns) { return (to - from + 1) / std::max(columns, 1) >= kRollupMs; }

}  // namespace

std::vector<TBucket> THistoryStore::QueryBuckets(const QString& statement, const QVariantList& values) {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  query.prepare(statement);
  for (const QVariant& value : values) query.addBindValue(value);
  return ReadBuckets(query);
}

std::vector<TBucket> THistoryStore::Buckets(const TDeviceKey& device, TSampleKind kind, const std::string& object,
                                            int64_t from, int64_t to, int columns) {
  const QVariantList where{DeviceId(device, false), static_cast<int>(kind), Text(object),
                           static_cast<qlonglong>(from / kRollupMs * kRollupMs), static_cast<qlonglong>(to)};
  if (ColumnsAreHours(from, to, columns))
    return QueryBuckets(QString("SELECT %1 AS c, MIN(first_at), MAX(last_at), MIN(low), MAX(high), SUM(readings), 0 "
                                "FROM reading_hour WHERE device_id = ? AND kind = ? AND object = ? AND hour >= ? AND "
                                "hour <= ? GROUP BY c ORDER BY c")
                            .arg(ColumnOf("hour", from, to, columns)),
                        where);
  const QString measure = kind == TSampleKind::Led ? kLedSeveritySql : "value";
  return QueryBuckets(QString("SELECT %1 AS c, MIN(at), MAX(at), MIN(%2), MAX(%2), COUNT(*), 0 FROM reading "
                              "WHERE device_id = ? AND kind = ? AND object = ? AND at >= ? AND at <= ? AND %2 IS NOT "
                              "NULL GROUP BY c ORDER BY c")
                          .arg(ColumnOf("at", from, to, columns), measure),
                      {where[0], where[1], where[2], static_cast<qlonglong>(from), where[4]});
}

std::vector<TBucket> THistoryStore::PingBuckets(const TDeviceKey& device, int64_t from, int64_t to, int columns) {
  const qlonglong id = DeviceId(device, false);
  if (ColumnsAreHours(from, to, columns))
    return QueryBuckets(QString("SELECT %1 AS c, MIN(first_at), MAX(last_at), MIN(low), MAX(high), SUM(pings), "
                                "SUM(timeouts) FROM ping_hour WHERE device_id = ? AND hour >= ? AND hour <= ? "
                                "GROUP BY c ORDER BY c")
                            .arg(ColumnOf("hour", from, to, columns)),
                        {id, static_cast<qlonglong>(from / kRollupMs * kRollupMs), static_cast<qlonglong>(to)});
  return QueryBuckets(QString("SELECT %1 AS c, MIN(at), MAX(at), MIN(rtt), MAX(rtt), COUNT(*), "
                              "SUM(CASE WHEN rtt IS NULL THEN 1 ELSE 0 END) FROM ping "
                              "WHERE device_id = ? AND at >= ? AND at <= ? GROUP BY c ORDER BY c")
                          .arg(ColumnOf("at", from, to, columns)),
                      {id, static_cast<qlonglong>(from), static_cast<qlonglong>(to)});
}

std::vector<TPoint> THistoryStore::Pings(const TDeviceKey& device, int64_t from, int64_t to) {
  std::vector<TPoint> points;
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.setForwardOnly(true);
  query.prepare("SELECT at, rtt FROM ping WHERE device_id = ? AND at >= ? AND at <= ? ORDER BY at");
  query.addBindValue(DeviceId(device, false));
  query.addBindValue(static_cast<qlonglong>(from));
  query.addBindValue(static_cast<qlonglong>(to));
  if (!query.exec()) return points;
  while (query.next())
    points.push_back({query.value(0).toLongLong(), query.value(1).isNull() ? std::numeric_limits<double>::quiet_NaN()
                                                                           : query.value(1).toDouble()});
  return points;
}

std::vector<TWrite> THistoryStore::Writes(const TDeviceKey& device, int64_t from, int64_t to) {
  std::vector<TWrite> writes;
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.prepare(
      "SELECT at, kind, object, written, result, read_back FROM write_event WHERE device_id = ? AND at >= ? AND "
      "at <= ? ORDER BY at");
  query.addBindValue(DeviceId(device, false));
  query.addBindValue(static_cast<qlonglong>(from));
  query.addBindValue(static_cast<qlonglong>(to));
  if (!query.exec()) return writes;
  while (query.next())
    writes.push_back({device, query.value(0).toLongLong(),
                      WriteKindNamed(query.value(1).toString().toStdString()),
                      query.value(2).toString().toStdString(), query.value(3).toString().toStdString(),
                      query.value(4).toString().toStdString(), query.value(5).toString().toStdString()});
  return writes;
}

std::vector<TRow> THistoryStore::Rows(const TDeviceKey& device, int64_t from, int64_t to) {
  std::vector<TRow> rows;
  const long long id = DeviceId(device, false);
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  // Readings are named as their series is now.
  query.prepare(
      "SELECT r.at, r.kind, COALESCE(s.caption, r.object), r.raw, r.shown, r.value FROM reading r LEFT JOIN series s "
      "ON s.device_id = r.device_id AND s.kind = r.kind AND s.object = r.object WHERE r.device_id = ? AND r.at >= ? "
      "AND r.at <= ?");
  query.addBindValue(id);
  query.addBindValue(static_cast<qlonglong>(from));
  query.addBindValue(static_cast<qlonglong>(to));
  if (query.exec()) {
    while (query.next()) {
      // A measured value at the precision it was recorded at, not as rounded for the panel.
      std::string value = query.value(5).isNull()
                              ? query.value(4).toString().toStdString()
                              : QString::number(query.value(5).toDouble(), 'g', 15).toStdString();
      rows.push_back({query.value(0).toLongLong(), KindName(static_cast<TSampleKind>(query.value(1).toInt())),
                      query.value(2).toString().toStdString(),
                      query.value(3).isNull() ? "" : query.value(3).toString().toStdString(), value});
    }
  }
  for (const TPoint& ping : Pings(device, from, to))
    rows.push_back({ping.At, "ping", "", "", std::isnan(ping.Value) ? "timeout" : std::to_string(static_cast<long long>(ping.Value))});
  for (const TWrite& write : Writes(device, from, to))
    rows.push_back({write.At, WriteKindName(write.Kind), write.Object, write.Written,
                    write.Result == "ok" ? write.ReadBack : write.Result});
  std::stable_sort(rows.begin(), rows.end(), [](const TRow& a, const TRow& b) { return a.At < b.At; });
  return rows;
}

}  // namespace qz::history
