#include "layout_scale.h"

#include <algorithm>

#include <QFontMetricsF>

namespace qz::app {
namespace {

// Captions of the window, and how wide they are in the font of the layout.
const char* const kProbe = "sysLocation Read community Firmware vers. Measured values";
constexpr double kProbeWidthAsLaidOut = 373;

}  // namespace

double LayoutScale(const QFont& font) {
  return std::max(1.0, QFontMetricsF(font).horizontalAdvance(kProbe) / kProbeWidthAsLaidOut);
}

}  // namespace qz::app
