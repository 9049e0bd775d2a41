#include "whole_text.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyleOptionFrame>
#include <QStylePainter>

namespace {

// The width a line edit's text can use: the contents rectangle less the
// margins QLineEdit keeps on both sides of its text.
int TextRoom(const QLineEdit* box) {
  QStyleOptionFrame option;
  option.initFrom(box);
  option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
  const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
  const QMargins margins = box->textMargins();
  constexpr int kQLineEditHorizontalMargin = 2;
  return contents.width() - margins.left() - margins.right() - 2 * kQLineEditHorizontalMargin;
}

}  // namespace

void ShowWholeText(QLineEdit* box, const QString& text) {
  const QFontMetrics metrics = box->fontMetrics();
  const int room = TextRoom(box);
  const bool fits = metrics.horizontalAdvance(text) <= room;
  box->setText(fits ? text : metrics.elidedText(text, Qt::ElideRight, room));
  box->setToolTip(fits ? QString() : text);
  box->setCursorPosition(0);
}

TChoiceBox::TChoiceBox(QWidget* parent) : QComboBox(parent) {
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QComboBox::currentIndexChanged, this, [this] {
    const bool fits = fontMetrics().horizontalAdvance(currentText()) <= ItemRoom();
    setToolTip(fits ? QString() : currentText());
  });
}

void TChoiceBox::showPopup() {
  int widest = 0;
  for (int i = 0; i < count(); ++i) widest = std::max(widest, view()->fontMetrics().horizontalAdvance(itemText(i)));
  constexpr int kItemPadding = 24;  // the item's margins and a scroll bar's worth
  view()->setMinimumWidth(std::max(width(), widest + kItemPadding));
  QComboBox::showPopup();
}

int TChoiceBox::ItemRoom() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  constexpr int kLabelMargin = 2;  // the style's label keeps a pixel or two from the field's edge
  return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width() -
         kLabelMargin;
}

void TChoiceBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, ItemRoom());
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void TChoiceBox::keyPressEvent(QKeyEvent* event) {
  const bool alt = event->modifiers() & Qt::AltModifier;
  const bool opensList = event->key() == Qt::Key_Space || event->key() == Qt::Key_F4 ||
                         (alt && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up));
  if (opensList) {
    showPopup();
    return;
  }
  // Left to the window: moving the focus, shortcuts.
  event->ignore();
}

void TChoiceBox::wheelEvent(QWheelEvent* event) { event->ignore(); }
