// The history store against a real SQLite file and a real PostgreSQL server.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <linux/capability.h>
#include <random>
#include <sys/mount.h>
#include <thread>

#include "capabilities.h"
#include "history_recorder.h"
#include "history_store.h"
#include "peers.h"
#include "plot_points.h"
#include "postgres.h"

using namespace qz::history;
using qz::test::ReadFileBytes;
using qz::test::ScratchDir;
using qz::test::WriteFileBytes;

namespace {

TStoreSettings FileSettings(const std::string& file) {
  TStoreSettings settings;
  settings.File = file;
  return settings;
}

constexpr int64_t kDay = 24LL * 60 * 60 * 1000;
// 2026-12-10T00:00:00Z
constexpr int64_t kMidnight = 1796860800000;

const TDeviceKey kStation{"127.0.0.14", "Main distribution", "QZ300"};

TReading Reading(int64_t at, const std::string& temperature, int64_t raw, int64_t door) {
  return {kStation,
          at,
          {{TSampleKind::Led, "Door", door, door == 0 ? "normal" : "alarm"},
           {TSampleKind::Value, "Temp., C", raw, temperature,
            temperature == "???" ? std::nullopt : std::optional<double>(static_cast<double>(raw) / 10)},
           {TSampleKind::UpTime, "sysUpTime", std::nullopt, "3 hours 2 min."}}};
}

TBatch Day() {
  TBatch batch;
  batch.Readings = {Reading(kMidnight, "23,5", 235, 0), Reading(kMidnight + 30'000, "24.0", 240, 1),
                    Reading(kMidnight + 60'000, "???", 0, 2)};
  batch.Pings = {{kStation, kMidnight + 1000, 3}, {kStation, kMidnight + 2000, std::nullopt}};
  batch.Writes = {{kStation, kMidnight + 45'000, TWriteKind::Set, "Source", "2", "ok", "2"},
                  {kStation, kMidnight + 50'000, TWriteKind::Rename, "sysName", "Main distribution", "ok", ""}};
  return batch;
}

// Where a store keeps its history: a file, or the test's PostgreSQL server.
class StoreTest : public ::testing::TestWithParam<TDialect> {
 protected:
  void SetUp() override {
    if (GetParam() == TDialect::PostgreSQL) {
      if (const std::string why = qz::test::PostgresUnavailable(); !why.empty()) GTEST_SKIP() << why;
      if (!server_) server_ = new qz::test::PostgresServer;
      ASSERT_EQ(server_->Failure(), "");
      settings_.Dialect = TDialect::PostgreSQL;
      settings_.Host = server_->Host();
      settings_.Port = server_->Port();
      settings_.Database = server_->Database();
      settings_.User = server_->User();
      settings_.Password = server_->Password();
      // Every test starts on an empty history.
      THistoryStore cleaner(settings_);
      ASSERT_EQ(cleaner.Open(), "");
      for (const char* table : {"write_event", "reading", "ping", "device"})
        QSqlQuery(QSqlDatabase::database(QSqlDatabase::connectionNames().last())).exec(QString("DELETE FROM ") + table);
    } else {
      settings_.File = dir_.File("QZhistory.db");
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  ScratchDir dir_{"history"};
  TStoreSettings settings_;
  static inline qz::test::PostgresServer* server_ = nullptr;
};

}  // namespace

TEST_P(StoreTest, WhatIsWrittenReadsBack) {
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  EXPECT_EQ(store.SchemaVersion(), kSchemaVersion);
  ASSERT_EQ(store.Write(Day()), "");
  ASSERT_EQ(store.Devices().size(), 1u);
  EXPECT_EQ(store.Devices()[0], kStation);
  const auto temperatures = store.Series(kStation, TSampleKind::Value, "Temp., C", kMidnight, kMidnight + kDay);
  ASSERT_EQ(temperatures.size(), 2u);  // "???" holds no number
  EXPECT_DOUBLE_EQ(temperatures[0].Value, 23.5);
  EXPECT_DOUBLE_EQ(temperatures[1].Value, 24.0);
  const auto door = store.Series(kStation, TSampleKind::Led, "Door", kMidnight, kMidnight + kDay);
  ASSERT_EQ(door.size(), 3u);
  EXPECT_EQ(door[1].Value, 1);
  EXPECT_EQ(store.Objects(kStation, TSampleKind::Value), (std::vector<TSeriesName>{{"Temp., C", "Temp., C"}}));
  const auto pings = store.Pings(kStation, kMidnight, kMidnight + kDay);
  ASSERT_EQ(pings.size(), 2u);
  EXPECT_EQ(pings[0].Value, 3);
  EXPECT_TRUE(std::isnan(pings[1].Value));
  const auto writes = store.Writes(kStation, kMidnight, kMidnight + kDay);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].Kind, TWriteKind::Set);
  EXPECT_EQ(writes[0].ReadBack, "2");
  EXPECT_EQ(writes[1].Kind, TWriteKind::Rename);
  // The export of a known range, byte for byte: the last reading is outside.
  EXPECT_EQ(FormatCsv(kStation.Address, store.Rows(kStation, kMidnight, kMidnight + 50'000)),
            "time,address,kind,object,raw,value\r\n"
            "2026-12-10T00:00:00.000Z,127.0.0.14,led,Door,0,normal\r\n"
            "2026-12-10T00:00:00.000Z,127.0.0.14,value,\"Temp., C\",235,23.5\r\n"
            "2026-12-10T00:00:00.000Z,127.0.0.14,uptime,sysUpTime,,3 hours 2 min.\r\n"
            "2026-12-10T00:00:01.000Z,127.0.0.14,ping,,,3\r\n"
            "2026-12-10T00:00:02.000Z,127.0.0.14,ping,,,timeout\r\n"
            "2026-12-10T00:00:30.000Z,127.0.0.14,led,Door,1,alarm\r\n"
            "2026-12-10T00:00:30.000Z,127.0.0.14,value,\"Temp., C\",240,24\r\n"
            "2026-12-10T00:00:30.000Z,127.0.0.14,uptime,sysUpTime,,3 hours 2 min.\r\n"
            "2026-12-10T00:00:45.000Z,127.0.0.14,set,Source,2,2\r\n"
            "2026-12-10T00:00:50.000Z,127.0.0.14,rename,sysName,Main distribution,\r\n");
}

TEST_P(StoreTest, AValueKeepsTheFullPrecisionThePanelRounded) {
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  TBatch batch;
  batch.Readings = {{kStation, kMidnight, {{TSampleKind::Value, "Load, A", 1234, "12.3", 12.34}}}};
  ASSERT_EQ(store.Write(batch), "");
  const auto series = store.Series(kStation, TSampleKind::Value, "Load, A", kMidnight, kMidnight + kDay);
  ASSERT_EQ(series.size(), 1u);
  EXPECT_DOUBLE_EQ(series[0].Value, 12.34);
  EXPECT_EQ(FormatCsv(kStation.Address, store.Rows(kStation, kMidnight, kMidnight + kDay)),
            "time,address,kind,object,raw,value\r\n2026-12-10T00:00:00.000Z,127.0.0.14,value,\"Load, A\",1234,12.34\r\n");
}

TEST_P(StoreTest, ARenamedDeviceGoesOnWithItsHistory) {
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  TBatch before;
  before.Readings = {Reading(kMidnight, "23.5", 235, 0)};
  ASSERT_EQ(store.Write(before), "");
  TDeviceKey renamed = kStation;
  renamed.Name = "Hall A feeder";
  TBatch after;
  after.Readings = {Reading(kMidnight + 30'000, "24.0", 240, 1)};
  after.Readings[0].Device = renamed;
  after.Pings = {{renamed, kMidnight + 31'000, 4}};
  ASSERT_EQ(store.Write(after), "");
  const auto devices = store.Devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Name, "Hall A feeder");
  // Either name finds the one series, and its hour's rollup holds both readings.
  for (const TDeviceKey& device : {kStation, renamed}) {
    EXPECT_EQ(store.Series(device, TSampleKind::Value, "Temp., C", kMidnight, kMidnight + kDay).size(), 2u);
    const auto buckets = store.Buckets(device, TSampleKind::Value, "Temp., C", kMidnight, kMidnight + kDay, 1);
    ASSERT_EQ(buckets.size(), 1u);
    EXPECT_DOUBLE_EQ(buckets[0].Min, 23.5);
    EXPECT_DOUBLE_EQ(buckets[0].Max, 24.0);
  }
  // Another type at the same address is another device.
  TDeviceKey replaced = kStation;
  replaced.Type = "QZ120";
  TBatch other;
  other.Readings = {Reading(kMidnight + 60'000, "20.0", 200, 0)};
  other.Readings[0].Device = replaced;
  ASSERT_EQ(store.Write(other), "");
  EXPECT_EQ(store.Devices().size(), 2u);
}

TEST_P(StoreTest, RetentionPrunesWhatIsOlder) {
  settings_.RetentionDays = 90;
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  TBatch old;
  old.Readings = {Reading(kMidnight - 91 * kDay, "1", 10, 0), Reading(kMidnight - 89 * kDay, "2", 20, 0)};
  old.Pings = {{kStation, kMidnight - 100 * kDay, 1}, {kStation, kMidnight - kDay, 2}};
  ASSERT_EQ(store.Write(old), "");
  EXPECT_EQ(store.Prune(kMidnight), 3 + 1);  // the three samples of one reading, and one ping
  const auto kept = store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].Value, 2);
  EXPECT_EQ(store.Pings(kStation, 0, kMidnight).size(), 1u);
  // The hourly rollups of what went are gone too: a plot of days (made of
  // them) shows nothing before the retention.
  const auto counted = [](const std::vector<TBucket>& buckets) {
    int64_t count = 0;
    for (const TBucket& bucket : buckets) count += bucket.Count;
    return count;
  };
  EXPECT_EQ(counted(store.Buckets(kStation, TSampleKind::Value, "Temp., C", kMidnight - 100 * kDay, kMidnight, 100)), 1);
  EXPECT_EQ(counted(store.PingBuckets(kStation, kMidnight - 100 * kDay, kMidnight, 100)), 1);
}

TEST_P(StoreTest, ADeviceTextWithANulLosesNoReading) {
  // A device may send a NUL in its name or in a text; its readings and those
  // of the other devices of the same batch are all kept.
  const TDeviceKey odd{"127.0.0.15", std::string("Odd\0name", 8), "QZ120"};
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  TBatch batch = Day();
  batch.Readings.push_back({odd, kMidnight, {{TSampleKind::UpTime, "sysUpTime", std::nullopt, std::string("1\0 min.", 7)}}});
  batch.Writes.push_back({odd, kMidnight + 1000, TWriteKind::Rename, "sysName", std::string("New\0name", 8), "ok", ""});
  ASSERT_EQ(store.Write(batch), "");
  EXPECT_EQ(store.Devices().size(), 2u);
  EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", kMidnight, kMidnight + kDay).size(), 2u);
  EXPECT_EQ(store.Writes(odd, 0, kMidnight + kDay).size(), 1u);
  EXPECT_EQ(store.Rows(odd, 0, kMidnight + kDay).size(), 2u);
}

TEST_P(StoreTest, TheRecorderWritesFromItsOwnThread) {
  QStringList notices;
  {
    THistoryRecorder recorder(settings_, [&](const QString& text) { notices << text; });
    recorder.Record(Day());
    for (int i = 0; i < 25; ++i) recorder.RecordPing({kStation, kMidnight + 100'000 + i * 1000, i});
    recorder.Flush();
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(notices.isEmpty()) << notices.join("|").toStdString();
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  EXPECT_EQ(store.Pings(kStation, 0, kMidnight + kDay).size(), 2u + 25u);
  EXPECT_EQ(store.Series(kStation, TSampleKind::Led, "Door", 0, kMidnight + kDay).size(), 3u);
}

TEST_P(StoreTest, ThePlotsBucketsAreMadeByTheDatabase) {
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  // A day of 30-second readings, the temperature rising by 0.1 each, with
  // one spike; the door in alarm for the second hour; a ping lost at noon.
  TBatch day;
  for (int64_t i = 0; i < 2880; ++i) {
    const int64_t at = kMidnight + i * 30'000;
    const int64_t raw = i == 1000 ? 9999 : 200 + i;
    day.Readings.push_back(Reading(at, std::to_string(raw / 10) + "." + std::to_string(raw % 10), raw,
                                   at >= kMidnight + 3'600'000 && at < kMidnight + 7'200'000 ? 1 : 0));
    day.Pings.push_back({kStation, at, i == 1440 ? std::nullopt : std::optional<int32_t>(static_cast<int32_t>(i % 7))});
  }
  ASSERT_EQ(store.Write(day), "");
  const auto values = store.Buckets(kStation, TSampleKind::Value, "Temp., C", kMidnight, kMidnight + kDay - 1, 24);
  ASSERT_EQ(values.size(), 24u);  // an hour each
  EXPECT_EQ(values[0].Count, 120);
  EXPECT_DOUBLE_EQ(values[0].Min, 20.0);
  EXPECT_DOUBLE_EQ(values[0].Max, 31.9);
  EXPECT_DOUBLE_EQ(values[8].Max, 999.9);  // reading 1000 is in the ninth hour
  // Half-hour columns are narrower than the hourly rollups: made of the readings.
  const auto halfHours = store.Buckets(kStation, TSampleKind::Value, "Temp., C", kMidnight, kMidnight + kDay - 1, 48);
  ASSERT_EQ(halfHours.size(), 48u);
  EXPECT_EQ(halfHours[0].Count, 60);
  EXPECT_DOUBLE_EQ(halfHours[1].Max, 31.9);
  EXPECT_DOUBLE_EQ(halfHours[16].Max, 999.9);
  const auto door = LedRuns(store.Buckets(kStation, TSampleKind::Led, "Door", kMidnight, kMidnight + kDay - 1, 24),
                            kMidnight + kDay);
  ASSERT_EQ(door.size(), 3u);
  EXPECT_EQ(door[1].State, 2);
  EXPECT_EQ(door[1].From, kMidnight + 3'600'000);
  EXPECT_EQ(door[1].To, kMidnight + 7'200'000);
  const auto pings = store.PingBuckets(kStation, kMidnight, kMidnight + kDay - 1, 24);
  ASSERT_EQ(pings.size(), 24u);
  EXPECT_EQ(pings[12].Timeouts, 1);
  EXPECT_EQ(pings[11].Timeouts, 0);
  EXPECT_EQ(pings[0].Max, 6);
  // The hour of the lost ping keeps the round trips of the others.
  EXPECT_EQ(pings[12].Min, 0);
  EXPECT_EQ(pings[12].Max, 6);
  EXPECT_EQ(pings[12].Count, 120);
}

// A series is its object's key: the caption it is shown by may change (a
// code page, a locale, an edited description file) without splitting it.
TEST_P(StoreTest, ASeriesIsOneWhateverItsCaption) {
  THistoryStore store(settings_);
  ASSERT_EQ(store.Open(), "");
  const std::string oid = "1.3.6.1.4.1.17.2.1.0";
  TBatch batch;
  for (const auto& [at, caption] : {std::pair{kMidnight, "Temp., C"}, std::pair{kMidnight + 30'000, "Temp., \u00b0C"},
                                    std::pair{kMidnight + 60'000, "Temperature, \u00b0C"}})
    batch.Readings.push_back({kStation, at, {{TSampleKind::Value, oid, 235, "23.5", 23.5, caption}}});
  ASSERT_EQ(store.Write(batch), "");
  EXPECT_EQ(store.Series(kStation, TSampleKind::Value, oid, kMidnight, kMidnight + kDay).size(), 3u);
  EXPECT_EQ(store.Objects(kStation, TSampleKind::Value),
            (std::vector<TSeriesName>{{oid, "Temperature, \u00b0C"}}));
  // Another store (the history window's) names it the same.
  THistoryStore reader(settings_);
  ASSERT_EQ(reader.Open(), "");
  const auto rows = reader.Rows(kStation, kMidnight, kMidnight + kDay);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Object, "Temperature, \u00b0C");
}

INSTANTIATE_TEST_SUITE_P(, StoreTest, ::testing::Values(TDialect::SQLite, TDialect::PostgreSQL),
                         [](const ::testing::TestParamInfo<TDialect>& dialect) {
                           return dialect.param == TDialect::SQLite ? "SQLite" : "PostgreSQL";
                         });

TEST(HistoryFile, TheFirstSchemaIsMigrated) {
  ScratchDir dir("history");
  const std::string file = dir.File("QZhistory.db");
  {
    // A history written by the first version of the program.
    QSqlDatabase first = QSqlDatabase::addDatabase("QSQLITE", "first");
    first.setDatabaseName(QString::fromStdString(file));
    ASSERT_TRUE(first.open());
    QSqlQuery query(first);
    for (const std::string& statement : MigrationStep(1, TDialect::SQLite))
      ASSERT_TRUE(query.exec(QString::fromStdString(statement))) << statement;
    ASSERT_TRUE(query.exec("UPDATE schema_version SET version = 1"));
    ASSERT_TRUE(query.exec("INSERT INTO device (id, address, name, type) VALUES (7, '127.0.0.14', 'Main distribution', 'QZ300')"));
    ASSERT_TRUE(query.exec("INSERT INTO write_event VALUES (7, 1796860845000, 'Source', '2', 'ok', '2')"));
    ASSERT_TRUE(query.exec("INSERT INTO reading VALUES (7, 1796860800000, 2, 'Temp., C', 235, '23.5')"));
  }
  QSqlDatabase::removeDatabase("first");
  THistoryStore store(FileSettings(file));
  ASSERT_EQ(store.Open(), "");
  EXPECT_EQ(store.SchemaVersion(), kSchemaVersion);
  // The first version's values became numbers for the plot's buckets.
  const auto buckets = store.Buckets(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay, 1);
  ASSERT_EQ(buckets.size(), 1u);
  EXPECT_DOUBLE_EQ(buckets[0].Max, 23.5);
  const auto writes = store.Writes(kStation, 0, kMidnight + kDay);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].Kind, TWriteKind::Set);
  EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 1u);
  TBatch rename;
  rename.Writes = {{kStation, kMidnight + 60'000, TWriteKind::Rename, "sysName", "Hall A", "ok", ""}};
  EXPECT_EQ(store.Write(rename), "");
  EXPECT_EQ(store.Writes(kStation, 0, kMidnight + kDay).size(), 2u);
}

TEST(HistoryFile, DevicesToldApartByNameBecomeOne) {
  ScratchDir dir("history");
  const std::string file = dir.File("QZhistory.db");
  {
    // A history of the previous schema, where a rename started a new device.
    QSqlDatabase third = QSqlDatabase::addDatabase("QSQLITE", "third");
    third.setDatabaseName(QString::fromStdString(file));
    ASSERT_TRUE(third.open());
    QSqlQuery query(third);
    for (int version = 1; version <= 3; ++version)
      for (const std::string& statement : MigrationStep(version, TDialect::SQLite))
        ASSERT_TRUE(query.exec(QString::fromStdString(statement))) << statement;
    const char* const rows[] = {
        "UPDATE schema_version SET version = 3",
        "INSERT INTO device (id, address, name, type) VALUES (3, '127.0.0.14', 'Main distribution', 'QZ300')",
        "INSERT INTO device (id, address, name, type) VALUES (5, '127.0.0.99', 'Other', 'QZ120')",
        "INSERT INTO device (id, address, name, type) VALUES (8, '127.0.0.14', 'Hall A feeder', 'QZ300')",
        "INSERT INTO reading VALUES (3, 1796860800000, 2, 'Temp., C', 235, '23.5', 23.5)",
        "INSERT INTO reading VALUES (8, 1796860830000, 2, 'Temp., C', 240, '24.0', 24.0)",
        "INSERT INTO reading VALUES (5, 1796860830000, 2, 'Temp., C', 100, '10.0', 10.0)",
        "INSERT INTO reading_hour VALUES (3, 2, 'Temp., C', 1796860800000, 1796860800000, 1796860800000, 23.5, 23.5, 1)",
        "INSERT INTO reading_hour VALUES (8, 2, 'Temp., C', 1796860800000, 1796860830000, 1796860830000, 24.0, 24.0, 1)",
        "INSERT INTO ping VALUES (3, 1796860801000, 3)",
        "INSERT INTO ping VALUES (8, 1796860831000, NULL)",
        "INSERT INTO ping_hour VALUES (3, 1796860800000, 1796860801000, 1796860801000, 3, 3, 1, 0)",
        "INSERT INTO ping_hour VALUES (8, 1796860800000, 1796860831000, 1796860831000, NULL, NULL, 1, 1)",
        "INSERT INTO write_event VALUES (8, 1796860832000, 'sysName', 'Hall A feeder', 'ok', '', 'rename')"};
    for (const char* row : rows) ASSERT_TRUE(query.exec(row)) << row;
  }
  QSqlDatabase::removeDatabase("third");
  THistoryStore store(FileSettings(file));
  ASSERT_EQ(store.Open(), "");
  EXPECT_EQ(store.SchemaVersion(), kSchemaVersion);
  const auto devices = store.Devices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].Name, "Hall A feeder");
  EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 2u);
  const auto buckets = store.Buckets(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay, 1);
  ASSERT_EQ(buckets.size(), 1u);
  EXPECT_DOUBLE_EQ(buckets[0].Min, 23.5);
  EXPECT_DOUBLE_EQ(buckets[0].Max, 24.0);
  EXPECT_EQ(store.Pings(kStation, 0, kMidnight + kDay).size(), 2u);
  EXPECT_EQ(store.Writes(kStation, 0, kMidnight + kDay).size(), 1u);
  EXPECT_EQ(store.Series(devices[1], TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 1u);
  // Series were keyed by their caption then: the first reading under the
  // object's key takes over what was recorded under its caption.
  const std::string oid = "1.3.6.1.4.1.17.2.1.0";
  TBatch keyed;
  keyed.Readings.push_back({kStation, kMidnight + 90'000, {{TSampleKind::Value, oid, 245, "24.5", 24.5, "Temp., C"}}});
  ASSERT_EQ(store.Write(keyed), "");
  EXPECT_EQ(store.Series(kStation, TSampleKind::Value, oid, 0, kMidnight + kDay).size(), 3u);
  EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 0u);
  EXPECT_EQ(store.Buckets(kStation, TSampleKind::Value, oid, 0, kMidnight + kDay, 1).at(0).Count, 3);
  EXPECT_EQ(store.Objects(kStation, TSampleKind::Value), (std::vector<TSeriesName>{{oid, "Temp., C"}}));
  // The other device's series of that caption is its own.
  EXPECT_EQ(store.Series(devices[1], TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 1u);
}

// A file that cannot be used is set aside whole and a new one started.
TEST(HistoryFile, ABadFileIsKeptAndANewOneStarted) {
  std::mt19937 random(7);
  std::string noise(20000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string truncated;
  {
    ScratchDir good("history");
    THistoryStore store(FileSettings(good.File("QZhistory.db")));
    ASSERT_EQ(store.Open(), "");
    TBatch many;
    for (int i = 0; i < 300; ++i) many.Readings.push_back(Reading(kMidnight + i * 30'000, "21.5", 215, 0));
    ASSERT_EQ(store.Write(many), "");
    store.Close();
    const std::string whole = ReadFileBytes(good.File("QZhistory.db"));
    truncated = whole.substr(0, whole.size() / 3);
  }
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {{"random bytes", noise}, {"truncated", truncated}};
  for (const auto& c : cases) {
    ScratchDir dir("history");
    const std::string file = dir.File("QZhistory.db");
    WriteFileBytes(file, c.bytes);
    THistoryStore store(FileSettings(file));
    const std::string notice = store.OpenOrStartAgain(kMidnight);
    EXPECT_NE(notice.find("could not be used"), std::string::npos) << c.name << ": " << notice;
    EXPECT_NE(notice.find("QZhistory.db.damaged-20261210-000000"), std::string::npos) << c.name << ": " << notice;
    EXPECT_TRUE(ReadFileBytes(file + ".damaged-20261210-000000") == c.bytes) << c.name << ": not kept whole";
    ASSERT_TRUE(store.IsOpen()) << c.name;
    EXPECT_EQ(store.Write(Day()), "") << c.name;
    EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 2u) << c.name;
  }
}

namespace {

// Another program holding the history file: a Python process with its own
// SQLite connection, started once the file exists and ended by the test.
class OtherProgram {
 public:
  OtherProgram(const std::string& file, const std::string& hold) {
    const std::string script = "import sqlite3, sys, time\n"
                               "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                               "c.execute('" + hold + "')\n"
                               "c.execute('SELECT COUNT(*) FROM reading').fetchone()\n"
                               "print('holding', flush=True)\n"
                               "sys.stdin.read()\n";
    pipe_ = popen(("python3 -c \"" + script + "\" '" + file + "' > " + file + ".holder 2>&1").c_str(), "w");
    for (int i = 0; i < 500 && ReadFileBytes(file + ".holder").find("holding") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    holding_ = ReadFileBytes(file + ".holder").find("holding") != std::string::npos;
    output_ = file + ".holder";
  }
  ~OtherProgram() { End(); }
  bool Holding() const { return holding_; }
  std::string Output() const { return ReadFileBytes(output_); }
  void End() {
    if (pipe_) pclose(pipe_);
    pipe_ = nullptr;
  }

 private:
  FILE* pipe_ = nullptr;
  bool holding_ = false;
  std::string output_;
};

// Waits for the recorder's notices, handing them over on this thread.
bool NoticeArrives(const QStringList& notices, const QString& start, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    QCoreApplication::processEvents();
    for (const QString& notice : notices)
      if (notice.startsWith(start)) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool AnythingSetAside(const ScratchDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    if (entry.path().filename().string().find(".damaged-") != std::string::npos) return true;
  return false;
}

}  // namespace

// A reader never stops the recording; a file that is busy, locked, read-only
// or on a full disk pauses it (nothing renamed, the readings kept) until it
// can be written again.
TEST(HistoryFile, ASoundFileIsNeverSetAside) {
  enum TCause { kReader, kWriter, kReadOnly, kFullDisk };
  const struct {
    const char* name;
    TCause cause;
    bool pauses;
  } cases[] = {{"another program reading", kReader, false},
               {"another program writing", kWriter, true},
               {"read-only", kReadOnly, true},
               {"full disk", kFullDisk, true}};
  for (const auto& c : cases) {
    ScratchDir dir("history");
    std::string folder = dir.Path();
    bool mounted = false;
    if (c.cause == kFullDisk) {
      // A small file system of the test's own, filled up once the history is in it.
      folder = dir.File("small");
      std::filesystem::create_directory(folder);
      if (mount("qz-history-test", folder.c_str(), "tmpfs", 0, "size=1m") != 0) {
        std::cout << "  full disk not tried: no tmpfs can be mounted here (" << std::strerror(errno) << ")\n";
        continue;
      }
      mounted = true;
    }
    const std::string file = folder + "/QZhistory.db";
    {
      // Recorded into before: as every history file of this program, in WAL mode.
      THistoryStore earlier(FileSettings(file));
      ASSERT_EQ(earlier.OpenOrStartAgain(kMidnight), "") << c.name;
      TBatch first;
      first.Readings = {Reading(kMidnight - kDay, "20.0", 200, 0)};
      ASSERT_EQ(earlier.Write(first), "") << c.name;
    }
    std::optional<OtherProgram> other;
    // Ends what keeps the file from being written.
    std::function<void()> release;
    switch (c.cause) {
      case kReader:
        other.emplace(file, "BEGIN");
        release = [&] { other->End(); };
        break;
      case kWriter:
        other.emplace(file, "BEGIN EXCLUSIVE");
        release = [&] { other->End(); };
        break;
      case kReadOnly:
        std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        std::filesystem::permissions(file, std::filesystem::perms::owner_read);
        release = [&] {
          std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
          std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        };
        break;
      case kFullDisk:
        WriteFileBytes(folder + "/filler", std::string(1 << 20, 'x'));
        release = [&] { std::filesystem::remove(folder + "/filler"); };
        break;
    }
    if (other) {
      ASSERT_TRUE(other->Holding()) << c.name << ": " << other->Output();
    }
    const std::string before = ReadFileBytes(file);
    {
      // Root writes any file; without CAP_DAC_OVERRIDE it meets the mode as a user does.
      qz::test::WithoutCapability asUser(CAP_DAC_OVERRIDE);
      ASSERT_EQ(asUser.Failure(), "");
      QStringList notices;
      THistoryRecorder recorder(FileSettings(file), [&](const QString& text) { notices << text; });
      recorder.Record(Day());
      recorder.Flush();
      EXPECT_EQ(NoticeArrives(notices, "History paused: ", 500), c.pauses) << c.name << ": " << notices.join("|").toStdString();
      if (c.cause != kReader) {
        EXPECT_TRUE(ReadFileBytes(file) == before) << c.name;
      }
      release();
      if (c.pauses) {
        EXPECT_TRUE(NoticeArrives(notices, "History recording again", 15000))
            << c.name << ": " << notices.join("|").toStdString();
      }
      recorder.Flush();
      for (const QString& notice : notices) EXPECT_FALSE(notice.contains("kept as")) << c.name;
    }
    EXPECT_FALSE(AnythingSetAside(dir)) << c.name;
    {
      THistoryStore store(FileSettings(file));
      ASSERT_EQ(store.Open(), "") << c.name;
      EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 3u) << c.name;
      EXPECT_EQ(store.Pings(kStation, 0, kMidnight + kDay).size(), 2u) << c.name;
    }
    if (mounted) umount2(folder.c_str(), MNT_DETACH);
  }
}

// A server that holds a lock, or stops answering in the middle of a write:
// the recorder pauses and goes on, and stopping it never waits for ever.
TEST_P(StoreTest, ALockedOrStalledServerNeverHoldsTheRecorderForEver) {
  if (GetParam() != TDialect::PostgreSQL) GTEST_SKIP() << "a server's locks and stalls";
  {
    // Another session locks the readings' table for as long as it likes.
    QSqlDatabase locker = QSqlDatabase::addDatabase("QPSQL", "locker");
    locker.setHostName(QString::fromStdString(settings_.Host));
    locker.setPort(settings_.Port);
    locker.setDatabaseName(QString::fromStdString(settings_.Database));
    locker.setUserName(QString::fromStdString(settings_.User));
    locker.setPassword(QString::fromStdString(settings_.Password));
    ASSERT_TRUE(locker.open());
    ASSERT_TRUE(QSqlQuery(locker).exec("BEGIN"));
    ASSERT_TRUE(QSqlQuery(locker).exec("LOCK TABLE reading IN ACCESS EXCLUSIVE MODE"));
    QStringList notices;
    THistoryRecorder recorder(settings_, [&](const QString& text) { notices << text; });
    recorder.Record(Day());
    EXPECT_TRUE(NoticeArrives(notices, "History paused: ", 15000)) << notices.join("|").toStdString();
    ASSERT_TRUE(QSqlQuery(locker).exec("COMMIT"));
    locker.close();
    EXPECT_TRUE(NoticeArrives(notices, "History recording again", 15000)) << notices.join("|").toStdString();
  }
  QSqlDatabase::removeDatabase("locker");
  {
    THistoryStore store(settings_);
    ASSERT_EQ(store.Open(), "");
    EXPECT_EQ(store.Series(kStation, TSampleKind::Value, "Temp., C", 0, kMidnight + kDay).size(), 2u);
  }

  qz::test::StallingRelay relay(settings_.Port);
  ASSERT_TRUE(relay.Started());
  TStoreSettings throughRelay = settings_;
  throughRelay.Port = relay.Port();
  THistoryRecorder recorder(throughRelay, {});
  recorder.Record(Day());
  recorder.Flush();
  relay.Stall(true);
  recorder.Record(Day());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  const size_t unwritten = recorder.Stop(std::chrono::milliseconds(1000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_GT(unwritten, 0u);
}
