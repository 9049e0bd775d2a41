#include "fleet_watch.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>
#include <map>

#include "conf_file.h"
#include "desktop_notifier.h"
#include "device_text.h"
#include "event_log.h"
#include "fleet_poller.h"
#include "history_recorder.h"
#include "inventory.h"
#include "measured_value.h"
#include "net_errors.h"
#include "process_hooks.h"
#include "sys_descr.h"
#include "settings_file.h"
#include "text.h"
#include "text_file.h"

namespace qz::app {

struct TFleetWatch::TJob {
  std::vector<DeviceRow> Devices;
  bool Full = true;  // the whole fleet, not only the devices a trap named
  std::string Community;
  int32_t TimeoutMs = 0;
  int32_t Tries = 0;
  TConfFile Conf;
  TValueLimits Limits;
  TCodePage CodePage = TCodePage::Latin1;
  char Separator = '.';
};

struct TFleetWatch::TPolled {
  std::string Address;
  TFleetObservation Seen;
  history::TReading Reading;
};

struct TFleetWatch::TCycle {
  bool Full = true;
  std::vector<TPolled> Polled;
  int64_t StartedMs = 0;
  int64_t EndedMs = 0;
  int SocketError = 0;
};

namespace {

// What the history keeps of one poll, as it keeps a pass of the panel.
history::TReading PollReading(const DeviceRow& device, const TFleetType& type, const std::vector<TObjectReading>& readings,
                              const TFleetAnswer& answer, TCodePage codePage, char separator) {
  static const char* const kStatusTexts[] = {"normal", "alarm", "unknown"};
  history::TReading reading{{device.Address, {}, device.DeviceType}, history::NowMs(), {}};
  const auto& records = type.Description.Records;
  for (const size_t record : type.Asked) {
    const DescriptionRecord& described = records[record];
    const TObjectReading& latest = readings[record];
    const std::string caption = DecodeDeviceText(described.Name, codePage);
    if (described.Kind == RecordKind::StatusLed) {
      reading.Samples.push_back({history::TSampleKind::Led, described.OID, latest.Raw,
                                 kStatusTexts[latest.Raw.value_or(2)], std::nullopt, caption});
    } else {
      const std::string shown = !latest.Answered ? "???"
                                : latest.Raw     ? FormatMeasuredValue(*latest.Raw, described.Offset, described.Factor,
                                                                       described.Decimals, separator)
                                                 : DecodeDeviceText(latest.Reply, codePage);
      reading.Samples.push_back({history::TSampleKind::Value, described.OID, latest.Raw, shown, latest.Number, caption});
    }
  }
  if (type.Asked.empty())
    reading.Samples.push_back({history::TSampleKind::UpTime, kSysUpTimeOid, std::nullopt,
                               answer.Answered && answer.Values[0] ? *answer.Values[0] : "???", std::nullopt,
                               "sysUpTime"});
  return reading;
}

}  // namespace

QIcon FleetMarkDot(TFleetMark mark, int size, bool outlined) {
  static const QColor kColours[] = {QColor(0, 160, 0), QColor(128, 128, 128), QColor(72, 72, 104), QColor(220, 0, 0)};
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(kColours[static_cast<int>(mark)]);
  if (outlined)
    painter.setPen(QPen(Qt::black, 1.5));
  else
    painter.setPen(Qt::NoPen);
  const qreal margin = outlined ? size * 3.0 / 32 : 1;
  painter.drawEllipse(QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
  return QIcon(pixmap);
}

TFleetWatch::TFleetWatch(TWindowServices& window, QObject* parent) : QObject(parent), window_(window) {
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { StartCycle(); });
  urgentTimer_ = new QTimer(this);
  urgentTimer_->setSingleShot(true);
  connect(urgentTimer_, &QTimer::timeout, this, [this] { StartUrgentCycle(); });
  notifier_ = new TDesktopNotifier([this](const QString& why) { window_.ShowNotice(why); }, this);
}

TFleetWatch::~TFleetWatch() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopPolls_ = true;
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  // An OnChange command under way (a mail or a text message being sent) is
  // given a moment to end before the program does.
  QDeadlineTimer deadline(kCommandWaitAtEndMs);
  for (QProcess* process : findChildren<QProcess*>()) {
    process->disconnect();
    process->waitForFinished(static_cast<int>(std::max<qint64>(0, deadline.remainingTime())));
  }
}

