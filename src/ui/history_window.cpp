#include "history_window.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <map>

#include "description_file.h"
#include "history_recorder.h"
#include "plot_points.h"
#include "text.h"
#include "process_hooks.h"
#include "text_file.h"

namespace qz::app {
namespace {

constexpr int64_t kHourMs = 60LL * 60 * 1000;
constexpr int64_t kShortestFitMs = 5 * 60 * 1000;
// How often the panel reads a device: readings come this far apart.
constexpr int64_t kRefreshMs = 30'000;

QString TimeText(int64_t at) {
  return QDateTime::fromMSecsSinceEpoch(at).toString("yyyy-MM-dd HH:mm:ss");
}

// Zooms with the wheel, a dragged range and the keys; pans with the arrows;
// Home goes back to the whole range chosen.
class TPlotView : public QChartView {
 public:
  TPlotView(QChart* chart, QWidget* parent, std::function<void()> onHome)
      : QChartView(chart, parent), onHome_(std::move(onHome)) {}

 protected:
  void wheelEvent(QWheelEvent* event) override {
    chart()->zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
    event->accept();
  }
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_Plus: chart()->zoomIn(); break;
      case Qt::Key_Minus: chart()->zoomOut(); break;
      case Qt::Key_Left: chart()->scroll(-chart()->plotArea().width() / 10, 0); break;
      case Qt::Key_Right: chart()->scroll(chart()->plotArea().width() / 10, 0); break;
      case Qt::Key_Home:
        chart()->zoomReset();
        onHome_();
        break;
      default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
  }

 private:
  std::function<void()> onHome_;
};

// How long the plot waits after a zoom or pan before it loads the readings
// of what it shows, so that a turn of the wheel loads once.
constexpr int kSettleMs = 300;

const QColor kStateColours[] = {QColor(0, 200, 0), QColor(150, 150, 150), QColor(230, 0, 0)};
const char* const kStateNames[] = {"normal", "unknown", "alarm"};

// The LEDs in the order of the type's description file, as the panel shows
// them; those it no longer holds after them.
std::vector<history::TSeriesName> PanelOrder(std::vector<history::TSeriesName> objects, const std::string& type) {
  if (!IsSafeDeviceType(type)) return objects;
  const TFileRead file = ReadFile(DescriptionFilePath(type));
  if (!file.Error.empty()) return objects;
  std::vector<DescriptionRecord> order;
  for (const DescriptionRecord& record : ParseDeviceDescription(file.Bytes).Records)
    if (record.Kind == RecordKind::StatusLed) order.push_back(record);
  // A series recorded before series had keys is known by its caption.
  const auto rank = [&](const history::TSeriesName& series) {
    return std::find_if(order.begin(), order.end(), [&](const DescriptionRecord& record) {
             return record.OID == series.Object || record.Name == series.Object;
           }) - order.begin();
  };
  std::stable_sort(objects.begin(), objects.end(),
                   [&](const history::TSeriesName& a, const history::TSeriesName& b) { return rank(a) < rank(b); });
  return objects;
}

}  // namespace

struct THistoryWindow::TLoaded {
  std::vector<history::TDeviceKey> Devices;
  history::TDeviceKey Device;  // the one loaded, of Devices (none without any)
  int64_t From = 0;
  int64_t To = 0;
  int Columns = 0;  // how many buckets the range was read in
  std::string Failure;
  std::vector<std::pair<std::string, std::vector<history::TBucket>>> Values;
  std::vector<std::pair<std::string, std::vector<history::TLedRun>>> Leds;
  std::vector<history::TBucket> Pings;
  std::vector<history::TWrite> Writes;
};

