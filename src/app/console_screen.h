#pragma once
// The Telnet page's screen: a read-only list of lines that received text
// extends, and whose keys go to the device instead of the text.
#include <QPlainTextEdit>

class TConsoleScreen : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TConsoleScreen(QWidget* parent = nullptr);

  // The screen's lines; the last one is the current line.
  QStringList Lines() const;
  int LineCount() const;
  void ClearScreen();
  void AddLine(const QString& text);
  void AppendToCurrentLine(const QString& text);
  void DeleteLastCharacter();

 signals:
  // A key produced this character (Enter gives 13).
  void characterTyped(char character);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  void KeepNewestLineInView();

  bool hasLines_ = false;
};