void TFleetWatch::ApplySettings() {
  const TFleetSettings settings = FleetSettingsFrom(window_.Data().Conf);
  if (settings.Confirm != settings_.Confirm) states_ = TFleetStates(settings.Confirm);
  settings_ = settings;
  limits_ = LimitsFromConf(window_.Data().Conf);
  window_.Data().Limits = limits_;
  for (const std::string& problem : limits_.Problems())
    window_.ShowNotice(QString::fromStdString(problem) + " (QZexplorer.conf): this limit is not used");
  ListChanged();
  SetWatching(settings_.Watch);
}

void TFleetWatch::SetWatching(bool on) {
  if (on != settings_.Watch) {
    settings_.Watch = on;
    window_.Data().Conf.Set("Fleet/Watch", on ? "1" : "0");
    window_.ConfChanged();
  }
  if (on == watching_) return;
  watching_ = on;
  if (!on) {
    timer_->stop();
    if (tray_) tray_->hide();
    return;
  }
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
  if (!cycleRunning_) timer_->start(0);
  ShowTray();
}

void TFleetWatch::PollNow() {
  if (!watching_ || cycleRunning_) return;
  timer_->stop();
  StartCycle();
}

void TFleetWatch::ListChanged() {
  std::vector<TFleetRow> rows;
  std::vector<std::string> addresses;
  for (const DeviceRow& device : window_.Data().Devices.Rows()) {
    const int was = RowOfAddress(device.Address);
    TFleetRow row = was >= 0 && rows_[static_cast<size_t>(was)].Device.DeviceType == device.DeviceType
                        ? rows_[static_cast<size_t>(was)]
                        : TFleetRow{};
    row.Device = device;
    rows.push_back(std::move(row));
    addresses.push_back(device.Address);
  }
  rows_ = std::move(rows);
  rowOfAddress_.clear();
  for (size_t i = 0; i < rows_.size(); ++i) rowOfAddress_.emplace(rows_[i].Device.Address, i);
  states_.KeepOnly(addresses);
  emit RowsChanged();
}

int TFleetWatch::RowOfAddress(const std::string& address) const {
  const auto found = rowOfAddress_.find(address);
  return found == rowOfAddress_.end() ? -1 : static_cast<int>(found->second);
}

std::string TFleetWatch::Label(const TFleetRow& row) const {
  const QString name = window_.Shown(row.Device.SysName);
  return (name.isEmpty() ? row.Device.Address : name.toStdString()) + " (" +
         window_.Shown(row.Device.DeviceType).toStdString() + ")";
}

void TFleetWatch::StartCycle() {
  if (!watching_) return;
  // A cycle due while another runs follows it.
  if (cycleRunning_) {
    fullCycleDue_ = true;
    return;
  }
  const GlobalData& data = window_.Data();
  // The device the panel reads is not asked a second time, as long as the
  // panel reads it: its row has the panel's readings.
  const bool panelReads = !panelAddress_.empty() && panelAddress_ == data.SelectedIP &&
                          QDateTime::currentMSecsSinceEpoch() - panelReadMs_ < 2000LL * settings_.IntervalSeconds;
  std::vector<DeviceRow> devices;
  for (const TFleetRow& row : rows_)
    if (!(panelReads && row.Device.Address == panelAddress_)) devices.push_back(row.Device);
  RunCycle(std::move(devices), true);
}

void TFleetWatch::PollSoon(const std::string& address) {
  if (!watching_ || RowOfAddress(address) < 0) return;
  // Polled now and, until as many polls as a change needs have agreed, once a second.
  urgent_[address] = settings_.Confirm;
  if (!cycleRunning_) StartUrgentCycle();
}

