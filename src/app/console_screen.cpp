#include "console_screen.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

TConsoleScreen::TConsoleScreen(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setFocusPolicy(Qt::StrongFocus);
  QFont font("Monospace");
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(15);
  setFont(font);
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
  if (!hasLines_) AddLine({});
  for (const auto& step : steps) {
    switch (step.What) {
      case qz::app::ScreenStep::Append:
        AppendToCurrentLine(QString::fromLatin1(step.Text.data(), static_cast<qsizetype>(step.Text.size())));
        break;
      case qz::app::ScreenStep::EraseLastCharacter: DeleteLastCharacter(); break;
      case qz::app::ScreenStep::NewLine: AddLine({}); break;
    }
  }
}

void TConsoleScreen::KeepNewestLineInView() {
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TConsoleScreen::keyPressEvent(QKeyEvent* event) {
  // Keys neither move the caret nor edit the screen; the characters they
  // produce go to the device, which echoes what it wants shown.
  const QString text = event->text();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    emit characterTyped('\r');
  else if (text.size() == 1 && text[0].unicode() < 256)
    emit characterTyped(static_cast<char>(text[0].unicode()));
  event->accept();
}

void TConsoleScreen::inputMethodEvent(QInputMethodEvent* event) { event->accept(); }
