// The device history of the window: what each fill, refresh, ping, write
// and rename of the selected device showed, handed to the recorder, which
// writes it on a thread of its own.
#include <QComboBox>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>

#include <QMessageBox>

#include "history_recorder.h"
#include "history_settings.h"
#include "device_panel.h"
#include "fleet_watch.h"
#include "history_window.h"
#include "main_window.h"
#include "text.h"
#include "text_file.h"

namespace qz::app {

void TfrmMain::CreateHistory() {
  const char* password = std::getenv("QZ_HISTORY_PASSWORD");
  const history::THistoryChoice choice = history::HistoryChoice(
      [this](const std::string& key) { return data_.Conf.Value("History/" + key); }, password ? password : "",
      history::ReadOwnersPasswordFile);
  if (!choice.Problem.empty()) ShowNotice(QString::fromStdString(choice.Problem));
  if (!choice.Store) return;
  historySettings_ = choice.Store;
  history_ = std::make_unique<history::THistoryRecorder>(*choice.Store,
                                                          [this](const QString& notice) { ShowNotice(notice); });
  // The last session ended while the database did not answer.
  if (const TFileRead left = ReadFile(history::kUnwrittenHistoryFileName); left.Error.empty()) {
    ShowNotice(QString("History: %1 readings of the last session were not written (the database did not answer "
                       "when the program ended)")
                   .arg(QString::fromStdString(Trimmed(left.Bytes, " \r\n"))));
    std::remove(history::kUnwrittenHistoryFileName);
  }
}

void TfrmMain::StopHistory() {
  if (!history_) return;
  if (const size_t unwritten = history_->Stop(history::THistoryRecorder::kStopWait); unwritten > 0)
    WriteWholeFile(history::kUnwrittenHistoryFileName, std::to_string(unwritten) + "\r\n");
  history_.reset();
}

history::TDeviceKey TfrmMain::SelectedDeviceKey() const {
  const DeviceRow* device = data_.Devices.At(cbAdrIP->currentIndex());
  return {data_.SelectedIP, device ? Shown(device->SysName).toStdString() : std::string(),
          device ? device->DeviceType : std::string()};
}

void TfrmMain::KeepReading(history::TReading&& reading) {
  fleet_->TakePanelReading(panel_->Model(), !panel_->PassUnanswered());
  if (!history_) return;
  history::TBatch batch;
  batch.Readings.push_back(std::move(reading));
  history_->Record(std::move(batch));
}

void TfrmMain::RecordWrite(history::TWriteKind kind, const QString& object, const QString& written,
                           const std::string& result, const QString& readBack) {
  if (!history_) return;
  history::TBatch batch;
  batch.Writes.push_back({SelectedDeviceKey(), history::NowMs(), kind, object.toStdString(), written.toStdString(),
                          result, readBack.toStdString()});
  history_->Record(std::move(batch));
}

void TfrmMain::RecordHistory(history::TBatch&& batch) {
  if (history_) history_->Record(std::move(batch));
}

void TfrmMain::RecordPing(std::optional<int32_t> roundTripMs) {
  fleet_->TakePing(data_.SelectedIP, roundTripMs);
  if (history_) history_->RecordPing({SelectedDeviceKey(), history::NowMs(), roundTripMs});
}

// The history window is one for the program; it opens on the selected device.
void TfrmMain::ShowHistory() {
  if (!historySettings_) {
    QMessageBox::information(this, "QZ Explorer",
                             "The device history is off (History/Database in QZexplorer.conf).");
    return;
  }
  if (!historyWindow_) {
    historyWindow_ = new THistoryWindow(*historySettings_, this);
    historyWindow_->setAttribute(Qt::WA_DeleteOnClose);
  }
  // It shows what the history holds now, and again once what was recorded
  // before this moment has been written: nothing here waits for the database.
  const history::TDeviceKey device = SelectedDeviceKey();
  static_cast<THistoryWindow*>(historyWindow_.data())->ShowDevice(device);
  historyWindow_->show();
  historyWindow_->raise();
  if (history_)
    history_->WhenWritten([window = historyWindow_, device] {
      if (window) static_cast<THistoryWindow*>(window.data())->ShowDevice(device);
    });
}

}  // namespace qz::app
