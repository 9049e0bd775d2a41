#pragma once
// The Fleet window (View > Fleet): every listed device in a table, sortable
// by every column and filtered by text or to the devices needing attention;
// a row picked with a double-click or Enter is selected in the main window,
// and its alarm can be acknowledged from its context menu.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>

#include "fleet_watch.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace qz::app {

class TFleetTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { State, Address, Name, Location, Type, Alarms, Values, LastAnswer, Ping, ColumnCount };
  // What the columns sort by, and whether a row needs attention.
  static constexpr int kSortRole = Qt::UserRole;
  static constexpr int kAttentionRole = Qt::UserRole + 1;

  TFleetTableModel(const TFleetWatch& watch, TWindowServices& window, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // The watch's rows changed.
  void Update();

 private:
  QString Text(const TFleetRow& row, int column) const;

  const TFleetWatch& watch_;
  TWindowServices& window_;
  int rows_ = 0;
};

// The filter box and "only devices needing attention".
class TFleetFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetText(const QString& text);
  void SetOnlyAttention(bool only);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  QString text_;
  bool onlyAttention_ = false;
};

class TFleetWindow : public QWidget {
  Q_OBJECT

 public:
  TFleetWindow(TFleetWatch& watch, TWindowServices& window, QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The device row of the table's current row; -1 for none.
  int CurrentDeviceRow() const;
  void PickCurrent();
  void ShowMenu(const QPoint& at);
  void ShowSummary();

  TFleetWatch& watch_;
  TWindowServices& window_;
  TFleetTableModel* model_ = nullptr;
  TFleetFilter* filter_ = nullptr;
  QTableView* table_ = nullptr;
  QLineEdit* edFilter_ = nullptr;
  QCheckBox* cbAttention_ = nullptr;
  QCheckBox* cbWatch_ = nullptr;
  QPushButton* btPoll_ = nullptr;
  QLabel* lbSummary_ = nullptr;
};

}  // namespace qz::app
