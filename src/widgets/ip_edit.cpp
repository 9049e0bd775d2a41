#include "ip_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>

#include "exception_report.h"
#include "text.h"

int OctetOfPiece(const QString& piece) {
  int i = 0;
  while (i < piece.size() && piece[i] == ' ') ++i;
  int sign = 1;
  if (i < piece.size() && (piece[i] == '-' || piece[i] == '+')) {
    if (piece[i] == '-') sign = -1;
    ++i;
  }
  int remainder = 0;
  for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i)
    remainder = (remainder * 10 + (piece[i].unicode() - '0')) % 256;
  return sign * remainder;
}

TIPByteEdit::TIPByteEdit(TIPEdit* editor, int index)
    : QLineEdit(editor), editor_(editor), index_(index) {
  setFrame(false);
  setText("0");
  setAlignment(Qt::AlignCenter);
  setMaxLength(3);
  setObjectName(QString("octet%1").arg(index));
}

void TIPByteEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    editor_->Paste(index_, QGuiApplication::clipboard()->text());
    return;
  }
  const QString text = event->text();
  // Ctrl+A, Ctrl+C and the like are the line edit's, not characters to refuse.
  const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) ||
                       (!text.isEmpty() && !text[0].isPrint());
  const bool typesCharacter = !command && !text.isEmpty() && event->key() != Qt::Key_Backspace &&
                              event->key() != Qt::Key_Delete && event->key() != Qt::Key_Tab &&
                              event->key() != Qt::Key_Backtab;
  if (!typesCharacter) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  const QChar c = text[0];
  if (text.size() == 1 && c >= '0' && c <= '9') {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (text == ".") editor_->DotTyped(index_);
  event->accept();
}

void TIPByteEdit::focusOutEvent(QFocusEvent* event) {
  qz::Guarded(this, [&] { setText(QString::number(qz::StrToInt(text().toStdString()) % 256)); });
  QLineEdit::focusOutEvent(event);
}

void TIPByteEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (rect().contains(event->position().toPoint())) editor_->FieldClicked();
}

void TIPByteEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  QLineEdit::mouseDoubleClickEvent(event);
  emit editor_->doubleClicked();
}

TIPEdit::TIPEdit(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  for (int i = 0; i < 4; ++i) {
    auto* field = new TIPByteEdit(this, i);
    connect(field, &QLineEdit::textChanged, this, &TIPEdit::changed);
    fields_[static_cast<size_t>(i)] = field;
    auto* dot = new QLabel(i < 3 ? "." : "", this);
    dot->setAlignment(Qt::AlignCenter);
    dot->adjustSize();
    dot->installEventFilter(this);
    dot->setVisible(i < 3);
    dots_[static_cast<size_t>(i)] = dot;
  }
  resize(122, 21);
  connect(qApp, &QApplication::focusChanged, this, &TIPEdit::FocusChanged);
}

QString TIPEdit::Text() const {
  QStringList octets;
  for (auto* field : fields_) octets << field->text();
  return octets.join('.');
}

void TIPEdit::SetText(const QString& text) {
  QString rest = text.trimmed() + ".";
  for (auto* field : fields_) {
    const auto dot = rest.indexOf('.');
    if (dot < 0) break;
    field->setText(QString::number(OctetOfPiece(rest.left(dot))));
    rest.remove(0, dot + 1);
  }
}

uint32_t TIPEdit::Value() const {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(qz::StrToInt(fields_[static_cast<size_t>(i)]->text().toStdString()))
             << (8 * (3 - i));
  return value;
}

void TIPEdit::SetValue(uint32_t value) {
  for (int i = 3; i >= 0; --i) {
    fields_[static_cast<size_t>(i)]->setText(QString::number(value & 0xFF));
    value >>= 8;
  }
}

void TIPEdit::SetEnabled(bool enabled) {
  enabledFlag_ = enabled;
  setEnabled(enabled);
  for (auto* field : fields_) field->setEnabled(enabled);
  for (auto* dot : dots_) dot->setEnabled(enabled);
}

void TIPEdit::DotTyped(int index) {
  if (index >= 3) return;
  dotJumpMark_ = true;
  fields_[static_cast<size_t>(index + 1)]->setFocus(Qt::TabFocusReason);
}

void TIPEdit::FieldClicked() {
  if (dotJumpMark_) {
    dotJumpMark_ = false;
    return;
  }
  emit clicked();
}

bool TIPEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) emit clicked();
  if (event->type() == QEvent::MouseButtonDblClick) emit doubleClicked();
  return QFrame::eventFilter(watched, event);
}

bool TIPEdit::Contains(const QWidget* widget) const { return widget && (widget == this || isAncestorOf(widget)); }

void TIPEdit::FocusChanged(QWidget* old, QWidget* now) {
  const bool wasInside = Contains(old);
  const bool isInside = Contains(now);
  if (isInside && !wasInside) {
    if (now == this) fields_[0]->setFocus();
    emit entered();
  } else if (wasInside && !isInside) {
    emit exited();
  }
}

void TIPEdit::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  RunLayout();
}

void TIPEdit::RunLayout() {
  const int border = width() - contentsRect().width();
  const QFontMetrics metrics(dots_[0]->font());
  const int w3 = metrics.horizontalAdvance("000");
  const int h = metrics.height();
  const int d = dots_[0]->width();
  const int octetWidth = std::max((width() - border - 3 * d) / 4, w3);
  if (h + border > height()) {
    resize(width(), h + border);
    return;
  }
  if (4 * octetWidth + 3 * d + border > width()) {
    resize(4 * octetWidth + 3 * d + border, height());
    return;
  }
  const QRect inner = contentsRect();
  const int top = inner.top() + (inner.height() - h) / 2;
  for (int i = 0; i < 4; ++i) {
    const int left = inner.left() + i * (d + octetWidth);
    fields_[static_cast<size_t>(i)]->setGeometry(left, top, octetWidth, h);
    dots_[static_cast<size_t>(i)]->setGeometry(left + octetWidth, top, d, h);
  }
}

void TIPEdit::Paste(int index, const QString& text) {
  const QString trimmed = text.trimmed();
  if (qz::IsIPv4Text(trimmed.toStdString(), true)) {
    SetText(trimmed);
    fields_[3]->setFocus();
    fields_[3]->end(false);
    return;
  }
  // Anything else gives its digits to the octet, as typing them would.
  QString digits;
  for (const QChar c : trimmed)
    if (c >= '0' && c <= '9') digits += c;
  fields_[static_cast<size_t>(index)]->insert(digits);
}