THistoryWindow::THistoryWindow(history::TStoreSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window), settings_(std::move(settings)) {
  setObjectName("frmHistory");
  setWindowTitle("QZ Explorer - History");
  resize(1000, 640);
  cbDevice_ = new QComboBox(this);
  cbDevice_->setObjectName("cbHistoryDevice");
  cbDevice_->setMinimumWidth(320);
  cbRange_ = new QComboBox(this);
  cbRange_->setObjectName("cbHistoryRange");
  cbRange_->addItems({"Last hour", "Last 24 hours", "Last 7 days", "All", "From - to"});
  cbRange_->setCurrentIndex(1);
  edFrom_ = new QDateTimeEdit(this);
  edTo_ = new QDateTimeEdit(this);
  for (QDateTimeEdit* edit : {edFrom_, edTo_}) {
    edit->setDisplayFormat("yyyy-MM-dd HH:mm");
    edit->setCalendarPopup(true);
    edit->setEnabled(false);
  }
  edFrom_->setObjectName("edHistoryFrom");
  edTo_->setObjectName("edHistoryTo");
  auto* csv = new QPushButton("Export CSV...", this);
  csv->setObjectName("btHistoryCsv");
  auto* png = new QPushButton("Export PNG...", this);
  png->setObjectName("btHistoryPng");
  lsValues_ = new QListWidget(this);
  lsValues_->setObjectName("lsHistoryValues");
  lsValues_->setMaximumWidth(200);
  chartView_ = new TPlotView(new QChart, this, [this] { BackToChosenRange(); });
  zoomSettled_ = new QTimer(this);
  zoomSettled_->setSingleShot(true);
  zoomSettled_->setInterval(kSettleMs);
  connect(zoomSettled_, &QTimer::timeout, this, [this] { LoadShownRange(); });
  chartView_->setObjectName("chHistory");
  chartView_->setRubberBand(QChartView::HorizontalRubberBand);
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setFocusPolicy(Qt::StrongFocus);
  lbInfo_ = new QLabel(this);
  lbInfo_->setObjectName("lbHistoryInfo");

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Device", this));
  top->addWidget(cbDevice_, 1);
  top->addWidget(cbRange_);
  top->addWidget(edFrom_);
  top->addWidget(new QLabel("-", this));
  top->addWidget(edTo_);
  top->addWidget(csv);
  top->addWidget(png);
  auto* middle = new QHBoxLayout;
  middle->addWidget(lsValues_);
  middle->addWidget(chartView_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(middle, 1);
  layout->addWidget(lbInfo_);

  connect(cbDevice_, &QComboBox::currentIndexChanged, this, [this](int row) {
    if (row >= 0 && row < static_cast<int>(devices_.size())) ShowDevice(devices_[static_cast<size_t>(row)]);
  });
  connect(cbRange_, &QComboBox::currentIndexChanged, this, [this] { RangeChosen(); });
  for (QDateTimeEdit* edit : {edFrom_, edTo_})
    connect(edit, &QDateTimeEdit::editingFinished, this, [this] {
      from_ = chosenFrom_ = edFrom_->dateTime().toMSecsSinceEpoch();
      to_ = chosenTo_ = edTo_->dateTime().toMSecsSinceEpoch();
      Reload();
    });
  connect(lsValues_, &QListWidget::itemChanged, this, [this] { Reload(); });
  connect(csv, &QPushButton::clicked, this, [this] { ExportCsvAsked(); });
  connect(png, &QPushButton::clicked, this, [this] { ExportPngAsked(); });
  RangeChosen();
}

THistoryWindow::~THistoryWindow() { *alive_ = false; }

void THistoryWindow::ShowDevices(const std::vector<history::TDeviceKey>& devices, const history::TDeviceKey& shown) {
  devices_ = devices;
  const QSignalBlocker quiet(cbDevice_);
  cbDevice_->clear();
  for (const auto& device : devices_)
    cbDevice_->addItem(QString::fromStdString(device.Address + "  " + device.Name + "  (" + device.Type + ")"));
  const auto found = std::find(devices_.begin(), devices_.end(), shown);
  cbDevice_->setCurrentIndex(found == devices_.end() ? -1 : static_cast<int>(found - devices_.begin()));
}

void THistoryWindow::ShowDevice(const history::TDeviceKey& device) {
  wantedDevice_ = device;
  Reload();
}

void THistoryWindow::SetRange(int64_t from, int64_t to) {
  {
    const QSignalBlocker quiet(cbRange_);
    cbRange_->setCurrentIndex(4);
  }
  edFrom_->setEnabled(true);
  edTo_->setEnabled(true);
  edFrom_->setDateTime(QDateTime::fromMSecsSinceEpoch(from));
  edTo_->setDateTime(QDateTime::fromMSecsSinceEpoch(to));
  from_ = chosenFrom_ = from;
  to_ = chosenTo_ = to;
  Reload();
}

// A zoomed or panned plot shows the readings of its range in full detail:
// the buckets are made again for what it shows.
void THistoryWindow::LoadShownRange() {
  auto* time = qobject_cast<QDateTimeAxis*>(chartView_->chart()->axes(Qt::Horizontal).value(0));
  if (!time) return;
  const int64_t from = time->min().toMSecsSinceEpoch();
  const int64_t to = time->max().toMSecsSinceEpoch();
  if (from == from_ && to == to_) return;
  from_ = from;
  to_ = to;
  Reload();
}

void THistoryWindow::BackToChosenRange() {
  zoomSettled_->stop();
  if (from_ == chosenFrom_ && to_ == chosenTo_) return;
  from_ = chosenFrom_;
  to_ = chosenTo_;
  Reload();
}

void THistoryWindow::RangeChosen() {
  const int64_t now = history::NowMs();
  const int chosen = cbRange_->currentIndex();
  edFrom_->setEnabled(chosen == 4);
  edTo_->setEnabled(chosen == 4);
  switch (chosen) {
    case 0: from_ = now - kHourMs; to_ = now; break;
    case 1: from_ = now - 24 * kHourMs; to_ = now; break;
    case 2: from_ = now - 7 * 24 * kHourMs; to_ = now; break;
    case 3: from_ = to_ = 0; break;  // the device's whole history, found by the load
    default:
      from_ = edFrom_->dateTime().toMSecsSinceEpoch();
      to_ = edTo_->dateTime().toMSecsSinceEpoch();
  }
  chosenFrom_ = from_;
  chosenTo_ = to_;
  Reload();
}

std::vector<std::string> THistoryWindow::HiddenValues() const {
  std::vector<std::string> hidden;
  for (int i = 0; i < lsValues_->count(); ++i)
    if (lsValues_->item(i)->checkState() == Qt::Unchecked) hidden.push_back(lsValues_->item(i)->text().toStdString());
  return hidden;
}

void THistoryWindow::Reload() {
  // One load at a time, off the window's thread, never waited for: a reload
  // asked for meanwhile starts when it ends, with what is chosen then.
  if (loading_) {
    reloadWanted_ = true;
    return;
  }
  loading_ = true;
  reloadWanted_ = false;
  const int columns = std::max(200, static_cast<int>(chartView_->chart()->plotArea().width()));
  const bool fitToData = from_ == chosenFrom_ && to_ == chosenTo_ && cbRange_->currentIndex() == 1;
  std::thread([this, alive = alive_, columns, hidden = HiddenValues(), wanted = wantedDevice_, from = from_, to = to_,
               settings = settings_, fitToData] {
    const history::TDatabaseThread counted;
    auto loaded = std::make_shared<TLoaded>();
    loaded->Columns = columns;
    history::THistoryStore store(settings);
    loaded->Failure = store.Open();
    if (loaded->Failure.empty()) loaded->Devices = store.Devices();
    const auto found = std::find(loaded->Devices.begin(), loaded->Devices.end(), wanted);
    if (found != loaded->Devices.end())
      loaded->Device = *found;
    else if (!loaded->Devices.empty())
      loaded->Device = loaded->Devices.front();
    const history::TDeviceKey& device = loaded->Device;
    if (loaded->Failure.empty() && !loaded->Devices.empty()) {
      loaded->From = from;
      loaded->To = to;
      if (from == 0 && to == 0) std::tie(loaded->From, loaded->To) = store.Extent(device);
      // A device recorded for less than the day asked for opens on what it
      // has (five minutes at the least, so that a plot has room to zoom).
      if (fitToData) {
        const auto [first, last] = store.Extent(device);
        if (last >= first && first > loaded->From) loaded->From = std::min(first, loaded->To - kShortestFitMs);
      }
      // Series are read by their key and shown by their caption.
      for (const history::TSeriesName& series : store.Objects(device, history::TSampleKind::Value)) {
        std::vector<history::TBucket> buckets;
        if (std::find(hidden.begin(), hidden.end(), series.Caption) == hidden.end())
          buckets = store.Buckets(device, history::TSampleKind::Value, series.Object, loaded->From, loaded->To, columns);
        loaded->Values.emplace_back(series.Caption, std::move(buckets));
      }
      for (const history::TSeriesName& series :
           PanelOrder(store.Objects(device, history::TSampleKind::Led), device.Type))
        loaded->Leds.emplace_back(series.Caption,
                                  history::LedRuns(store.Buckets(device, history::TSampleKind::Led, series.Object,
                                                                 loaded->From, loaded->To, columns),
                                                   loaded->To));
      loaded->Pings = store.PingBuckets(device, loaded->From, loaded->To, columns);
      loaded->Writes = store.Writes(device, loaded->From, loaded->To);
    }
    // The window may be gone by then: whether it is, is known on its thread.
    PostToWindowThread(nullptr, [this, alive, loaded] {
      if (!*alive) return;
      loading_ = false;
      if (reloadWanted_) {
        Reload();
        return;
      }
      ShowDevices(loaded->Devices, loaded->Device);
      wantedDevice_ = loaded->Device;
      if (loaded->Failure.empty() && loaded->Devices.empty()) return;
      if (from_ == 0 && to_ == 0) {
        from_ = chosenFrom_ = loaded->From;
        to_ = chosenTo_ = loaded->To;
      }
      Show(*loaded);
    });
  }).detach();
}

void THistoryWindow::Show(const TLoaded& loaded) {
  if (!loaded.Failure.empty()) {
    lbInfo_->setText(QString::fromStdString("The history cannot be read: " + loaded.Failure));
    return;
  }
  {
    // The list of values, checked as before; new ones checked.
    const QSignalBlocker quiet(lsValues_);
    const std::vector<std::string> hidden = HiddenValues();
    lsValues_->clear();
    for (const auto& [object, buckets] : loaded.Values) {
      auto* item = new QListWidgetItem(QString::fromStdString(object), lsValues_);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(std::find(hidden.begin(), hidden.end(), object) == hidden.end() ? Qt::Checked : Qt::Unchecked);
    }
  }
  auto* chart = new QChart;
  // The title says whose history of when: it goes with an exported picture.
  chart->setTitle(QString::fromStdString(loaded.Device.Name + "  " + loaded.Device.Address + "  (" +
                                         loaded.Device.Type + ")") +
                  QString("<br>%1 to %2").arg(TimeText(loaded.From), TimeText(loaded.To)));
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->legend()->setShowToolTips(true);
  auto* time = new QDateTimeAxis;
  time->setFormat(loaded.To - loaded.From <= 24 * kHourMs ? "HH:mm" : "dd.MM HH:mm");
  chart->addAxis(time, Qt::AlignBottom);
  auto* pingAxis = new QValueAxis;
  pingAxis->setTitleText("Ping, ms");
  chart->addAxis(pingAxis, Qt::AlignRight);
  // The LED bands take the lowest 30 % of the plot, each labelled with its caption.
  auto* lanes = new QCategoryAxis;
  lanes->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  lanes->setGridLineVisible(false);
  chart->addAxis(lanes, Qt::AlignLeft);

  // One axis per unit: volts and revolutions are not drawn to one scale.
  struct TUnitAxis {
    QValueAxis* Axis;
    double Low, High;
  };
  std::map<std::string, TUnitAxis> units;
  size_t readings = 0;
  // Readings further apart than this are a time the device did not answer.
  const int64_t gap = std::max<int64_t>(3 * kRefreshMs, 3 * (loaded.To - loaded.From) / std::max(1, loaded.Columns));
  double high = 1, span = 1;
  for (const auto& [object, buckets] : loaded.Values) {
    if (buckets.empty()) continue;
    const std::string unit = history::UnitOfCaption(object);
    auto [entry, added] = units.try_emplace(unit, TUnitAxis{nullptr, buckets.front().Min, buckets.front().Max});
    if (added) {
      entry->second.Axis = new QValueAxis;
      entry->second.Axis->setTitleText(QString::fromStdString(unit.empty() ? "value" : unit));
      chart->addAxis(entry->second.Axis, Qt::AlignLeft);
    }
    for (const history::TBucket& bucket : buckets) {
      readings += static_cast<size_t>(bucket.Count);
      entry->second.Low = std::min(entry->second.Low, bucket.Min);
      entry->second.High = std::max(entry->second.High, bucket.Max);
    }
    const QString name = QString::fromStdString(object);
    QColor colour;
    for (const auto& piece : history::SplitAtGaps(history::EnvelopePoints(buckets), gap)) {
      auto* series = new QLineSeries;
      series->setName(name);
      for (const history::TPoint& point : piece) series->append(static_cast<qreal>(point.At), point.Value);
      chart->addSeries(series);
      series->attachAxis(time);
      series->attachAxis(entry->second.Axis);
      // The pieces of one value are one line with gaps: one colour, one legend entry.
      if (colour.isValid()) {
        series->setColor(colour);
        for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
      }
      colour = series->color();
      connect(series, &QLineSeries::hovered, this, [name](const QPointF& point, bool state) {
        if (state)
          QToolTip::showText(QCursor::pos(), QString("%1: %2 at %3").arg(name).arg(point.y()).arg(
                                                 TimeText(static_cast<int64_t>(point.x()))));
      });
    }
  }
  // The LED bands take the lowest part of the plot, more of it the more
  // LEDs there are; each unit's values stand above them, up to near the top.
  const double ledShare = loaded.Leds.empty() ? 0.0 : std::clamp(0.06 * static_cast<double>(loaded.Leds.size()), 0.3, 0.6);
  constexpr double kTop = 0.92;
  for (auto& [unit, entry] : units) {
    span = std::max(entry.High - entry.Low, 1.0);
    const double whole = span / (kTop - ledShare - 0.03);
    const double bottom = entry.Low - (ledShare + 0.03) * whole;
    entry.Axis->setRange(bottom, bottom + whole);
  }
  // Writes are marked above the first unit's values.
  if (!units.empty()) {
    high = units.begin()->second.High;
    span = std::max(units.begin()->second.High - units.begin()->second.Low, 1.0);
  }
  bool legendShown[3] = {false, false, false};
  for (size_t lane = 0; lane < loaded.Leds.size(); ++lane) {
    const auto& [object, runs] = loaded.Leds[lane];
    const double base = static_cast<double>(loaded.Leds.size() - 1 - lane) + 0.15;
    for (int state = 0; state < 3; ++state) {
      auto* upper = new QLineSeries;
      auto* lower = new QLineSeries;
      for (const history::TLedRun& run : runs) {
        if (run.State != state) continue;
        for (const auto& [x, y] : {std::pair{run.From, base}, {run.From, base + 0.7}, {run.To, base + 0.7}, {run.To, base}}) {
          upper->append(static_cast<qreal>(x), y);
          lower->append(static_cast<qreal>(x), base);
        }
      }
      if (upper->count() == 0) {
        delete upper;
        delete lower;
        continue;
      }
      auto* band = new QAreaSeries(upper, lower);
      band->setName(kStateNames[state]);
      band->setColor(kStateColours[state]);
      band->setBorderColor(kStateColours[state]);
      chart->addSeries(band);
      band->attachAxis(time);
      band->attachAxis(lanes);
      for (QLegendMarker* marker : chart->legend()->markers(band)) marker->setVisible(!legendShown[state]);
      legendShown[state] = true;
      connect(band, &QAreaSeries::hovered, this, [name = QString::fromStdString(object), state](const QPointF& point, bool on) {
        if (on)
          QToolTip::showText(QCursor::pos(), QString("%1: %2 at %3").arg(name, kStateNames[state],
                                                                         TimeText(static_cast<int64_t>(point.x()))));
      });
    }
  }
  size_t pings = 0;
  double longest = 1;
  if (!loaded.Pings.empty()) {
    auto* trip = new QLineSeries;
    trip->setName("Ping, ms");
    auto* lost = new QScatterSeries;
    lost->setName("Ping time-out");
    lost->setColor(Qt::red);
    lost->setMarkerSize(7);
    // The worst round trip of each column: what an operator looks for.
    for (const history::TBucket& bucket : loaded.Pings) {
      pings += static_cast<size_t>(bucket.Count);
      if (bucket.Count > bucket.Timeouts) {
        trip->append(static_cast<qreal>(bucket.First), bucket.Max);
        longest = std::max(longest, bucket.Max);
      }
      if (bucket.Timeouts > 0) lost->append(static_cast<qreal>(bucket.First), 0);
    }
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{trip, lost}) {
      chart->addSeries(series);
      series->attachAxis(time);
      series->attachAxis(pingAxis);
    }
    connect(trip, &QLineSeries::hovered, this, [](const QPointF& point, bool on) {
      if (on)
        QToolTip::showText(QCursor::pos(), QString("Ping: %1 ms at %2").arg(point.y()).arg(TimeText(static_cast<int64_t>(point.x()))));
    });
  }
  if (!loaded.Writes.empty()) {
    auto* marks = new QScatterSeries;
    marks->setName("Writes, renames, traps");
    marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    marks->setMarkerSize(9);
    marks->setColor(QColor(30, 90, 200));
    auto texts = std::make_shared<std::vector<QString>>();
    for (const history::TWrite& write : loaded.Writes) {
      marks->append(static_cast<qreal>(write.At), high + span * 0.05);
      const bool written = write.Kind == history::TWriteKind::Set || write.Kind == history::TWriteKind::Rename;
      texts->push_back(
          QString::fromStdString(written ? write.Object + " := " + write.Written + " (" + write.Result +
                                               (write.ReadBack.empty() ? "" : ", reads " + write.ReadBack) + ")"
                                         : std::string(history::WriteKindName(write.Kind)) + ": " + write.Object +
                                               (write.Written.empty() ? "" : " " + write.Written)) +
          " at " + TimeText(write.At));
    }
    chart->addSeries(marks);
    marks->attachAxis(time);
    if (!units.empty())
      marks->attachAxis(units.begin()->second.Axis);
    else
      marks->attachAxis(pingAxis);
    connect(marks, &QScatterSeries::hovered, this, [marks, texts](const QPointF& point, bool on) {
      if (!on) return;
      const auto all = marks->points();
      for (qsizetype i = 0; i < all.size(); ++i)
        if (all[i] == point) QToolTip::showText(QCursor::pos(), (*texts)[static_cast<size_t>(i)]);
    });
  }
  // Ranges last: attaching a series stretches its axes to its data. The
  // values keep the upper part of the plot, the LED bands the lowest 30 %.
  // The first LED on top, as on the panel; an axis takes its labels from the bottom up.
  for (size_t lane = loaded.Leds.size(); lane-- > 0;)
    lanes->append(QString::fromStdString(loaded.Leds[lane].first),
                  static_cast<double>(loaded.Leds.size() - 1 - lane) + 0.5);
  lanes->setRange(0, std::max<double>(1, static_cast<double>(loaded.Leds.size())) / std::max(ledShare, 0.3));
  // Long numbers and captions beside the plot are shown whole.
  for (QAbstractAxis* axis : chart->axes()) axis->setTruncateLabels(false);
  lanes->setVisible(!loaded.Leds.empty());
  pingAxis->setRange(0, longest * 1.5);
  time->setRange(QDateTime::fromMSecsSinceEpoch(loaded.From),
                 QDateTime::fromMSecsSinceEpoch(std::max(loaded.To, loaded.From + 1)));
  connect(time, &QDateTimeAxis::rangeChanged, zoomSettled_, qOverload<>(&QTimer::start));
  QChart* previous = chartView_->chart();
  chartView_->setChart(chart);
  delete previous;
  lbInfo_->setText(QString::fromStdString(Counted(readings, "reading") + ", " + Counted(pings, "ping") + ", " +
                                           Counted(loaded.Writes.size(), "write")) +
                   QString(" from %1 to %2").arg(TimeText(loaded.From), TimeText(loaded.To)));
}

