#pragma once
// Boxes too narrow for some of what they show: they show the start of the
// text (a sign or leading digits are never the part that is hidden), an
// ellipsis where the text is cut, and the whole text as tooltip.
#include <QComboBox>
#include <QString>

class QLineEdit;

// Puts text into a read-only box so that its start shows.
void ShowWholeText(QLineEdit* box, const QString& text);

// A drop-down list whose closed box elides the chosen item and whose list
// opens wide enough for the longest item.
class TChoiceBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TChoiceBox(QWidget* parent = nullptr);
  void showPopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // A choice is made only in the opened list (a click, or Enter there): on
  // the closed box, keys other than those that open the list and move the
  // focus, and the wheel, change nothing.
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int ItemRoom() const;
};
