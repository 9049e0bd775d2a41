// The device history as the window records it, against the lab, and the
// history window on what was recorded.
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <QAction>
#include <QCategoryAxis>
#include <QChartView>
#include <QDateTimeAxis>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "history_generator.h"
#include "history_recorder.h"
#include "history_store.h"
#include "history_window.h"
#include "net.h"
#include "plot_points.h"
#include "postgres.h"
#include "window_fixture.h"

using namespace qz::test;
using namespace qz::history;

namespace {

constexpr char kHistoryLab[] = R"(
[127.0.0.151]
type = QZ120
firmware = SNMP station vers. 1.06
name = Recorded unit
location = Lab bench
set 1.3.6.1.4.1.98361.2.2.1.0 = 0
set 1.3.6.1.4.1.98361.2.2.2.0 = 1
set 1.3.6.1.4.1.98361.2.3.1.0 = 235
set 1.3.6.1.4.1.98361.2.3.2.0 = 1300
set 1.3.6.1.4.1.98361.2.4.1.0 = 2
)";

const TDeviceKey kUnit{"127.0.0.151", "Recorded unit", "QZ120"};
constexpr const char* kTemperatureOid = "1.3.6.1.4.1.98361.2.3.1.0";
constexpr const char* kFanOid = "1.3.6.1.4.1.98361.2.2.2.0";
// 2026-12-09T00:00:00Z: a day before the tests' own readings.
constexpr int64_t kDay = 1796774400000;

class HistoryTest : public WithSuiteLab<kHistoryLab, WindowTest> {
 protected:
  void Open(bool pings = false) {
    Start(SettingsFile("127.0.0.150", "127.0.0.152", "false", "100", "2", pings ? "true" : "false"),
          kListHeader + "127.0.0.151\tRecorded unit\tLab bench\tQZ120\tSNMP station vers. 1.06 \r\n", true);
    ASSERT_TRUE(WaitForWork("state Fill data"));
    Control<QTimer>("Timer")->stop();
  }
  TStoreSettings Settings() const {
    TStoreSettings settings;
    settings.File = WorkingFile("QZhistory.db");
    return settings;
  }
  QString Shown(const char* caption) const {
    for (const auto& meas : Seam().Panel().DynMeas())
      if (meas.NameLabel && meas.NameLabel->text() == caption) return meas.ValueEdit->text();
    return {};
  }
};

}  // namespace

TEST_F(HistoryTest, AFillAndThreeRefreshesAreFourReadingsAsShown) {
  const LabValueGuard restore("127.0.0.151", kTemperatureOid, 'i', "235");
  Open();
  std::vector<double> shown{Shown("Temperature, C").toDouble()};
  for (const char* raw : {"241", "-17", "1000"}) {
    ASSERT_TRUE(SnmpSetValue("127.0.0.151", kTemperatureOid, 'i', raw));
    Seam().Refresh();
    shown.push_back(Shown("Temperature, C").toDouble());
  }
  EXPECT_EQ(shown, (std::vector<double>{23.5, 24.1, -1.7, 100.0}));
  Seam().FlushHistory();
  THistoryStore store(Settings());
  ASSERT_EQ(store.Open(), "");
  ASSERT_EQ(store.Devices(), std::vector<TDeviceKey>{kUnit});
  const auto temperatures = store.Series(kUnit, TSampleKind::Value, kTemperatureOid, 0, NowMs());
  ASSERT_EQ(temperatures.size(), 4u);
  for (size_t i = 0; i < shown.size(); ++i) EXPECT_DOUBLE_EQ(temperatures[i].Value, shown[i]) << i;
  const auto fan = store.Series(kUnit, TSampleKind::Led, kFanOid, 0, NowMs());
  ASSERT_EQ(fan.size(), 4u);
  EXPECT_EQ(fan[0].Value, 1);  // alarm
  const auto rows = store.Rows(kUnit, 0, NowMs());
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const TRow& row) { return row.Kind == "uptime"; }), 4);
}

