#include "console_screen.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

namespace {
const QKeySequence kCopyKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
const QKeySequence kSelectAllKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_A);
}  // namespace

TConsoleScreen::TConsoleScreen(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A device's 80-column screens keep their shape: lines never wrap, and the
  // font is chosen so that 80 columns fit the console's width.
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setFocusPolicy(Qt::StrongFocus);
  // A console is not edited: no undo history, and only the newest lines
  // are kept, so that memory stays flat however long the session.
  document()->setUndoRedoEnabled(false);
  setMaximumBlockCount(kScrollbackLines);
  FitColumns();
}

void TConsoleScreen::FitColumns() {
  QFont font("Monospace");
  font.setStyleHint(QFont::TypeWriter);
  const int room = viewport()->width() - 2 * static_cast<int>(document()->documentMargin()) - 2;
  for (int pixels = kLargestFontPixels; pixels >= kSmallestFontPixels; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetrics(font).horizontalAdvance(QString(kColumns, QChar('0'))) <= room) break;
  }
  if (font != this->font()) setFont(font);
}

void TConsoleScreen::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  FitColumns();
}

void TConsoleScreen::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyAction = menu.addAction("&Copy", this, &QPlainTextEdit::copy);
  copyAction->setShortcut(kCopyKeys);
  copyAction->setEnabled(textCursor().hasSelection());
  menu.addAction("Select &All", this, &QPlainTextEdit::selectAll)->setShortcut(kSelectAllKeys);
  menu.exec(event->globalPos());
}

QStringList TConsoleScreen::Lines() const {
  if (!hasLines_) return {};
  return toPlainText().split('\n');
}

void TConsoleScreen::ClearScreen() {
  clear();
  hasLines_ = false;
}

void TConsoleScreen::AddLine(const QString& text) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (hasLines_) cursor.insertBlock();
  hasLines_ = true;
  cursor.insertText(text);
  KeepNewestLineInView();
}

void TConsoleScreen::AppendToCurrentLine(const QString& text) {
  if (!hasLines_) {
    AddLine(text);
    return;
  }
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  KeepNewestLineInView();
}

void TConsoleScreen::DeleteLastCharacter() {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (cursor.positionInBlock() == 0) return;
  cursor.deletePreviousChar();
}

void TConsoleScreen::ShowReceived(const std::vector<qz::app::ScreenStep>& steps) {
  // The steps are applied to the current line and the lines after it as
  // text first, then written as one edit that replaces the current line:
  // one layout and one scroll for a whole block, however many lines it has.
  QString current = hasLines_ ? document()->lastBlock().text() : QString();
  QString lines;
  int completed = 0;
  for (const auto& step : steps) {
    switch (step.What) {
      case qz::app::ScreenStep::Append: {
        // A line longer than the bound goes on in the next one, so that no
        // piece's work grows with the line (a peer that never ends its lines).
        const QString text = QString::fromLatin1(step.Text.data(), static_cast<qsizetype>(step.Text.size()));
        qsizetype at = 0;
        while (current.size() + (text.size() - at) > kLongestLine) {
          const qsizetype taken = std::max<qsizetype>(0, kLongestLine - current.size());
          lines += current;
          lines += QStringView(text).mid(at, taken);
          lines += QChar('\n');
          current.clear();
          at += taken;
          ++completed;
        }
        current += QStringView(text).mid(at);
        break;
      }
      case qz::app::ScreenStep::EraseLastCharacter:
        current.chop(1);
        break;
      case qz::app::ScreenStep::NewLine:
        lines += current;
        lines += QChar('\n');
        current.clear();
        ++completed;
        break;
    }
  }
  QTextCursor cursor(document());
  if (completed >= kScrollbackLines) {
    // A flood longer than the scrollback: only its newest lines would stay,
    // so only they are laid out, in place of everything before.
    // The newline that ends the last line to drop: kScrollbackLines - 1
    // completed lines and the current line remain.
    qsizetype end = lines.size() - 1;
    for (int kept = 0; kept < kScrollbackLines - 1 && end >= 0; ++kept) end = lines.lastIndexOf(QChar('\n'), end - 1);
    lines.remove(0, end + 1);
    cursor.select(QTextCursor::Document);
  } else {
    cursor.movePosition(QTextCursor::End);
    if (hasLines_) cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
  }
  cursor.insertText(lines + current);
  hasLines_ = true;
  KeepNewestLineInView();
}

void TConsoleScreen::KeepNewestLineInView() {
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TConsoleScreen::keyPressEvent(QKeyEvent* event) {
  // Copy and Select All take Shift beside Ctrl, as in terminal programs:
  // Ctrl+C and Ctrl+A are characters the device must get.
  const QKeySequence pressed(event->keyCombination());
  if (pressed == kCopyKeys) {
    copy();
    event->accept();
    return;
  }
  if (pressed == kSelectAllKeys) {
    selectAll();
    event->accept();
    return;
  }
  // Keys neither move the caret nor edit the screen; the characters they
  // produce go to the device, which echoes what it wants shown.
  const QString text = event->text();
  const bool controlLetter = event->modifiers() == Qt::ControlModifier && event->key() >= Qt::Key_A &&
                             event->key() <= Qt::Key_Z;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    emit characterTyped('\r');
  else if (controlLetter)  // not every platform puts the control character into the text
    emit characterTyped(static_cast<char>(event->key() - Qt::Key_A + 1));
  else if (text.size() == 1 && text[0].unicode() < 256)
    emit characterTyped(static_cast<char>(text[0].unicode()));
  event->accept();
}

void TConsoleScreen::inputMethodEvent(QInputMethodEvent* event) { event->accept(); }
