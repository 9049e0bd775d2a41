#pragma once
// A coloured rectangle that is lit or unlit, and the device status LED.
#include <QColor>
#include <QWidget>

class TLed : public QWidget {
  Q_OBJECT
 public:
  // Created by code: a red 16 x 16 square, unlit, with a 2-pixel black outline.
  explicit TLed(QWidget* parent = nullptr);

  bool LedOn() const { return ledOn_; }
  QColor OnColor() const { return onColor_; }
  QColor OffColor() const { return offColor_; }
  QColor BrushColor() const { return brushColor_; }
  int PenWidth() const { return penWidth_; }

  void SetLedOn(bool on);
  void SetOnColor(const QColor& color);
  void SetOffColor(const QColor& color);
  void SetPenWidth(int width);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ApplyBrush();

  bool ledOn_ = false;
  QColor onColor_;
  QColor offColor_;
  QColor brushColor_;
  int penWidth_ = 2;
};

// The system's button-face colour, which an undetermined status shows.
QColor ButtonFaceColor();

class TStatusLed : public TLed {
  Q_OBJECT
 public:
  explicit TStatusLed(QWidget* parent = nullptr);
  // 0 normal (lime), 1 alarm (red), 2 undetermined (kUnknownColor); others change nothing.
  void SetStatus(unsigned char status);
  // Dark slate: never taken for an unlit LED or the window's background, so
  // a device that stopped answering does not look healthy.
  static inline const QColor kUnknownColor{72, 72, 104};

  QString LedName;
  QString OID;
};