// Events are handled while a GET waits. A parameter chosen and a refresh run
// there, in a refresh's first GET, leave every pass its own reading: the
// fill, the refresh inside and the refresh around it are three.
TEST_F(HistoryTest, APassRunInsideAnotherKeepsEveryReading) {
  const LabValueGuard mode("127.0.0.151", "1.3.6.1.4.1.98361.2.4.1.0", 'i', "2");
  Open();
  QComboBox* combo = Seam().Panel().DynParams().at(0).Combo;
  bool handled = false;
  {
    const qz::snmp::TMessagePumpScope whileWaiting([&] {
      if (handled) return;
      handled = true;
      combo->setCurrentIndex(1);
      emit combo->activated(1);
      Seam().Refresh();
    });
    Seam().Refresh();
  }
  ASSERT_TRUE(handled);
  Seam().FlushHistory();
  THistoryStore store(Settings());
  ASSERT_EQ(store.Open(), "");
  EXPECT_EQ(store.Series(kUnit, TSampleKind::Value, kTemperatureOid, 0, NowMs()).size(), 3u);
  EXPECT_EQ(store.Series(kUnit, TSampleKind::Led, kFanOid, 0, NowMs()).size(), 3u);
  const auto rows = store.Rows(kUnit, 0, NowMs());
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const TRow& row) { return row.Kind == "uptime"; }), 3);
  const auto writes = store.Writes(kUnit, 0, NowMs());
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].ReadBack, "On");
}

TEST_F(HistoryTest, AWriteAndItsReadBackAndARenameAreRecorded) {
  const LabValueGuard mode("127.0.0.151", "1.3.6.1.4.1.98361.2.4.1.0", 'i', "2");
  const LabValueGuard name("127.0.0.151", "1.3.6.1.2.1.1.5.0", 's', "Recorded unit");
  Open();
  auto* combo = Seam().Panel().DynParams().at(0).Combo;
  ChooseInOpenList(combo, 1);
  ASSERT_EQ(combo->currentText(), "On");
  TypeText(Control<QLineEdit>("edSysName"), "Renamed unit");
  QTest::keyClick(Control<QLineEdit>("edSysName"), Qt::Key_Return);
  Seam().FlushHistory();
  THistoryStore store(Settings());
  ASSERT_EQ(store.Open(), "");
  const auto writes = store.Writes(kUnit, 0, NowMs());
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].Kind, TWriteKind::Set);
  EXPECT_EQ(writes[0].Object, "Mode");
  EXPECT_EQ(writes[0].Written, "On");
  EXPECT_EQ(writes[0].Result, "ok");
  EXPECT_EQ(writes[0].ReadBack, "On");
  EXPECT_EQ(writes[1].Kind, TWriteKind::Rename);
  EXPECT_EQ(writes[1].Object, "sysName");
  EXPECT_EQ(writes[1].Written, "Renamed unit");
  // Renamed, the device goes on with the same history.
  const size_t rowsBefore = store.Rows(kUnit, 0, NowMs()).size();
  Seam().SetTicks(29);
  ASSERT_TRUE(WaitForWork("state Refresh data"));
  Seam().FlushHistory();
  THistoryStore after(Settings());
  ASSERT_EQ(after.Open(), "");
  const auto devices = after.Devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Name, "Renamed unit");
  EXPECT_GT(after.Rows(kUnit, 0, NowMs()).size(), rowsBefore);
}

TEST_F(HistoryTest, PingsAreRecorded) {
  Open(true);
  Seam().SetTicks(0);
  for (int i = 0; i < 3; ++i) Seam().TimerTick();
  Seam().FlushHistory();
  THistoryStore store(Settings());
  ASSERT_EQ(store.Open(), "");
  const auto pings = store.Pings(kUnit, 0, NowMs());
  ASSERT_EQ(pings.size(), 3u);
  for (const TPoint& ping : pings) EXPECT_FALSE(std::isnan(ping.Value));
}

