#pragma once
// The window's pixel measures were laid out for a 9-point DejaVu Sans; with
// a larger font they grow in proportion, so that the arrangement stays and no
// caption, value or list entry is cut. A smaller font keeps them as laid out.
// TLayout places the controls of the window and its pages at those measures.
#include <QFont>
#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace qz::app {

double LayoutScale(const QFont& font);

inline int Scaled(int pixels, double scale) { return static_cast<int>(pixels * scale + 0.5); }

class TLayout {
 public:
  // The scale of the window's font, measured once.
  explicit TLayout(const QFont& font) : scale_(LayoutScale(font)) {}

  // A measure as laid out, at the window's font.
  int S(int pixels) const { return Scaled(pixels, scale_); }

  // Names the widget and puts it at the measures as laid out; without a
  // width it takes its own size, without a height a box's 21 pixels.
  template <typename Widget>
  Widget* Place(Widget* widget, const char* name, int left, int top, int width = -1, int height = -1) const {
    widget->setObjectName(name);
    if (width < 0) widget->adjustSize();
    widget->setGeometry(S(left), S(top), width < 0 ? widget->width() : S(width), S(height < 0 ? 21 : height));
    return widget;
  }
  // A caption at its own size, at a place as laid out.
  QLabel* Label(QWidget* parent, const QString& caption, int left, int top) const;
  QLabel* LabelLeftOf(QWidget* control, const QString& text) const;
  QLabel* LabelAbove(QWidget* control, const QString& text) const;
  // A box to read (and copy from) takes no Tab stop: Tab goes from field to field.
  QLineEdit* Edit(QWidget* parent, const char* name, int left, int top, int width, bool readOnly = false) const;
  QGroupBox* Group(QWidget* parent, const char* name, const QString& title, int left, int top, int width, int height,
                   bool centred = false) const;
  void Separator(QWidget* parent, const char* name, int top) const;

 private:
  double scale_;
};

}  // namespace qz::app
