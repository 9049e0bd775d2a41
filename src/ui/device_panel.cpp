// The device panel: built from the device type's description file, filled
// with the device's status, measured values and parameters, and the
// parameter changes written back.
#include <algorithm>
#include <tuple>

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
#include "idle_driver.h"
#include "layout.h"
#include "led.h"
#include "main_window.h"
#include "measured_value.h"
#include "ber.h"
#include "net.h"
#include "text_file.h"
#include "whole_text.h"

namespace qz::app {
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

void TfrmMain::FillData() {
  const int row = cbAdrIP->currentIndex();
  if (row < 0) return;
  if (const DeviceRow* device = data_.Devices.At(row)) {
    edDevType->setText(Shown(device->DeviceType));
    edLANIfc->setText(Shown(device->LanInterface));
  }

  history::TReading reading = StartReading();
  data_.RetryCountValue = seRetryCount->value();
  snmp::SnmpRequest.RetryCount = data_.RetryCountValue;
  snmp::SnmpRequest.Host = data_.SelectedIP;
  snmp::SnmpRequest.TimeOut = data_.SNMPTimeOutValue;
  DiscardUnsentTexts();
  bool listChanged = false;
  for (auto [oid, edit, list] : {std::tuple{kSysNameOid, edSysName, cbSysName},
                                 std::tuple{kSysLocationOid, edSysLocation, cbSysLoc},
                                 std::tuple<const char*, QLineEdit*, QComboBox*>{kSysContactOid, edSysContact, nullptr}}) {
    const bool answered = ReadDeviceObject(oid);
    ShowSystemObject(edit, snmp::SnmpResult);
    // Renamed on the device: the lists and their file follow.
    if (answered && list && snmp::SnmpResult != RowBytes(list, row)) {
      LogEvent(QString("%1 on the device is \"%2\", listed as \"%3\": the list follows")
                   .arg(oid == kSysNameOid ? "sysName" : "sysLocation", Shown(snmp::SnmpResult),
                        Shown(RowBytes(list, row))),
               false);
      SetRowBytes(list, row, snmp::SnmpResult);
      listChanged = true;
    }
  }
  if (listChanged) WriteDeviceList();
  // Read twice on purpose: the first read only decides between a reading
  // and " no response"; the text shown is the second, fresh read.
  if (GetSysUpTime() == "???")
    edSysUpTime->setText(kNoUpTime);
  else
    edSysUpTime->setText(QString::fromStdString(GetSysUpTime()));
  AddUpTime(reading);
  if (closing_) return;
  ProcessParamFile(reading);
  KeepReading(std::move(reading));
}

void TfrmMain::RefreshData() {
  if (!HasSelectedDevice()) return;
  StartReadPass();
  // This refresh's own: a pass run while one of its GETs waits has another.
  history::TReading reading = StartReading();
  GetDeviceStatus(data_.SelectedIP, reading);
  GetDeviceMeas(data_.SelectedIP, reading);
  if (GetSysUpTime() == "???") {
    // The last up-time stays, marked once however many refreshes fail.
    if (!edSysUpTime->text().endsWith(kNoUpTime)) edSysUpTime->setText(edSysUpTime->text() + kNoUpTime);
  } else {
    edSysUpTime->setText(QString::fromStdString(GetSysUpTime()));
  }
  AddUpTime(reading);
  // A change made on the device, or by another operator, shows within one refresh.
  GetDeviceParams(data_.SelectedIP);
  KeepReading(std::move(reading));
  EndReadPass();
}

void TfrmMain::StartReadPass() { passUnanswered_ = false; }

bool TfrmMain::ReadDeviceObject(const std::string& oid, bool evenInASilentPass) {
  if (passUnanswered_ && !evenInASilentPass) {
    snmp::SnmpResult = snmp::kNoResponse;
    return false;
  }
  snmp::TSNMPdata read = snmp::SnmpRequest;
  read.OID = oid;
  read.Community = data_.Settings.ReadComm;
  const bool answered = snmp::NetSnmpGet(read);
  if (!evenInASilentPass) passUnanswered_ = !answered;
  return answered;
}

void TfrmMain::ClearBox(QGroupBox* box) {
  const auto children = box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (auto it = children.rbegin(); it != children.rend(); ++it) delete *it;
}

void TfrmMain::ClearPanel() {
  ClearBox(gbDevStatus);
  data_.DynLeds.clear();
  ClearBox(gbMeas);
  data_.DynMeas.clear();
  ClearBox(gbControl);
  data_.DynParams.clear();
  data_.Panel.Clear();
}

void TfrmMain::ProcessParamFile(history::TReading& reading) {
  ClearPanel();
  // A type without S or V records must not show the previous device's.
  edSN->clear();
  edVers->clear();

  const DeviceRow* device = data_.Devices.At(cbAdrIP->currentIndex());
  const std::string type = device ? device->DeviceType : edDevType->text().toStdString();
  // The type is the device's own text: one that could lead out of
  // DeviceFiles never names a file.
  const std::string path = DescriptionFilePath(IsSafeDeviceType(type) ? type : SanitisedDeviceType(type));
  if (!IsSafeDeviceType(type) || !FileExists(path)) {
    layout_.Label(gbControl, "File not found -  " + FileShown(Shown(path)), 10, 100);
    return;
  }
  const DeviceDescription description = ParseDeviceDescription(ReadWholeFile(path));
  // The description's positions are as laid out for the window's usual font.
  const auto S = [this](int pixels) { return layout_.S(pixels); };
  if (description.RecordsCut)
    ShowNotice(FileShown(Shown(path)) +
               QString(" holds more than %1 records: only the first %1 are shown").arg(kMaxDescriptionRecords));
  const std::string descriptionError = description.Error;
  const int32_t parameterCount = description.ParameterCount;
  data_.Panel.Describe(std::move(description));
  const std::vector<DescriptionRecord>& records = data_.Panel.Records();
  for (size_t index = 0; index < records.size(); ++index) {
    const DescriptionRecord& record = records[index];
    switch (record.Kind) {
      case RecordKind::StatusLed: {
        auto* led = new TStatusLed(gbDevStatus);
        led->SetStatus(2);
        led->LedName = Shown(record.Name);
        led->OID = QString::fromStdString(record.OID);
        led->setGeometry(S(record.Left), S(record.Top), S(led->width()), S(led->height()));
        led->show();
        data_.DynLeds.push_back({led, layout_.Label(gbDevStatus, Shown(record.Name), record.Left + 18, record.Top - 2), index});
        break;
      }
      case RecordKind::MeasuredValue: {
        auto* value = new QLineEdit(gbMeas);
        // Wide enough for five digits at any font (the frame and margins take 8 pixels).
        const int width = std::max(S(40), value->fontMetrics().horizontalAdvance("00000") + S(8));
        value->setGeometry(S(record.Left), S(record.Top), width, S(21));
        value->setReadOnly(true);
        value->setFocusPolicy(Qt::ClickFocus);
        value->setStyleSheet("background: palette(window);");
        value->show();
        QLabel* caption = layout_.Label(gbMeas, Shown(record.Name), 0, record.Top + 2);
        caption->move(value->geometry().right() + 1 + S(4), caption->y());
        data_.DynMeas.push_back({value, caption, index});
        break;
      }
      case RecordKind::Parameter: {
        TDynParam param;
        param.Record = index;
        if (record.HasControls) {
          param.Combo = new TChoiceBox(gbControl);
          param.Combo->setGeometry(S(record.Left), S(record.Top), S(70), S(21));
          param.Combo->setProperty(kTagProperty, record.Index);
          for (const auto& item : record.Items) param.Combo->addItem(Shown(item));
          param.Combo->setCurrentIndex(-1);
          QComboBox* combo = param.Combo;
          connect(combo, &QComboBox::activated, this,
                  [this, combo] { Guarded(combo, [&] { OnDynCboxChange(combo); }); });
          param.Combo->show();
          param.NameLabel = layout_.Label(gbControl, Shown(record.Name), record.Left + 74, record.Top);
        }
        data_.DynParams.push_back(param);
        break;
      }
      case RecordKind::SerialNumber:
      case RecordKind::Version: {
        const bool answered = ReadDeviceObject(record.OID);
        data_.Panel.Take(index, answered, snmp::SnmpResult);
        // Shown as before: without an answer, what the call said.
        (record.Kind == RecordKind::SerialNumber ? edSN : edVers)->setText(Shown(snmp::SnmpResult));
        break;
      }
    }
  }
  // Tab goes from the system group's fields to the parameters, in file order.
  QWidget* before = edSysContact;
  for (const TDynParam& param : data_.DynParams)
    if (param.Combo) {
      setTabOrder(before, param.Combo);
      before = param.Combo;
    }
  if (!descriptionError.empty()) throw EConvertError(descriptionError);
  if (parameterCount == 0) BuildNoParameterHint();
  GetDeviceStatus(data_.SelectedIP, reading);
  GetDeviceMeas(data_.SelectedIP, reading);
  GetDeviceParams(data_.SelectedIP);
}

void TfrmMain::BuildNoParameterHint() {
  layout_.Label(gbControl, "No SNMP managed parameters.", 70, 90);
  layout_.Label(gbControl, "Refer to device Web page at ", 30, 110);
  QLabel* link = layout_.Label(gbControl, "http://" + cbAdrIP->currentText(), 200, 110);
  link->setObjectName("webLink");
  link->setToolTip(cbAdrIP->currentText());
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

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && watched->objectName() == "webLink")
    Guarded(watched, [&] { ShowWeb(watched); });
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::ShowWeb(QObject* sender) {
  if (auto* label = qobject_cast<QLabel*>(sender)) OpenWithDesktop(QUrl(label->text()));
}

void TfrmMain::GetDeviceStatus(const std::string& address, history::TReading& reading) {
  static const char* const kStatusTexts[] = {"normal", "alarm", "unknown"};
  for (const TDynLed& led : data_.DynLeds) {
    snmp::SnmpRequest.Host = address;
    const bool answered = ReadDeviceObject(data_.Panel.Records()[led.Record].OID);
    const auto state = static_cast<unsigned char>(*data_.Panel.Take(led.Record, answered, snmp::SnmpResult).Raw);
    led.Led->SetStatus(state);
    AddSample(reading, led.Record, kStatusTexts[state]);
  }
}

void TfrmMain::GetDeviceMeas(const std::string& address, history::TReading& reading) {
  const char separator = QLocale().decimalPoint().at(0).toLatin1();
  for (const TDynMeas& meas : data_.DynMeas) {
    snmp::SnmpRequest.Host = address;
    const DescriptionRecord& record = data_.Panel.Records()[meas.Record];
    const bool answered = ReadDeviceObject(record.OID);
    // An empty answer changes nothing of what the box shows.
    if (answered && snmp::SnmpResult.empty()) continue;
    const TObjectReading& latest = data_.Panel.Take(meas.Record, answered, snmp::SnmpResult);
    // A device that sends something else than a number: this value is shown
    // as such (the tooltip says what came), and the rest of the panel is still read.
    const bool notANumber = answered && !latest.Raw;
    const QString shown = !answered   ? QString("???")
                          : notANumber ? kInvalidValueText
                                       : QString::fromStdString(FormatMeasuredValue(
                                             *latest.Raw, record.Offset, record.Factor, record.Decimals, separator));
    ShowWholeText(meas.ValueEdit, shown);
    if (notANumber)
      meas.ValueEdit->setToolTip(
          QString("The device sent %1, not a number").arg(Shown("\"" + ShortenedForMessage(latest.Reply) + "\"")));
    AddSample(reading, meas.Record, shown);
    meas.ValueEdit->repaint();
  }
}

void TfrmMain::GetDeviceParams(const std::string& address) {
  snmp::SnmpRequest.Host = address;
  for (const TDynParam& param : data_.DynParams) {
    // A slot without controls has nothing to read.
    if (!param.Combo) continue;
    const bool answered = ReadDeviceObject(data_.Panel.Records()[param.Record].OID);
    data_.Panel.Take(param.Record, answered, snmp::SnmpResult);
    // The operator is choosing in this box: the choice is not taken from under the mouse.
    if (param.Combo->view()->isVisible()) continue;
    param.Combo->setCurrentIndex(HeldChoice(param.Combo, data_.Panel.Latest(param.Record)));
  }
}

int TfrmMain::HeldChoice(const QComboBox* combo, const TObjectReading& reading) {
  return reading.Raw && *reading.Raw >= 0 && *reading.Raw < combo->count() ? static_cast<int>(*reading.Raw) : -1;
}

void TfrmMain::OnDynCboxChange(QComboBox* sender) {
  if (!HasSelectedDevice()) return;
  const int k = sender->property(kTagProperty).toInt();
  if (k < 0 || k >= static_cast<int>(data_.DynParams.size())) return;
  const TDynParam& param = data_.DynParams[static_cast<size_t>(k)];
  const QString name = param.NameLabel ? param.NameLabel->text() : QString();
  const size_t recordIndex = param.Record;
  const std::string oid = data_.Panel.Records()[recordIndex].OID;
  snmp::TSNMPdata write = snmp::SnmpRequest;
  write.Host = data_.SelectedIP;
  write.OID = oid;
  write.Value = std::to_string(sender->currentIndex());
  write.ValueType = snmp::berInteger;
  write.Community = data_.Settings.WriteComm;
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
  const TObjectReading& latest = data_.Panel.Take(recordIndex, readBack, snmp::SnmpResult);
  const std::string reply = latest.Reply;
  const int held = HeldChoice(sender, latest);
  sender->setCurrentIndex(held);
  const QString holds = held >= 0 ? sender->currentText() : readBack ? Shown("\"" + reply + "\"") : QString();
  const bool holdsChoice = written && readBack && held == chosenIndex;
  SetFontColor(sender, holdsChoice ? Qt::black : kWrongColor);
  if (!written) {
    if (!answered && readBack) failure = kWriteUnansweredReadsWork;
    ShowNotice(name + " not written: " + QString::fromStdString(failure));
  } else if (!readBack) {
    ShowNotice(name + " written, but not read back: no answer from " + QString::fromStdString(write.Host));
  } else if (!holdsChoice) {
    ShowNotice(name + ": the device holds " + holds + ", not " + chosen);
  } else {
    ShowNotice(name + " set to " + chosen, TNotice::Confirmation);
  }
  RecordWrite(history::TWriteKind::Set, name, chosen, written ? "ok" : failure, holds);
  RequestWork(wsRefreshData);
}

}  // namespace qz::app