TEST_F(HistoryTest, ADamagedFileIsSetAsideAndRecordingGoesOn) {
  WriteFileBytes(WorkingFile("QZhistory.db"), std::string(4096, '\x5a'));
  Open();
  ASSERT_TRUE(WaitUntil([&] { return Control<QLabel>("lbNotice")->text().startsWith("History: QZhistory.db could not be used"); }));
  EXPECT_TRUE(Control<QLabel>("lbNotice")->text().contains("kept as QZhistory.db.damaged-"))
      << Control<QLabel>("lbNotice")->text().toStdString();
  Seam().Refresh();
  Seam().FlushHistory();
  THistoryStore store(Settings());
  ASSERT_EQ(store.Open(), "");
  EXPECT_EQ(store.Series(kUnit, TSampleKind::Value, kTemperatureOid, 0, NowMs()).size(), 2u);
  int kept = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    if (entry.path().filename().string().rfind("QZhistory.db.damaged-", 0) == 0) {
      ++kept;
      EXPECT_EQ(ReadFileBytes(entry.path().string()), std::string(4096, '\x5a'));
    }
  EXPECT_EQ(kept, 1);
}

TEST_F(HistoryTest, TheHistoryWindowPlotsAndExportsTheRange) {
  Open();
  Seam().Refresh();
  Seam().Refresh();
  window_->findChild<QAction*>("itmHistory")->trigger();
  auto* history = window_->findChild<qz::app::THistoryWindow*>("frmHistory");
  ASSERT_NE(history, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !history->Loading() && history->findChild<QLabel*>("lbHistoryInfo")->text().startsWith("6 readings"); }))
      << history->findChild<QLabel*>("lbHistoryInfo")->text().toStdString();
  auto* chart = history->findChild<QChartView*>("chHistory")->chart();
  QStringList names;
  for (const auto* series : chart->series()) names << series->name();
  EXPECT_TRUE(names.contains("Temperature, C")) << names.join("|").toStdString();
  EXPECT_TRUE(names.contains("alarm"));  // the fan's band
  // Whose history of when, for a picture that leaves the window.
  EXPECT_TRUE(chart->title().contains(QString::fromStdString(kUnit.Address))) << chart->title().toStdString();
  EXPECT_TRUE(chart->title().contains(" to ")) << chart->title().toStdString();
  // A scale per unit; the LED bands named in the panel's order.
  QStringList scales;
  QStringList bands;
  for (QAbstractAxis* axis : chart->axes(Qt::Vertical)) {
    if (auto* lanes = qobject_cast<QCategoryAxis*>(axis))
      bands = lanes->categoriesLabels();
    else
      scales << axis->titleText();
  }
  scales.sort();
  EXPECT_EQ(scales, QStringList({"C", "Ping, ms", "V"}));
  EXPECT_EQ(bands, QStringList({"Fan", "Power supply"}));  // from the bottom up
  // Minutes of history open on those minutes, not on an empty day.
  EXPECT_GT(static_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first())->min(),
            QDateTime::currentDateTime().addSecs(-10 * 60));
  // The keys zoom in and go back; the arrows pan.
  auto* view = history->findChild<QChartView*>("chHistory");
  auto* time = static_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first());
  const QDateTime shownFrom = time->min();
  const qint64 shownSpan = shownFrom.msecsTo(time->max());
  QTest::keyClick(view, Qt::Key_Plus);
  EXPECT_LT(time->min().msecsTo(time->max()), shownSpan * 3 / 4);
  const QDateTime zoomedFrom = time->min();
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_GT(time->min(), zoomedFrom);
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(time->min(), shownFrom);
  const std::string csv = WorkingFile("export.csv");
  ASSERT_TRUE(history->ExportCsv(QString::fromStdString(csv)));
  THistoryStore store(Settings());
  ASSERT_EQ(store.Open(), "");
  const auto [from, to] = store.Extent(kUnit);
  EXPECT_EQ(ReadFileBytes(csv), FormatCsv(kUnit.Address, store.Rows(kUnit, from, to)));
  EXPECT_EQ(ReadFileBytes(csv).substr(0, 36), "time,address,kind,object,raw,value\r\n");
  ASSERT_TRUE(history->ExportPng(QString::fromStdString(WorkingFile("plot.png"))));
  EXPECT_EQ(ReadFileBytes(WorkingFile("plot.png")).substr(1, 3), "PNG");
}

