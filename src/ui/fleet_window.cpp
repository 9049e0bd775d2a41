#include "fleet_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "settings_file.h"

namespace qz::app {
namespace {

QString TimeText(int64_t ms) {
  if (ms == 0) return {};
  const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms);
  return at.date() == QDate::currentDate() ? at.toString("HH:mm:ss") : at.toString("yyyy-MM-dd HH:mm");
}

}  // namespace

TFleetTableModel::TFleetTableModel(const TFleetWatch& watch, TWindowServices& window, QObject* parent)
    : QAbstractTableModel(parent), watch_(watch), window_(window), rows_(static_cast<int>(watch.Rows().size())) {}

int TFleetTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TFleetTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

void TFleetTableModel::Update() {
  const int rows = static_cast<int>(watch_.Rows().size());
  if (rows != rows_) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
  } else if (rows > 0) {
    emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
  }
}

QVariant TFleetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kTitles[] = {"State", "Address", "sysName", "sysLocation", "Type",
                                        "Alarms", "Values", "Last answer", "Ping"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
  return QString(kTitles[section]);
}

QString TFleetTableModel::Text(const TFleetRow& row, int column) const {
  const TFleetObservation* seen = row.LastAnswered ? &*row.LastAnswered : nullptr;
  switch (column) {
    case State: {
      if (!row.Polled) return "waiting";
      if (row.Silent())
        return "no answer since " + QDateTime::fromMSecsSinceEpoch(row.SilentSinceMs).toString("HH:mm");
      return QString(FleetMarkName(row.Mark)) + (row.Acknowledged ? " (acknowledged)" : "");
    }
    case Address:
      return QString::fromStdString(row.Device.Address);
    case Name:
      return window_.Shown(row.Device.SysName);
    case Location:
      return window_.Shown(row.Device.SysLocation);
    case Type:
      return window_.Shown(row.Device.DeviceType);
    case Alarms: {
      if (!seen) return {};
      QStringList alarms;
      for (const std::string& led : seen->LitLeds) alarms << window_.Shown(led);
      for (const TLimitBreach& breach : seen->OutOfLimits)
        alarms << window_.Shown(breach.Caption) + " " + QString::fromStdString(breach.Shown);
      return alarms.join(", ");
    }
    case Values: {
      if (!seen) return {};
      QStringList values;
      for (const TFleetValue& value : seen->Values)
        values << window_.Shown(value.Caption) + " " + (value.Shown.empty() ? "???" : QString::fromStdString(value.Shown));
      return values.join("; ");
    }
    case LastAnswer:
      return TimeText(row.LastAnswerMs);
    case Ping:
      if (!IsFlagSet(window_.Data().Settings.PingDevices) || !row.PingMs.has_value()) return {};
      return *row.PingMs < 0 ? "timeout" : QString("%1 ms").arg(*row.PingMs);
  }
  return {};
}

QVariant TFleetTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(watch_.Rows().size())) return {};
  const TFleetRow& row = watch_.Rows()[static_cast<size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return Text(row, column);
    case Qt::ToolTipRole:
      return column == Alarms || column == Values ? Text(row, column) : QVariant();
    case Qt::DecorationRole:
      return column == State && row.Polled ? FleetMarkDot(row.Mark, 14, false) : QVariant();
    case Qt::ForegroundRole:
      // What a silent device last said stays, greyed.
      if (row.Silent() && (column == Alarms || column == Values || column == LastAnswer))
        return QColor(140, 140, 140);
      if (column == Alarms && row.Mark == TFleetMark::Alarm) return QColor(192, 0, 0);
      return {};
    case Qt::BackgroundRole:
      if (!NeedsAttention(row.Mark, row.Acknowledged) || !row.Polled) return {};
      return row.Mark == TFleetMark::Alarm ? QColor(255, 220, 220) : QColor(226, 226, 236);
    case kSortRole:
      switch (column) {
        case State:
          return row.Polled ? static_cast<int>(row.Mark) * 2 + (row.Acknowledged ? 0 : 1) : -1;
        case Address:
          return static_cast<qulonglong>(AddressValue(row.Device.Address));
        case LastAnswer:
          return static_cast<qlonglong>(row.LastAnswerMs);
        case Ping:
          return row.PingMs.value_or(-1);
        default:
          return Text(row, column).toLower();
      }
    case kAttentionRole:
      return row.Polled && NeedsAttention(row.Mark, row.Acknowledged);
  }
  return {};
}

void TFleetFilter::SetText(const QString& text) {
  text_ = text.trimmed();
  invalidateFilter();
}

void TFleetFilter::SetOnlyAttention(bool only) {
  onlyAttention_ = only;
  invalidateFilter();
}

bool TFleetFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  const QAbstractItemModel* model = sourceModel();
  if (onlyAttention_ && !model->index(sourceRow, 0, sourceParent).data(TFleetTableModel::kAttentionRole).toBool())
    return false;
  if (text_.isEmpty()) return true;
  for (const int column : {TFleetTableModel::Address, TFleetTableModel::Name, TFleetTableModel::Location,
                           TFleetTableModel::Type})
    if (model->index(sourceRow, column, sourceParent).data().toString().contains(text_, Qt::CaseInsensitive))
      return true;
  return false;
}

