#pragma once
// An IPv4 address editor: four octet fields separated by dots, digits only,
// "." jumps to the next octet, each octet brought into byte range on leaving.
#include <array>
#include <cstdint>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>

class TIPEdit;

class TIPByteEdit : public QLineEdit {
  Q_OBJECT
 public:
  TIPByteEdit(TIPEdit* editor, int index);
  int Index() const { return index_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TIPEdit* editor_;
  int index_;
};

class TIPEdit : public QFrame {
  Q_OBJECT
  friend class TIPByteEdit;

 public:
  explicit TIPEdit(QWidget* parent = nullptr);

  QString Text() const;
  void SetText(const QString& text);
  // Throws EConvertError when an octet field does not hold a number.
  uint32_t Value() const;
  void SetValue(uint32_t value);
  bool Enabled() const { return enabledFlag_; }
  void SetEnabled(bool enabled);
  TIPByteEdit* OctetField(int index) const { return fields_[static_cast<size_t>(index)]; }
  // Pasted into octet index: a whole address fills all four octets.
  void Paste(int index, const QString& text);
  QLabel* DotLabel(int index) const { return dots_[static_cast<size_t>(index)]; }

 signals:
  void changed();
  void clicked();
  void doubleClicked();
  void entered();
  void exited();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunLayout();
  void FocusChanged(QWidget* old, QWidget* now);
  void DotTyped(int index);
  void FieldClicked();
  bool Contains(const QWidget* widget) const;

  bool enabledFlag_ = true;
  bool dotJumpMark_ = false;
  std::array<TIPByteEdit*, 4> fields_{};
  std::array<QLabel*, 4> dots_{};
};

// The octet an editor field shows for one piece of a written text: leading
// blanks, optional sign, digits; the remainder of division by 256, keeping
// the sign; 0 when there are no digits.
int OctetOfPiece(const QString& piece);
