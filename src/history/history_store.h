#pragma once
// The history database through Qt SQL: an SQLite file in the working folder,
// or a PostgreSQL server several workstations share. One store is used by
// one thread only (a Qt SQL connection belongs to the thread that made it).
#include <QSqlError>
#include <QString>
#include <QVariantList>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "history_schema.h"
#include "history_types.h"

namespace qz::history {

struct TStoreSettings {
  TDialect Dialect = TDialect::SQLite;
  std::string File = "QZhistory.db";  // SQLite
  std::string Host = "127.0.0.1";     // PostgreSQL
  int Port = 5432;
  std::string Database;
  std::string User;
  std::string Password;
  int RetentionDays = 90;
};

// What a row of the history is, as the export writes it.
struct TRow {
  int64_t At = 0;
  std::string Kind;  // led, value, uptime, ping, set, rename
  std::string Object;
  std::string Raw;
  std::string Value;  // a number with "." as decimal point, or a text
};

class THistoryStore {
 public:
  explicit THistoryStore(TStoreSettings settings);
  ~THistoryStore();
  THistoryStore(const THistoryStore&) = delete;
  THistoryStore& operator=(const THistoryStore&) = delete;

  // Opens the database and brings its schema up to date, for reading (and
  // writing where a file is sound); empty, or why it cannot be used.
  std::string Open();
  // Opens for recording, having checked the whole file and that it can be
  // written. Only an SQLite file that is damaged (LastFailureIsDamage) is
  // kept beside as <file>.damaged-<time> for inspection and a new one
  // started; one that is merely busy, locked, read-only or on a full disk is
  // left as it is and the store stays closed. Empty, or the notice for the
  // operator.
  std::string OpenOrStartAgain(int64_t now);
  // Sets a damaged file aside and starts a new one: the notice.
  std::string SetAsideAndStartAgain(int64_t now, const std::string& why);
  bool IsOpen() const { return open_; }
  void Close();
  int SchemaVersion();

  // One transaction; empty, or why it failed (nothing of it is kept then).
  std::string Write(const TBatch& batch);
  // Whether the last failure says the file itself is damaged: SQLite says it
  // is not a database or a damaged one, its check fails, or it holds no
  // history of this program.
  bool LastFailureIsDamage() const { return damaged_; }
  // Deletes what is older than the retention; the rows deleted.
  long Prune(int64_t now);

  std::vector<TDeviceKey> Devices();
  // The first and last time the history has of a device; {0, 0} without any.
  std::pair<int64_t, int64_t> Extent(const TDeviceKey& device);
  // The measured values and LEDs a device has readings of, by caption.
  std::vector<TSeriesName> Objects(const TDeviceKey& device, TSampleKind kind);
  // A measured value's readings (the value shown, as a number) or an LED's
  // states, in time order; readings without a number are left out.
  std::vector<TPoint> Series(const TDeviceKey& device, TSampleKind kind, const std::string& object, int64_t from,
                             int64_t to);
  // The readings of a measured value (by value), an LED (by its worst
  // state: 2 alarm, 1 unknown, 0 normal) or the pings (by round trip; object
  // empty) in `columns` equal slices of the range, made by the database, so
  // that a plot of a million readings gets a few thousand numbers.
  std::vector<TBucket> Buckets(const TDeviceKey& device, TSampleKind kind, const std::string& object, int64_t from,
                               int64_t to, int columns);
  std::vector<TBucket> PingBuckets(const TDeviceKey& device, int64_t from, int64_t to, int columns);
  // Round trips; a time-out is a point with a NaN value.
  std::vector<TPoint> Pings(const TDeviceKey& device, int64_t from, int64_t to);
  std::vector<TWrite> Writes(const TDeviceKey& device, int64_t from, int64_t to);
  // Everything of a device in the range, in time order, for the export.
  std::vector<TRow> Rows(const TDeviceKey& device, int64_t from, int64_t to);

  const TStoreSettings& Settings() const { return settings_; }
  QString LastError() const { return lastError_; }

 private:
  std::string OpenChecked(bool forRecording);
  std::string Connect(bool forRecording);
  QString Text(const std::string& text) const;
  void Fail(const QSqlError& error);
  bool Exec(const QString& statement);
  std::vector<TBucket> QueryBuckets(const QString& statement, const QVariantList& values);
  bool Migrate();
  long long DeviceId(const TDeviceKey& device, bool create);
  // Keeps the caption a sample's series is named by; the first time a
  // series is recorded under its key, the readings recorded before under its
  // caption become its own. False when the database failed.
  bool NameSeries(long long deviceId, const TSample& sample);

  TStoreSettings settings_;
  QString connection_;
  bool open_ = false;
  bool damaged_ = false;
  // The captions of the series this store has named (device, kind, key):
  // a caption is written when it changes, not with every reading.
  std::map<std::tuple<long long, int, std::string>, std::string> seriesNames_;
  QString lastError_;
};

}  // namespace qz::history