TFleetWindow::TFleetWindow(TFleetWatch& watch, TWindowServices& window, QWidget* parent)
    : QWidget(parent, Qt::Window), watch_(watch), window_(window) {
  setObjectName("FleetWindow");
  setWindowTitle("QZ Explorer - Fleet");
  model_ = new TFleetTableModel(watch, window, this);
  filter_ = new TFleetFilter(this);
  filter_->setSourceModel(model_);
  filter_->setSortRole(TFleetTableModel::kSortRole);
  filter_->setDynamicSortFilter(true);

  edFilter_ = new QLineEdit(this);
  edFilter_->setObjectName("edFleetFilter");
  edFilter_->setPlaceholderText("Filter: address, name, location, type");
  edFilter_->setClearButtonEnabled(true);
  cbAttention_ = new QCheckBox("Only devices needing &attention", this);
  cbAttention_->setObjectName("cbFleetAttention");
  cbWatch_ = new QCheckBox("&Watch the fleet", this);
  cbWatch_->setObjectName("cbFleetWatch");
  cbWatch_->setToolTip("Polls every listed device in the background and tells of each change");
  btPoll_ = new QPushButton("&Poll now", this);
  btPoll_->setObjectName("btFleetPoll");
  lbSummary_ = new QLabel(this);
  lbSummary_->setObjectName("lbFleetSummary");

  table_ = new QTableView(this);
  table_->setObjectName("tvFleet");
  table_->setModel(filter_);
  table_->setSortingEnabled(true);
  table_->sortByColumn(TFleetTableModel::Address, Qt::AscendingOrder);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->installEventFilter(this);

  auto* top = new QHBoxLayout;
  top->addWidget(edFilter_, 1);
  top->addWidget(cbAttention_);
  top->addWidget(cbWatch_);
  top->addWidget(btPoll_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
  layout->addWidget(lbSummary_);

  connect(edFilter_, &QLineEdit::textChanged, filter_, &TFleetFilter::SetText);
  connect(cbAttention_, &QCheckBox::toggled, filter_, &TFleetFilter::SetOnlyAttention);
  cbWatch_->setChecked(watch.Watching());
  connect(cbWatch_, &QCheckBox::toggled, this, [this](bool on) {
    watch_.SetWatching(on);
    ShowSummary();
  });
  connect(btPoll_, &QPushButton::clicked, this, [this] { watch_.PollNow(); });
  connect(table_, &QTableView::doubleClicked, this, [this] { PickCurrent(); });
  connect(table_, &QTableView::customContextMenuRequested, this, [this](const QPoint& at) { ShowMenu(at); });
  connect(&watch, &TFleetWatch::RowsChanged, this, [this] {
    model_->Update();
    ShowSummary();
  });
  ShowSummary();
  resize(1200, 440);
  for (const int column : {TFleetTableModel::State, TFleetTableModel::Address, TFleetTableModel::Type,
                           TFleetTableModel::LastAnswer})
    table_->resizeColumnToContents(column);
  const int em = fontMetrics().horizontalAdvance('m');
  table_->setColumnWidth(TFleetTableModel::State, std::max(table_->columnWidth(TFleetTableModel::State), 11 * em));
  table_->setColumnWidth(TFleetTableModel::Name, 11 * em);
  table_->setColumnWidth(TFleetTableModel::Location, 8 * em);
  table_->setColumnWidth(TFleetTableModel::Alarms, 12 * em);
  table_->setColumnWidth(TFleetTableModel::Values, 20 * em);
}

int TFleetWindow::CurrentDeviceRow() const {
  const QModelIndex current = table_->currentIndex();
  return current.isValid() ? filter_->mapToSource(current).row() : -1;
}

void TFleetWindow::PickCurrent() {
  if (const int row = CurrentDeviceRow(); row >= 0) window_.SelectDevice(row);
}

bool TFleetWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      PickCurrent();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFleetWindow::ShowMenu(const QPoint& at) {
  const int row = CurrentDeviceRow();
  if (row < 0) return;
  const TFleetRow& fleetRow = watch_.Rows()[static_cast<size_t>(row)];
  QMenu menu(this);
  QAction* acknowledge = menu.addAction("&Acknowledge", this, [this, row] { watch_.Acknowledge(row); });
  acknowledge->setEnabled(fleetRow.Polled && NeedsAttention(fleetRow.Mark, fleetRow.Acknowledged));
  menu.addAction("&Select in the main window", this, [this] { PickCurrent(); });
  menu.exec(table_->viewport()->mapToGlobal(at));
}

void TFleetWindow::ShowSummary() {
  const TFleetCounts counts = watch_.Counts();
  QString text = QString("%1 devices: %2 alarm, %3 no answer, %4 normal, %5 without description file; %6 need attention")
                     .arg(watch_.Rows().size())
                     .arg(counts.Of(TFleetMark::Alarm))
                     .arg(counts.Of(TFleetMark::NoAnswer))
                     .arg(counts.Of(TFleetMark::Normal))
                     .arg(counts.Of(TFleetMark::NoDescription))
                     .arg(counts.Attention);
  if (!watch_.Watching()) text += ". Not watching: only the selected device is read.";
  btPoll_->setEnabled(watch_.Watching());
  lbSummary_->setText(text);
}

void TFleetWindow::closeEvent(QCloseEvent* event) {
  // Closed by the operator, not with the program: not reopened at the next start.
  if (!window_.Closing()) {
    window_.Data().Conf.Set("Fleet/Open", "0");
    window_.ConfChanged();
  }
  QWidget::closeEvent(event);
}

}  // namespace qz::app