void TFleetWatch::StartUrgentCycle() {
  if (!watching_ || cycleRunning_ || urgent_.empty()) return;
  std::vector<DeviceRow> devices;
  for (auto it = urgent_.begin(); it != urgent_.end();) {
    if (const int row = RowOfAddress(it->first); row >= 0) devices.push_back(rows_[static_cast<size_t>(row)].Device);
    it = --it->second > 0 ? std::next(it) : urgent_.erase(it);
  }
  RunCycle(std::move(devices), false);
}

void TFleetWatch::RunCycle(std::vector<DeviceRow> devices, bool full) {
  auto job = std::make_unique<TJob>();
  const GlobalData& data = window_.Data();
  for (DeviceRow& device : devices)
    if (IsIPv4Text(device.Address)) job->Devices.push_back(std::move(device));
  job->Full = full;
  job->Community = data.Settings.ReadComm;
  job->TimeoutMs = data.SNMPTimeOutValue;
  job->Tries = data.RetryCountValue;
  job->Conf = data.Conf;
  job->Limits = limits_;
  job->CodePage = data.CodePage;
  job->Separator = QLocale().decimalPoint().at(0).toLatin1();
  cycleRunning_ = true;
  {
    std::lock_guard lock(mutex_);
    job_ = std::move(job);
  }
  wake_.notify_all();
}

void TFleetWatch::WorkerLoop() {
  std::unique_ptr<TFleetPoller> poller;
  std::tuple<std::string, int32_t, int32_t> pollerMadeFor;
  for (;;) {
    std::unique_ptr<TJob> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || job_; });
      if (stopping_) return;
      job = std::move(job_);
    }
    // The poller (and what it learnt of devices that take no lists) lasts
    // as long as the settings it asks with.
    const auto madeFor = std::tuple(job->Community, job->TimeoutMs, job->Tries);
    if (!poller || madeFor != pollerMadeFor) {
      poller = std::make_unique<TFleetPoller>(job->Community, job->TimeoutMs, job->Tries);
      pollerMadeFor = madeFor;
    }
    auto cycle = std::make_shared<TCycle>();
    cycle->Full = job->Full;
    cycle->StartedMs = history::NowMs();
    cycle->SocketError = poller->Error();
    // Each type's description file read once a cycle.
    TFleetTypes types(job->Conf);
    const std::vector<TPolledDevice> polled = PollDevices(job->Devices, types, *poller, false, stopPolls_);
    if (stopPolls_) return;
    for (size_t i = 0; i < polled.size(); ++i) {
      const TPolledDevice& device = polled[i];
      cycle->Polled.push_back(
          {job->Devices[i].Address,
           Observe(*device.Type, device.Readings, device.Answer.Answered, job->Limits, job->Separator),
           PollReading(job->Devices[i], *device.Type, device.Readings, device.Answer, job->CodePage, job->Separator)});
    }
    cycle->EndedMs = history::NowMs();
    PostToWindowThread(this, [this, cycle] { TakeCycle(cycle); });
  }
}

void TFleetWatch::TakeCycle(const std::shared_ptr<TCycle>& cycle) {
  cycleRunning_ = false;
  ++cyclesDone_;
  if (cycle->SocketError != 0 && cyclesDone_ == 1)
    window_.ShowNotice(QString("Fleet: no socket to poll from (%1)").arg(QString::fromStdString(telnet::SocketErrorText(cycle->SocketError))));
  std::vector<std::string> changeLines;
  history::TBatch batch;
  for (TPolled& polled : cycle->Polled) {
    const int row = RowOfAddress(polled.Address);
    // Gone from the list meanwhile, or now the panel's.
    if (row < 0 || (polled.Address == panelAddress_ && panelReadMs_ > cycle->StartedMs)) continue;
    TFleetRow& fleetRow = rows_[static_cast<size_t>(row)];
    TakePoll(fleetRow, polled.Seen, polled.Reading.At, changeLines);
    polled.Reading.Device.Name = window_.Shown(fleetRow.Device.SysName).toStdString();
    // A copy made here: ThreadSanitizer does not follow the readings from
    // the poll thread through this one to the recorder's (it reports a race
    // on them), and a copy costs a few milliseconds a thousand devices.
    batch.Readings.push_back(history::TReading(polled.Reading));
  }
  // One transaction for the whole cycle.
  if (!batch.Empty()) window_.RecordHistory(std::move(batch));
  NotifyChanges(changeLines);
  ShowTray();
  emit RowsChanged();
  emit CycleEnded();
  // The next cycle an interval after this one began, and never before this one ended.
  const int64_t spent = cycle->EndedMs - cycle->StartedMs;
  if (watching_ && cycle->Full)
    timer_->start(static_cast<int>(std::max<int64_t>(0, settings_.IntervalSeconds * 1000LL - spent)));
  if (std::exchange(fullCycleDue_, false))
    StartCycle();
  else if (!urgent_.empty())
    urgentTimer_->start(kUrgentPollGapMs);
}

