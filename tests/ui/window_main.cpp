// The main of the window tests: the program's application object, offscreen.
#include <cstdlib>

#include <gtest/gtest.h>

#include "application.h"
#include "process_hooks.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  const qz::app::TProcessHooks hooks;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
