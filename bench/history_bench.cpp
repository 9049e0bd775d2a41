// Figures of the device history: what recording one QZ300 refresh costs the
// window's thread (beside what writing it costs the recorder's), the time to
// open a plot of a million readings (beside reading those readings one by
// one, what handing every point to the plot would start with), and the
// database's size for a device-day of 30-second refreshes and 1-second pings
// (beside the same day as CSV).
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "history_generator.h"
#include "history_recorder.h"
#include "history_store.h"
#include "history_window.h"
#include "peers.h"
#include "plot_points.h"

using namespace qz::history;

namespace {

const TDeviceKey kStation{"127.0.0.14", "Main distribution", "QZ300"};
constexpr int64_t kDay = 24LL * 3600 * 1000;
constexpr int64_t kFrom = 1796774400000;  // 2026-12-09T00:00:00Z

// One refresh of a QZ300: ten LEDs, nine values and the up-time.
TBatch OneRefresh(int64_t at) {
  TReading reading{kStation, at, {}};
  for (int i = 0; i < 10; ++i)
    reading.Samples.push_back({TSampleKind::Led, "LED " + std::to_string(i), i == 7 ? 1 : 0, i == 7 ? "alarm" : "normal"});
  for (int i = 0; i < 9; ++i)
    reading.Samples.push_back({TSampleKind::Value, "Value " + std::to_string(i), 230 + i, "23." + std::to_string(i), (230.0 + i) / 10});
  reading.Samples.push_back({TSampleKind::UpTime, "sysUpTime", std::nullopt, "3 hours 2 min."});
  TBatch batch;
  batch.Readings.push_back(std::move(reading));
  return batch;
}

void Recording(const qz::test::ScratchDir& dir) {
  TStoreSettings settings;
  settings.File = dir.File("record.db");
  constexpr int kRefreshes = 2000;
  double windowMs = 0;
  {
    THistoryRecorder recorder(settings, {});
    recorder.Record(OneRefresh(kFrom));  // the file made and opened
    recorder.Flush();
    for (int i = 1; i <= kRefreshes; ++i) {
      TBatch batch = OneRefresh(kFrom + i * 30'000);
      const auto start = std::chrono::steady_clock::now();
      recorder.Record(std::move(batch));
      windowMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (i % 100 == 0) recorder.Flush();
    }
    recorder.Flush();
  }
  THistoryStore store(settings);
  store.Open();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 200; ++i) store.Write(OneRefresh(kFrom + kDay + i * 30'000));
  const double writeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / 200;
  std::printf("record one QZ300 refresh (20 samples): %.4f ms on the window's thread (target <= 1 ms); "
              "the recorder's transaction takes %.3f ms on its own thread\n",
              windowMs / kRefreshes, writeMs);
}

void PlotOfAMillion(const qz::test::ScratchDir& dir) {
  TStoreSettings settings;
  settings.File = dir.File("million.db");
  constexpr int64_t kReadings = 1'000'000;
  {
    THistoryStore store(settings);
    store.Open();
    store.Write(qz::test::ValueReadings(kStation, kFrom, kReadings));
  }
  const int64_t to = kFrom + (kReadings - 1) * 30'000;
  qz::app::THistoryWindow window(settings);
  window.show();
  QElapsedTimer timer;
  timer.start();
  window.ShowDevice(kStation);
  window.SetRange(kFrom, to);
  while (window.Loading() || !window.findChild<QLabel*>("lbHistoryInfo")->text().startsWith("1000000 readings"))
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  window.repaint();
  const double openMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

  THistoryStore store(settings);
  store.Open();
  auto start = std::chrono::steady_clock::now();
  const auto buckets = store.Buckets(kStation, TSampleKind::Value, "Temp., C", kFrom, to, 800);
  const double bucketsMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  start = std::chrono::steady_clock::now();
  const auto every = store.Series(kStation, TSampleKind::Value, "Temp., C", kFrom, to);
  const double everyMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("open a plot of %lld readings: %.0f ms to the drawn window (target <= 300 ms), of which the "
              "database's %zu buckets take %.0f ms; reading every point instead takes %.0f ms (%zu points) before "
              "any drawing\n",
              static_cast<long long>(kReadings), openMs, buckets.size(), bucketsMs, everyMs, every.size());
}

void SizeOfADay(const qz::test::ScratchDir& dir) {
  TStoreSettings settings;
  settings.File = dir.File("day.db");
  const TBatch day = qz::test::DeviceDay(kStation, kFrom);
  {
    THistoryStore store(settings);
    store.Open();
    store.Write(day);
  }
  THistoryStore store(settings);
  store.Open();
  const std::string csv = FormatCsv(kStation.Address, store.Rows(kStation, kFrom, kFrom + kDay));
  std::printf("one device-day (%zu refreshes of %zu samples, %zu pings): %.1f MB in SQLite (%.0f bytes a row), "
              "%.1f MB as CSV\n",
              day.Readings.size(), day.Readings[0].Samples.size(), day.Pings.size(),
              static_cast<double>(std::filesystem::file_size(settings.File)) / 1e6,
              static_cast<double>(std::filesystem::file_size(settings.File)) /
                  static_cast<double>(day.Readings.size() * day.Readings[0].Samples.size() + day.Pings.size()),
              static_cast<double>(csv.size()) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  qz::test::ScratchDir dir("history-bench");
  Recording(dir);
  SizeOfADay(dir);
  PlotOfAMillion(dir);
  return 0;
}