void TFleetWatch::TakePanelReading(const TPanelModel& model, bool answered) {
  if (!watching_) return;
  const GlobalData& data = window_.Data();
  const int row = RowOfAddress(data.SelectedIP);
  if (row < 0) return;
  TFleetRow& fleetRow = rows_[static_cast<size_t>(row)];
  panelAddress_ = data.SelectedIP;
  panelReadMs_ = QDateTime::currentMSecsSinceEpoch();
  DeviceDescription description;
  description.Records = model.Records();
  const TFleetType type = FleetType(fleetRow.Device.DeviceType, description.Records.empty() ? nullptr : &description,
                                    data.Conf.Value(FleetValuesKey(fleetRow.Device.DeviceType)));
  std::vector<TObjectReading> readings;
  for (size_t record = 0; record < model.Records().size(); ++record) readings.push_back(model.Latest(record));
  std::vector<std::string> changeLines;
  TakePoll(fleetRow, Observe(type, readings, answered, limits_, QLocale().decimalPoint().at(0).toLatin1()),
           panelReadMs_, changeLines);
  NotifyChanges(changeLines);
  ShowTray();
  emit RowsChanged();
}

void TFleetWatch::TakePing(const std::string& address, std::optional<int32_t> roundTripMs) {
  if (const int row = RowOfAddress(address); row >= 0) rows_[static_cast<size_t>(row)].PingMs = roundTripMs.value_or(-1);
}

void TFleetWatch::TakePoll(TFleetRow& row, const TFleetObservation& seen, int64_t atMs,
                           std::vector<std::string>& changeLines) {
  const std::string& address = row.Device.Address;
  row.Polled = true;
  if (seen.Answered) {
    row.LastAnswered = seen;
    row.LastAnswerMs = atMs;
    row.SilentSinceMs = 0;
  } else if (row.SilentSinceMs == 0) {
    row.SilentSinceMs = row.LastAnswerMs ? row.LastAnswerMs : atMs;
  }
  const std::optional<TFleetChange> change = states_.Take(address, seen);
  const TFleetObservation* confirmed = states_.Confirmed(address);
  row.Mark = confirmed ? confirmed->Mark() : seen.Mark();
  row.Acknowledged = states_.Acknowledged(address);
  if (!change) return;
  const std::string line = ChangeLine(Label(row), *change);
  window_.LogDeviceEvent(DeviceLabel(window_.Shown(row.Device.SysName).toStdString(), address),
                         "Fleet: " + QString::fromStdString(ChangeWords(*change)),
                         NeedsAttention(change->Now, false));
  if (!change->Notify) return;
  changeLines.push_back(line);
  RunOnChange(row, *change);
}

bool TFleetWatch::Acknowledge(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
  TFleetRow& fleetRow = rows_[static_cast<size_t>(row)];
  if (!states_.Acknowledge(fleetRow.Device.Address)) return false;
  fleetRow.Acknowledged = true;
  const QString mark = FleetMarkName(fleetRow.Mark);
  window_.LogDeviceEvent(DeviceLabel(window_.Shown(fleetRow.Device.SysName).toStdString(), fleetRow.Device.Address),
                         QString("Fleet: %1 acknowledged").arg(mark), false);
  history::TBatch batch;
  batch.Writes.push_back({{fleetRow.Device.Address, window_.Shown(fleetRow.Device.SysName).toStdString(),
                           fleetRow.Device.DeviceType},
                          history::NowMs(), history::TWriteKind::Acknowledge, "fleet state", mark.toStdString(), "ok", {}});
  window_.RecordHistory(std::move(batch));
  ShowTray();
  emit RowsChanged();
  return true;
}

