#include "device_panel.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <QUrl>

#include "description_file.h"
#include "exception_report.h"
#include "history_recorder.h"
#include "idle_driver.h"
#include "layout.h"
#include "led.h"
#include "measured_value.h"
#include "ber.h"
#include "net.h"
#include "snmp_exchange.h"
#include "text.h"
#include "text_file.h"
#include "whole_text.h"
#include "window_services.h"

namespace qz::app {

// The OIDs of a description's records of a kind, in file order (parameters
// only where they make a box, as only those are read).
std::vector<std::string> RecordOids(const std::vector<DescriptionRecord>& records, std::initializer_list<RecordKind> kinds) {
  std::vector<std::string> oids;
  for (const RecordKind kind : kinds)
    for (const DescriptionRecord& record : records)
      if (record.Kind == kind && (kind != RecordKind::Parameter || record.HasControls)) oids.push_back(record.OID);
  return oids;
}

std::vector<std::string> Joined(std::vector<std::string> first, const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

const char* const kValueBoxStyle = "background: palette(window);";
const char* const kOutsideLimitsStyle = "background: rgb(255, 160, 160);";
namespace {

const char* const kTagProperty = "tag";
const QString kNoUpTime = " no response";
const QColor kWrongColor(255, 0, 0);

void SetFontColor(QComboBox* combo, const QColor& color) {
  QPalette palette = combo->palette();
  for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) palette.setColor(role, color);
  combo->setPalette(palette);
}

// What a measured value's box shows when the device sent no number (short:
// the boxes of a many-valued type hold four characters); its tooltip says
// what came.
const QString kInvalidValueText = "err";

}  // namespace

TDevicePanel::TDevicePanel(QWidget* page, TDeviceInfoBoxes info, const TLayout& layout, TWindowServices& window)
    : window_(window), layout_(layout), info_(info) {
  gbSNMPmib = layout.Group(page, "gbSNMPmib", " SNMP objects ", 8, 8, 337, 185, true);
  edSysName = layout.Edit(gbSNMPmib, "edSysName", 80, 24, 241);
  edSysLocation = layout.Edit(gbSNMPmib, "edSysLocation", 80, 56, 241);
  edSysContact = layout.Edit(gbSNMPmib, "edSysContact", 80, 88, 241);
  edSysUpTime = layout.Edit(gbSNMPmib, "edSysUpTime", 80, 120, 241, true);
  layout.LabelLeftOf(edSysName, "sysName ");
  layout.LabelLeftOf(edSysLocation, "sysLocation ");
  layout.LabelLeftOf(edSysContact, "sysContact ");
  layout.LabelLeftOf(edSysUpTime, "sysUpTime ");
  gbControl = layout.Group(page, "gbControl", " Device Control ", 8, 208, 337, 217, true);
  gbDevStatus = layout.Group(page, "gbDevStatus", " Device Status ", 359, 8, 273, 185, true);
  gbMeas = layout.Group(page, "gbMeas", " Measured values ", 359, 208, 273, 217, true);
  BindSystemGroup();
}

void TDevicePanel::Fill() {
  const int row = window_.SelectedRow();
  if (row < 0) return;
  if (const DeviceRow* device = window_.Data().Devices.At(row)) {
    info_.Type->setText(window_.Shown(device->DeviceType));
    info_.LanInterface->setText(window_.Shown(device->LanInterface));
  }

  history::TReading reading = StartReading();
  DiscardUnsentTexts();
  if (ObjectsPerRequest() > 1) {
    // What the fill reads, in its order: the system group, the up-time
    // twice, then serial number and version, LEDs, values and parameters.
    std::vector<std::string> oids{kSysNameOid, kSysLocationOid, kSysContactOid, kSysUpTimeOid, kSysUpTimeOid};
    bool readable = false;
    const std::string path = DescriptionPath(&readable);
    if (readable) {
      const auto records = ParseDeviceDescription(ReadWholeFile(path)).Records;
      oids = Joined(oids, RecordOids(records, {RecordKind::SerialNumber, RecordKind::Version}));
      oids = Joined(oids, RecordOids(records, {RecordKind::StatusLed, RecordKind::MeasuredValue, RecordKind::Parameter}));
    }
    ReadAhead(oids);
  }
  bool listChanged = false;
  for (auto [oid, edit, objectName] : {std::tuple{kSysNameOid, edSysName, "sysName"},
                                       std::tuple{kSysLocationOid, edSysLocation, "sysLocation"},
                                       std::tuple{kSysContactOid, edSysContact, "sysContact"}}) {
    const bool answered = ReadDeviceObject(oid);
    ShowSystemObject(edit, snmp::SnmpResult);
    // Renamed on the device: the list and its file follow.
    if (!answered || edit == edSysContact) continue;
    const DeviceRow* listed = window_.Data().Devices.At(row);
    const std::string before = listed ? (edit == edSysName ? listed->SysName : listed->SysLocation) : std::string();
    if (edit == edSysName ? window_.Data().Devices.SetSysName(row, snmp::SnmpResult)
                          : window_.Data().Devices.SetSysLocation(row, snmp::SnmpResult)) {
      window_.LogEvent(QString("%1 on the device is \"%2\", listed as \"%3\": the list follows")
                           .arg(objectName, window_.Shown(snmp::SnmpResult), window_.Shown(before)),
                       false);
      listChanged = true;
    }
  }
  if (listChanged) window_.DeviceListChanged();
  // Read twice on purpose: the first read only decides between a reading
  // and " no response"; the text shown is the second, fresh read.
  if (ReadUpTime() == "???")
    edSysUpTime->setText(kNoUpTime);
  else
    edSysUpTime->setText(QString::fromStdString(ReadUpTime()));
  AddUpTime(reading);
  if (window_.Closing()) return;
  ProcessParamFile(reading);
  readAhead_.clear();
  window_.KeepReading(std::move(reading));
}

void TDevicePanel::Refresh() {
  StartReadPass();
  // This refresh's own: a pass run while one of its GETs waits has another.
  history::TReading reading = StartReading();
  if (ObjectsPerRequest() > 1)
    ReadAhead(Joined(Joined(RecordOids(model_.Records(), {RecordKind::StatusLed, RecordKind::MeasuredValue}),
                            {kSysUpTimeOid, kSysUpTimeOid}),
                     RecordOids(model_.Records(), {RecordKind::Parameter})));
  GetDeviceStatus(window_.Data().SelectedIP, reading);
  GetDeviceMeas(window_.Data().SelectedIP, reading);
  if (ReadUpTime() == "???") {
    // The last up-time stays, marked once however many refreshes fail.
    if (!edSysUpTime->text().endsWith(kNoUpTime)) edSysUpTime->setText(edSysUpTime->text() + kNoUpTime);
  } else {
    edSysUpTime->setText(QString::fromStdString(ReadUpTime()));
  }
  AddUpTime(reading);
  // A change made on the device, or by another operator, shows within one refresh.
  GetDeviceParams(window_.Data().SelectedIP);
  readAhead_.clear();
  window_.KeepReading(std::move(reading));
}

bool TDevicePanel::ReadDeviceObject(const std::string& oid, bool evenInASilentPass) {
  if (passUnanswered_ && !evenInASilentPass) {
    snmp::SnmpResult = snmp::kNoResponse;
    return false;
  }
  if (!readAhead_.empty() && !evenInASilentPass) {
    if (readAhead_.front().first == oid) {
      snmp::SnmpResult = std::move(readAhead_.front().second);
      readAhead_.pop_front();
      return true;
    }
    readAhead_.clear();  // the pass went another way: it asks for itself
  }
  snmp::TSNMPdata read = snmp::SnmpRequest;
  read.OID = oid;
  read.Community = window_.Data().Settings.ReadComm;
  const bool answered = snmp::NetSnmpGet(read);
  if (!evenInASilentPass) passUnanswered_ = !answered;
  if (std::exchange(listUnanswered_, false) && answered) AskSingly(read.Host, "a list got no answer, a single object did");
  return answered;
}

int TDevicePanel::ObjectsPerRequest() const {
  return std::clamp(ParseInt32Or(window_.Data().Conf.Value("Panel/ObjectsPerRequest"), 1), 1, kMostObjectsPerRequest);
}

void TDevicePanel::ReadAhead(const std::vector<std::string>& oids) {
  readAhead_.clear();
  listUnanswered_ = false;
  const auto most = static_cast<size_t>(ObjectsPerRequest());
  snmp::TSNMPdata read = snmp::SnmpRequest;
  read.Host = window_.Data().SelectedIP;
  read.Community = window_.Data().Settings.ReadComm;
  if (most < 2 || oids.size() < 2 || singly_.count(read.Host) || passUnanswered_) return;
  for (size_t first = 0; first < oids.size(); first += most) {
    const std::vector<std::string> list(oids.begin() + static_cast<std::ptrdiff_t>(first),
                                        oids.begin() + static_cast<std::ptrdiff_t>(std::min(first + most, oids.size())));
    std::vector<std::string> values;
    int32_t errorStatus = 0;
    if (!snmp::NetSnmpGetList(read, list, values, errorStatus)) {
      // The pass asks its next object by itself: its answer tells whether
      // the device takes no lists or does not answer at all.
      listUnanswered_ = true;
      return;
    }
    if (errorStatus != 0) {
      AskSingly(read.Host, "it answered a list with " + snmp::ErrorStatusName(errorStatus));
      return;
    }
    for (size_t i = 0; i < list.size(); ++i) readAhead_.emplace_back(list[i], std::move(values[i]));
  }
}

void TDevicePanel::AskSingly(const std::string& address, const std::string& why) {
  readAhead_.clear();
  if (!singly_.insert(address).second) return;
  window_.ShowNotice(QString("%1 is asked one object per request from now on (%2)")
                         .arg(QString::fromStdString(address), QString::fromStdString(why)),
                     TNotice::Confirmation);
}

void TDevicePanel::ClearPanel() {
  ++built_;
  const auto ClearBox = [](QGroupBox* box) {
    const auto children = box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (auto it = children.rbegin(); it != children.rend(); ++it) delete *it;
  };
  ClearBox(gbDevStatus);
  dynLeds_.clear();
  ClearBox(gbMeas);
  dynMeas_.clear();
  ClearBox(gbControl);
  dynParams_.clear();
  model_.Clear();
}

void TDevicePanel::Clear() {
  for (QLineEdit* box : {edSysName, edSysLocation, edSysContact, edSysUpTime, info_.Type, info_.Firmware,
                         info_.SerialNumber, info_.LanInterface})
    box->clear();
  ClearPanel();
  Enable(false);
}

void TDevicePanel::Enable(bool enabled) {
  for (QWidget* group : {gbSNMPmib, gbControl, gbDevStatus, gbMeas}) group->setEnabled(enabled);
}

void TDevicePanel::ShowHalt(const QString& message) {
  // Said on the panel, not in a box to click away each time the device is
  // picked: the operator stays on the page, with the lists.
  gbControl->setEnabled(true);
  auto* said = new QLabel(message, gbControl);
  said->setObjectName("lbHalted");
  said->setWordWrap(true);
  said->setStyleSheet("color: rgb(192, 0, 0);");
  said->setGeometry(layout_.S(16), layout_.S(80), gbControl->width() - layout_.S(32), layout_.S(60));
  said->show();
}

void TDevicePanel::ProcessParamFile(history::TReading& reading) {
  ClearPanel();
  const uint64_t built = built_;
  // A type without S or V records must not show the previous device's.
  info_.SerialNumber->clear();
  info_.Firmware->clear();

  bool readable = false;
  const std::string path = DescriptionPath(&readable);
  if (!readable) {
    layout_.Label(gbControl, "File not found -  " + FileShown(window_.Shown(path)), 10, 100);
    return;
  }
  const DeviceDescription description = ParseDeviceDescription(ReadWholeFile(path));
  // The description's positions are as laid out for the window's usual font.
  const auto S = [this](int pixels) { return layout_.S(pixels); };
  if (description.RecordsCut)
    window_.ShowNotice(FileShown(window_.Shown(path)) +
               QString(" holds more than %1 records: only the first %1 are shown").arg(kMaxDescriptionRecords));
  const std::string descriptionError = description.Error;
  const int32_t parameterCount = description.ParameterCount;
  model_.Describe(std::move(description));
  const std::vector<DescriptionRecord>& records = model_.Records();
  for (size_t index = 0; index < records.size(); ++index) {
    const DescriptionRecord& record = records[index];
    switch (record.Kind) {
      case RecordKind::StatusLed: {
        auto* led = new TStatusLed(gbDevStatus);
        led->SetStatus(2);
        led->LedName = window_.Shown(record.Name);
        led->OID = QString::fromStdString(record.OID);
        led->setGeometry(S(record.Left), S(record.Top), S(led->width()), S(led->height()));
        led->show();
        dynLeds_.push_back({led, layout_.Label(gbDevStatus, window_.Shown(record.Name), record.Left + 18, record.Top - 2), index});
        break;
      }
      case RecordKind::MeasuredValue: {
        auto* value = new QLineEdit(gbMeas);
        // Wide enough for five digits at any font (the frame and margins take 8 pixels).
        const int width = std::max(S(40), value->fontMetrics().horizontalAdvance("00000") + S(8));
        value->setGeometry(S(record.Left), S(record.Top), width, S(21));
        value->setReadOnly(true);
        value->setFocusPolicy(Qt::ClickFocus);
        value->setStyleSheet(kValueBoxStyle);
        value->show();
        QLabel* caption = layout_.Label(gbMeas, window_.Shown(record.Name), 0, record.Top + 2);
        caption->move(value->geometry().right() + 1 + S(4), caption->y());
        dynMeas_.push_back({value, caption, index});
        break;
      }
      case RecordKind::Parameter: {
        TDynParam param;
        param.Record = index;
        if (record.HasControls) {
          param.Combo = new TChoiceBox(gbControl);
          param.Combo->setGeometry(S(record.Left), S(record.Top), S(70), S(21));
          param.Combo->setProperty(kTagProperty, record.Index);
          for (const auto& item : record.Items) param.Combo->addItem(window_.Shown(item));
          param.Combo->setCurrentIndex(-1);
          QComboBox* combo = param.Combo;
          connect(combo, &QComboBox::activated, this,
                  [this, combo] { Guarded(combo, [&] { WriteParameter(combo); }); });
          param.Combo->show();
          param.NameLabel = layout_.Label(gbControl, window_.Shown(record.Name), record.Left + 74, record.Top);
        }
        dynParams_.push_back(param);
        break;
      }
      case RecordKind::SerialNumber:
      case RecordKind::Version: {
        const bool answered = ReadDeviceObject(record.OID);
        if (built != built_) return;
        model_.Take(index, answered, snmp::SnmpResult);
        // Shown as before: without an answer, what the call said.
        (record.Kind == RecordKind::SerialNumber ? info_.SerialNumber : info_.Firmware)->setText(window_.Shown(snmp::SnmpResult));
        break;
      }
    }
  }
  // Tab goes from the system group's fields to the parameters, in file order.
  QWidget* before = edSysContact;
  for (const TDynParam& param : dynParams_)
    if (param.Combo) {
      QWidget::setTabOrder(before, param.Combo);
      before = param.Combo;
    }
  if (!descriptionError.empty()) throw EConvertError(descriptionError);
  if (parameterCount == 0) BuildNoParameterHint();
  GetDeviceStatus(window_.Data().SelectedIP, reading);
  GetDeviceMeas(window_.Data().SelectedIP, reading);
  GetDeviceParams(window_.Data().SelectedIP);
}

std::string TDevicePanel::DescriptionPath(bool* readable) const {
  const DeviceRow* device = window_.Data().Devices.At(window_.SelectedRow());
  const std::string type = device ? device->DeviceType : info_.Type->text().toStdString();
  // The type is the device's own text: one that could lead out of
  // DeviceFiles never names a file.
  const std::string path = DescriptionFilePath(IsSafeDeviceType(type) ? type : SanitisedDeviceType(type));
  *readable = IsSafeDeviceType(type) && FileExists(path);
  return path;
}

void TDevicePanel::BuildNoParameterHint() {
  layout_.Label(gbControl, "No SNMP managed parameters.", 70, 90);
  layout_.Label(gbControl, "Refer to device Web page at ", 30, 110);
  const QString address = QString::fromStdString(window_.Data().SelectedIP);
  QLabel* link = layout_.Label(gbControl, "http://" + address, 200, 110);
  link->setObjectName("webLink");
  link->setToolTip(address);
  QFont font = link->font();
  font.setBold(true);
  font.setUnderline(true);
  link->setFont(font);
  link->adjustSize();
  QPalette palette = link->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  link->setPalette(palette);
  link->setCursor(Qt::PointingHandCursor);
  link->installEventFilter(this);
}

bool TDevicePanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && watched->objectName() == "webLink")
    if (auto* label = qobject_cast<QLabel*>(watched))
      Guarded(watched, [&] { window_.OpenWithDesktop(QUrl(label->text())); });
  return QObject::eventFilter(watched, event);
}