bool THistoryWindow::ExportCsv(const QString& path) {
  const int row = cbDevice_->currentIndex();
  if (row < 0 || row >= static_cast<int>(devices_.size())) return false;
  history::THistoryStore store(settings_);
  if (!store.Open().empty()) return false;
  auto [from, to] = std::pair{from_, to_};
  if (from == 0 && to == 0) std::tie(from, to) = store.Extent(devices_[static_cast<size_t>(row)]);
  const history::TDeviceKey& device = devices_[static_cast<size_t>(row)];
  return WriteWholeFile(path.toStdString(), history::FormatCsv(device.Address, store.Rows(device, from, to))).empty();
}

bool THistoryWindow::ExportPng(const QString& path) { return chartView_->grab().save(path, "PNG"); }

void THistoryWindow::ExportCsvAsked() {
  const QString path = QFileDialog::getSaveFileName(this, "Export CSV", "history.csv", "CSV files (*.csv)");
  if (!path.isEmpty() && !ExportCsv(path)) lbInfo_->setText("The CSV file could not be written: " + path);
}

void THistoryWindow::ExportPngAsked() {
  const QString path = QFileDialog::getSaveFileName(this, "Export PNG", "history.png", "PNG pictures (*.png)");
  if (!path.isEmpty() && !ExportPng(path)) lbInfo_->setText("The picture could not be written: " + path);
}

}  // namespace qz::app
