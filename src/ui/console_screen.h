#pragma once
// The Telnet page's screen: a read-only list of lines that received text
// extends, and whose keys go to the device instead of the text. What it
// holds is bounded: the scrollback's lines, each at most kLongestLine.
#include <vector>

#include <QPlainTextEdit>

#include "console_text.h"

class TConsoleScreen : public QPlainTextEdit {
  Q_OBJECT
 public:
  // Characters of a line at most; the rest goes on in the next line.
  static constexpr qsizetype kLongestLine = 1024;

  explicit TConsoleScreen(QWidget* parent = nullptr);

  // The screen's lines; the last one is the current line.
  QStringList Lines() const;
  void ClearScreen();
  void AddLine(const QString& text);
  void AppendToCurrentLine(const QString& text);
  void DeleteLastCharacter();
  // Received text, laid out by its steps (a first empty line if there is none).
  void ShowReceived(const std::vector<qz::app::ScreenStep>& steps);

 signals:
  // A key produced this character (Enter gives 13).
  void characterTyped(char character);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  void KeepNewestLineInView();
  void FitColumns();

  static constexpr int kColumns = 80;
  // Lines of scrollback; older lines are dropped.
  static constexpr int kScrollbackLines = 10000;
  static constexpr int kLargestFontPixels = 15;
  static constexpr int kSmallestFontPixels = 8;

  bool hasLines_ = false;
};