history::TReading TDevicePanel::StartReading() const {
  return {window_.SelectedDeviceKey(), history::NowMs(), {}};
}

void TDevicePanel::AddSample(history::TReading& reading, size_t record, const QString& shown) const {
  const DescriptionRecord& described = model_.Records().at(record);
  const TObjectReading& latest = model_.Latest(record);
  reading.Samples.push_back({described.Kind == RecordKind::StatusLed ? history::TSampleKind::Led
                                                                     : history::TSampleKind::Value,
                             described.OID, latest.Raw, shown.toStdString(), latest.Number,
                             window_.Shown(described.Name).toStdString()});
}

void TDevicePanel::AddUpTime(history::TReading& reading) const {
  reading.Samples.push_back({history::TSampleKind::UpTime, kSysUpTimeOid, std::nullopt,
                             edSysUpTime->text().toStdString(), std::nullopt, "sysUpTime"});
}

// Events are handled while a GET waits, and one of them may empty or rebuild
// the panel (the device went from the list, the window closes): a read goes
// on only with the panel it began with.
template <typename Control, typename Show>
void TDevicePanel::ReadControls(const std::vector<Control>& controls, Show show) {
  const uint64_t built = built_;
  for (size_t i = 0; i < controls.size(); ++i) {
    const Control control = controls[i];
    const std::string oid = model_.Records()[control.Record].OID;
    const bool answered = ReadDeviceObject(oid);
    if (built != built_) return;
    show(control, answered);
  }
}

