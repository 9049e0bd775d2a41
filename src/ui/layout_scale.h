#pragma once
// The window's pixel measures were laid out for a 9-point DejaVu Sans; with
// a larger font they grow in proportion, so that the arrangement stays and no
// caption, value or list entry is cut. A smaller font keeps them as laid out.
#include <QFont>

namespace qz::app {

double LayoutScale(const QFont& font);

inline int Scaled(int pixels, double scale) { return static_cast<int>(pixels * scale + 0.5); }

}  // namespace qz::app
