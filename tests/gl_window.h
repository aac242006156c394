// The game window with its GL context, opened in the test process, and solid-colour textures for scenes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "image/image.h"
#include "support.h"

// Opens the window once for a suite; messages go to stderr. Its start-up log lands in a throw-away folder.
inline void OpenTestWindow() {
  bBatchMode = 1;
  ScratchDir start;
  HWND window = CreateMyWindow("Game", 800, 600, nullptr);
  ASSERT_NE(window, nullptr);
  Init(window);
}

inline void WriteSolidTexture(const std::string& name, int side, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < side * side; ++i) pixels.insert(pixels.end(), {r, g, b});
  RGBImage image{side, side, pixels.data()};
  ASSERT_TRUE(SaveDIBImage(name.c_str(), &image));
}
