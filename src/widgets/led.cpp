#include "led.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

QColor ButtonFaceColor() { return QApplication::palette().color(QPalette::Button); }

TLed::TLed(QWidget* parent)
    : QWidget(parent), onColor_(0, 255, 0), offColor_(255, 0, 0), brushColor_(offColor_) {
  resize(16, 16);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TLed::ApplyBrush() {
  const QColor color = ledOn_ ? onColor_ : offColor_;
  if (color == brushColor_) return;
  brushColor_ = color;
  update();
}

void TLed::SetLedOn(bool on) {
  ledOn_ = on;
  ApplyBrush();
}

void TLed::SetOnColor(const QColor& color) {
  onColor_ = color;
  ApplyBrush();
}

void TLed::SetOffColor(const QColor& color) {
  offColor_ = color;
  ApplyBrush();
}

void TLed::SetPenWidth(int width) {
  penWidth_ = width;
  update();
}

void TLed::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The outline is drawn inside the bounds, the interior with the brush.
  painter.fillRect(rect(), Qt::black);
  painter.fillRect(rect().adjusted(penWidth_, penWidth_, -penWidth_, -penWidth_), brushColor_);
}

TStatusLed::TStatusLed(QWidget* parent) : TLed(parent) {
  resize(14, 10);
  SetLedOn(true);
}

void TStatusLed::SetStatus(unsigned char status) {
  switch (status) {
    case 0: SetOnColor(QColor(0, 255, 0)); break;
    case 1: SetOnColor(QColor(255, 0, 0)); break;
    case 2: SetOnColor(kUnknownColor); break;
    default: break;
  }
}