void TFleetWatch::RunOnChange(const TFleetRow& row, const TFleetChange& change) {
  if (Trimmed(settings_.OnChange, " \t").empty()) return;
  QStringList arguments = QProcess::splitCommand(QString::fromStdString(settings_.OnChange));
  if (arguments.isEmpty()) return;
  arguments << QString::fromStdString(row.Device.Address) << window_.Shown(row.Device.SysName)
            << window_.Shown(row.Device.DeviceType) << FleetMarkName(change.Now)
            << QString::fromStdString(ChangeWords(change));
  if (waitingCommands_.size() >= kMostWaitingCommands) {
    if (onChangeDropped_++ == 0)
      window_.ShowNotice("Fleet: OnChange cannot keep up; changes beyond 64 waiting are not passed to it");
    return;
  }
  waitingCommands_.push_back(std::move(arguments));
  StartWaitingCommands();
}

void TFleetWatch::StartWaitingCommands() {
  while (runningCommands_ < kMostRunningCommands && !waitingCommands_.empty()) {
    QStringList arguments = std::move(waitingCommands_.front());
    waitingCommands_.pop_front();
    const QString program = arguments.takeFirst();
    // Run directly, never through a shell: a device's name is an argument, not a command.
    auto* process = new QProcess(this);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    ++runningCommands_;
    const auto ended = [this, process, program](const QString& problem) {
      if (!problem.isEmpty()) window_.ShowNotice(QString("Fleet: OnChange %1 %2").arg(program, problem));
      process->disconnect();
      process->deleteLater();
      --runningCommands_;
      StartWaitingCommands();
    };
    connect(process, &QProcess::finished, this, [process, ended](int code, QProcess::ExitStatus status) {
      if (process->property("timedOut").toBool())
        ended(QString("ran longer than %1 s and was stopped").arg(kCommandTimeLimitMs / 1000));
      else if (status != QProcess::NormalExit)
        ended("ended abnormally");
      else
        ended(code == 0 ? QString() : QString("ended with exit code %1").arg(code));
    });
    connect(process, &QProcess::errorOccurred, this, [process, ended](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) ended("did not start: " + process->errorString());
    });
    QTimer::singleShot(kCommandTimeLimitMs, process, [process] {
      process->setProperty("timedOut", true);
      process->kill();
    });
    process->start(program, arguments);
  }
}

void TFleetWatch::NotifyChanges(const std::vector<std::string>& changeLines) {
  if (changeLines.empty()) return;
  const TNotificationText text = NotificationText(changeLines);
  notifier_->Notify(QString::fromStdString(text.Summary), QString::fromStdString(text.Body));
}

TFleetCounts TFleetWatch::Counts() const {
  TFleetCounts counts;
  for (const TFleetRow& row : rows_) {
    if (!row.Polled) continue;
    ++counts.ByMark[static_cast<int>(row.Mark)];
    if (NeedsAttention(row.Mark, row.Acknowledged)) ++counts.Attention;
    if (!row.Acknowledged) counts.Worst = std::max(counts.Worst, row.Mark);
  }
  return counts;
}

void TFleetWatch::ShowTray() {
  if (!watching_ || !QSystemTrayIcon::isSystemTrayAvailable()) return;
  if (!tray_) {
    tray_ = new QSystemTrayIcon(this);
    notifier_->SetTray(tray_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this] { emit TrayClicked(); });
  }
  const TFleetCounts counts = Counts();
  tray_->setIcon(FleetMarkDot(counts.Worst, 32, true));
  tray_->setToolTip(QString("QZ Explorer fleet: %1 alarm, %2 no answer, %3 normal, %4 without description file")
                        .arg(counts.Of(TFleetMark::Alarm))
                        .arg(counts.Of(TFleetMark::NoAnswer))
                        .arg(counts.Of(TFleetMark::Normal))
                        .arg(counts.Of(TFleetMark::NoDescription)));
  tray_->show();
}

}  // namespace qz::app