void TDevicePanel::GetDeviceStatus(const std::string& address, history::TReading& reading) {
  static const char* const kStatusTexts[] = {"normal", "alarm", "unknown"};
  snmp::SnmpRequest.Host = address;
  ReadControls(dynLeds_, [&](const TDynLed& led, bool answered) {
    const auto state = static_cast<unsigned char>(*model_.Take(led.Record, answered, snmp::SnmpResult).Raw);
    led.Led->SetStatus(state);
    AddSample(reading, led.Record, kStatusTexts[state]);
  });
}

void TDevicePanel::GetDeviceMeas(const std::string& address, history::TReading& reading) {
  const char separator = QLocale().decimalPoint().at(0).toLatin1();
  snmp::SnmpRequest.Host = address;
  ReadControls(dynMeas_, [&](const TDynMeas& meas, bool answered) {
    // An empty answer changes nothing of what the box shows.
    if (answered && snmp::SnmpResult.empty()) return;
    const DescriptionRecord& record = model_.Records()[meas.Record];
    const TObjectReading& latest = model_.Take(meas.Record, answered, snmp::SnmpResult);
    // A device that sends something else than a number: this value is shown
    // as such (the tooltip says what came), and the rest of the panel is still read.
    const bool notANumber = answered && !latest.Raw;
    const QString shown = !answered   ? QString("???")
                          : notANumber ? kInvalidValueText
                                       : QString::fromStdString(FormatMeasuredValue(
                                             *latest.Raw, record.Offset, record.Factor, record.Decimals, separator));
    ShowWholeText(meas.ValueEdit, shown);
    ShowLimit(meas.ValueEdit, record, latest);
    if (notANumber)
      meas.ValueEdit->setToolTip(
          QString("The device sent %1, not a number").arg(window_.Shown("\"" + ShortenedForMessage(latest.Reply) + "\"")));
    AddSample(reading, meas.Record, shown);
    meas.ValueEdit->repaint();
  });
}

