#include <gtest/gtest.h>

#include "led.h"

namespace {
const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
}  // namespace

TEST(Led, CreatedByCodeIsAnUnlitRedSquare) {
  TLed led;
  EXPECT_EQ(led.size(), QSize(16, 16));
  EXPECT_FALSE(led.LedOn());
  EXPECT_EQ(led.BrushColor(), kRed);
  EXPECT_EQ(led.OnColor(), kLime);
  EXPECT_EQ(led.PenWidth(), 2);
}

TEST(Led, BrushFollowsStateAndColours) {
  TLed led;
  led.SetOnColor(kBlue);
  EXPECT_EQ(led.BrushColor(), kRed);
  led.SetLedOn(true);
  EXPECT_EQ(led.BrushColor(), kBlue);
  led.SetOffColor(kLime);
  EXPECT_EQ(led.BrushColor(), kBlue);
  led.SetLedOn(false);
  EXPECT_EQ(led.BrushColor(), kLime);
}

TEST(StatusLed, ShowsEachStatus) {
  TStatusLed led;
  EXPECT_EQ(led.size(), QSize(14, 10));
  EXPECT_TRUE(led.LedOn());
  EXPECT_EQ(led.BrushColor(), kLime);
  const std::pair<unsigned char, QColor> steps[] = {
      {1, kRed}, {2, TStatusLed::kUnknownColor}, {0, kLime}, {3, kLime}, {1, kRed}, {255, kRed}};
  for (const auto& [status, colour] : steps) {
    led.SetStatus(status);
    EXPECT_EQ(led.BrushColor(), colour) << int(status);
  }
}

TEST(Led, PaintsOutlineAndBrush) {
  TLed led;
  led.SetPenWidth(1);
  led.resize(8, 8);
  led.SetOffColor(ButtonFaceColor());
  const QImage image = led.grab().toImage();
  EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::black));
  EXPECT_EQ(QColor(image.pixel(4, 4)), ButtonFaceColor());
}