TEST_F(HistoryTest, AZoomedPlotLoadsWhatItShowsInFullAndHomeGoesBack) {
  {
    THistoryStore store(Settings());
    ASSERT_EQ(store.Open(), "");
    ASSERT_EQ(store.Write(DeviceDay(kUnit, kDay)), "");
  }
  Open();
  window_->findChild<QAction*>("itmHistory")->trigger();
  auto* history = window_->findChild<qz::app::THistoryWindow*>("frmHistory");
  ASSERT_NE(history, nullptr);
  history->SetRange(kDay, kDay + 24LL * 3600 * 1000 - 1);
  auto* info = history->findChild<QLabel*>("lbHistoryInfo");
  ASSERT_TRUE(WaitUntil([&] { return !history->Loading() && info->text().startsWith("14400 readings, 86400 pings"); }))
      << info->text().toStdString();
  auto* view = history->findChild<QChartView*>("chHistory");
  QTest::keyClick(view, Qt::Key_Plus);
  QTest::keyClick(view, Qt::Key_Plus);
  // After the zoom settles, the buckets are those of the shown part only.
  ASSERT_TRUE(WaitUntil([&] { return !history->Loading() && !info->text().startsWith("14400 readings"); }))
      << info->text().toStdString();
  const auto [readings, pings] = [&] {
    const QStringList words = info->text().split(' ');
    return std::pair{words.value(0).toInt(), words.value(2).toInt()};
  }();
  EXPECT_GT(readings, 14400 / 5);  // a quarter of the day: a fifth to a third of the readings
  EXPECT_LT(readings, 14400 / 3);
  EXPECT_LT(pings, 86400 / 3);
  QTest::keyClick(history->findChild<QChartView*>("chHistory"), Qt::Key_Home);
  ASSERT_TRUE(WaitUntil([&] { return !history->Loading() && info->text().startsWith("14400 readings, 86400 pings"); }))
      << info->text().toStdString();
}

// A history server that hangs in the middle of the session: the window keeps
// answering (View > History too), closing it waits a bounded time, and the
// next start says what was not written.
TEST_F(HistoryTest, AServerThatHangsNeverHoldsTheWindow) {
  if (const std::string why = PostgresUnavailable(); !why.empty()) GTEST_SKIP() << why;
  PostgresServer server;
  ASSERT_EQ(server.Failure(), "");
  StallingRelay relay(server.Port());
  ASSERT_TRUE(relay.Started());
  WriteFileBytes(WorkingFile("QZexplorer.conf"), "[History]\r\nDatabase=postgresql\r\nHost=127.0.0.1\r\nPort=" +
                                                     std::to_string(relay.Port()) + "\r\nName=" + server.Database() +
                                                     "\r\nUser=" + server.User() + "\r\n");
  setenv("QZ_HISTORY_PASSWORD", server.Password().c_str(), 1);
  Open();
  Seam().FlushHistory();
  relay.Stall(true);
  Seam().Refresh();
  {
    const TimerGapWatch watch;
    window_->findChild<QAction*>("itmHistory")->trigger();
    QTest::qWait(1500);
    EXPECT_LT(watch.Longest(), std::chrono::milliseconds(500));
  }
  EXPECT_TRUE(messages_.Texts().isEmpty()) << messages_.Texts().join("|").toStdString();
  const auto closing = std::chrono::steady_clock::now();
  window_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - closing,
            qz::history::THistoryRecorder::kStopWait + std::chrono::seconds(2));
  const std::string unwritten = ReadFileBytes(WorkingFile("QZhistory.unwritten"));
  EXPECT_FALSE(unwritten.empty());

  relay.Stall(false);
  EXPECT_TRUE(qz::history::TDatabaseThread::AllEnded(std::chrono::seconds(30)));
  Start(SettingsFile("127.0.0.150", "127.0.0.152"));
  EXPECT_TRUE(Control<QLabel>("lbNotice")->text().startsWith(
      "History: " + QString::fromStdString(unwritten).trimmed() + " readings of the last session were not written"))
      << Control<QLabel>("lbNotice")->text().toStdString();
  EXPECT_FALSE(std::filesystem::exists(WorkingFile("QZhistory.unwritten")));
  window_.reset();
  unsetenv("QZ_HISTORY_PASSWORD");
}