void TDevicePanel::ShowLimit(QLineEdit* box, const DescriptionRecord& record, const TObjectReading& latest) const {
  const DeviceRow* device = window_.Data().Devices.At(window_.SelectedRow());
  const TValueLimit* limit = device && latest.Number ? window_.Data().Limits.Find(device->DeviceType, record.Name) : nullptr;
  const bool outside = limit && limit->Outside(*latest.Number);
  box->setStyleSheet(outside ? kOutsideLimitsStyle : kValueBoxStyle);
  if (outside)
    box->setToolTip(QString("%1 is outside its limits %2 (%3)")
                        .arg(box->text(), QString::fromStdString(ValueLimitText(*limit)), kConfFileName));
}

void TDevicePanel::GetDeviceParams(const std::string& address) {
  snmp::SnmpRequest.Host = address;
  std::vector<TDynParam> boxes;
  // A slot without controls has nothing to read.
  std::copy_if(dynParams_.begin(), dynParams_.end(), std::back_inserter(boxes),
               [](const TDynParam& param) { return param.Combo != nullptr; });
  ReadControls(boxes, [&](const TDynParam& param, bool answered) {
    model_.Take(param.Record, answered, snmp::SnmpResult);
    // The operator is choosing in this box: the choice is not taken from under the mouse.
    if (param.Combo->view()->isVisible()) return;
    param.Combo->setCurrentIndex(HeldChoice(param.Combo, model_.Latest(param.Record)));
  });
}

