#include "layout.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace qz::app {
namespace {

// Captions of the window, and how wide they are in the font of the layout.
const char* const kProbe = "sysLocation Read community Firmware vers. Measured values";
constexpr double kProbeWidthAsLaidOut = 373;

}  // namespace

double LayoutScale(const QFont& font) {
  return std::max(1.0, QFontMetricsF(font).horizontalAdvance(kProbe) / kProbeWidthAsLaidOut);
}

QLabel* TLayout::Label(QWidget* parent, const QString& caption, int left, int top) const {
  auto* label = new QLabel(caption, parent);
  label->adjustSize();
  label->move(S(left), S(top));
  label->show();
  return label;
}

QLabel* TLayout::LabelLeftOf(QWidget* control, const QString& text) const {
  auto* label = new QLabel(text, control->parentWidget());
  label->adjustSize();
  label->move(control->x() - label->width() - S(4), control->y() + (control->height() - label->height()) / 2);
  return label;
}

QLabel* TLayout::LabelAbove(QWidget* control, const QString& text) const {
  auto* label = new QLabel(text, control->parentWidget());
  label->adjustSize();
  label->move(control->x(), control->y() - label->height() - S(2));
  return label;
}

QLineEdit* TLayout::Edit(QWidget* parent, const char* name, int left, int top, int width, bool readOnly) const {
  auto* edit = Place(new QLineEdit(parent), name, left, top, width);
  edit->setReadOnly(readOnly);
  if (readOnly) edit->setFocusPolicy(Qt::ClickFocus);
  return edit;
}

QGroupBox* TLayout::Group(QWidget* parent, const char* name, const QString& title, int left, int top, int width,
                          int height, bool centred) const {
  auto* box = Place(new QGroupBox(title, parent), name, left, top, width, height);
  if (centred) box->setAlignment(Qt::AlignHCenter);
  return box;
}

void TLayout::Separator(QWidget* parent, const char* name, int top) const {
  auto* panel = Place(new QFrame(parent), name, 0, top, 652, 5);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

}  // namespace qz::app