int TDevicePanel::HeldChoice(const QComboBox* combo, const TObjectReading& reading) {
  return reading.Raw && *reading.Raw >= 0 && *reading.Raw < combo->count() ? static_cast<int>(*reading.Raw) : -1;
}

void TDevicePanel::WriteParameter(QComboBox* sender) {
  if (!window_.HasSelectedDevice()) return;
  const int k = sender->property(kTagProperty).toInt();
  if (k < 0 || k >= static_cast<int>(dynParams_.size())) return;
  const TDynParam& param = dynParams_[static_cast<size_t>(k)];
  const QString name = param.NameLabel ? param.NameLabel->text() : QString();
  const size_t recordIndex = param.Record;
  const std::string oid = model_.Records()[recordIndex].OID;
  const uint64_t built = built_;
  snmp::TSNMPdata write = snmp::SnmpRequest;
  write.Host = window_.Data().SelectedIP;
  write.OID = oid;
  write.Value = std::to_string(sender->currentIndex());
  write.ValueType = snmp::berInteger;
  write.Community = window_.Data().Settings.WriteComm;
  std::string failure;
  bool answered = false;
  const int chosenIndex = sender->currentIndex();
  const QString chosen = sender->currentText();
  const bool written = snmp::NetSnmpSet(write, &failure, &answered);
  // Let the device settle before reading it back.
  if (written) PauseResponsively(500);
  // A device may store something else than it accepted (a clamped value, a
  // choice it cannot take now), and one that refused keeps what it had: the
  // box shows what the device holds, whatever came of the write.
  const bool readBack = ReadDeviceObject(oid, true);
  // The panel went while the device was asked (another device chosen, the
  // window closing): the write is recorded; its box is no more.
  if (built != built_) {
    window_.RecordWrite(history::TWriteKind::Set, name, chosen, written ? "ok" : failure, {});
    return;
  }
  const TObjectReading& latest = model_.Take(recordIndex, readBack, snmp::SnmpResult);
  const std::string reply = latest.Reply;
  const int held = HeldChoice(sender, latest);
  sender->setCurrentIndex(held);
  const QString holds = held >= 0 ? sender->currentText() : readBack ? window_.Shown("\"" + reply + "\"") : QString();
  const bool holdsChoice = written && readBack && held == chosenIndex;
  SetFontColor(sender, holdsChoice ? Qt::black : kWrongColor);
  if (!written) {
    if (!answered && readBack) failure = kWriteUnansweredReadsWork;
    window_.ShowNotice(name + " not written: " + QString::fromStdString(failure));
  } else if (!readBack) {
    window_.ShowNotice(name + " written, but not read back: no answer from " + QString::fromStdString(write.Host));
  } else if (!holdsChoice) {
    window_.ShowNotice(name + ": the device holds " + holds + ", not " + chosen);
  } else {
    window_.ShowNotice(name + " set to " + chosen, TNotice::Confirmation);
  }
  window_.RecordWrite(history::TWriteKind::Set, name, chosen, written ? "ok" : failure, holds);
  window_.RequestWork(wsRefreshData);
}

}  // namespace qz::app
