// The game window with its GL context, opened in the test process, and the small scene the window tests fly.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
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

// A quad as two faces in the loader's layout, corners counter-clockwise seen from its front.
inline std::string Quad(const float c[4][3]) {
  std::string text;
  char line[128];
  for (int i = 0; i < 4; ++i) {
    std::snprintf(line, sizeof line, "v  %g %g %g\n", c[i][0], c[i][1], c[i][2]);
    text += line;
  }
  for (int i = 0; i < 4; ++i) text += "vt  0.5 0.5 0\n";
  return text + "f 1/1/1 2/2/2 3/3/3\nf 1/1/1 3/3/3 4/4/4\n";
}

// Green ground (0 160 0) that fills the lower view, a red glider, a magenta sky panel ahead of the eye.
inline void WriteSmallScene() {
  WriteFile("dbIlm/setting.ini", "0\nlink.txt\n1\n0.05\n5\n40\n0.05\n0.02\n10\n");
  WriteFile("link.txt", "#Location\nground\nt\n1\n0\n0\n0\n#Horizon\nsky\nt\n1\n0\n0\n0\n#Objects\n");
  const float ground[4][3] = {{-300, -300, 0}, {300, -300, 0}, {300, 300, 0}, {-300, 300, 0}};
  const float sky[4][3] = {{150, -40, 1}, {150, 40, 1}, {150, 40, 12}, {150, -40, 12}};
  WriteFile("ground.obj", Quad(ground));
  WriteFile("sky.obj", Quad(sky));
  WriteFile("Glader/glader01.obj", "v  6 0 0\nv  -4 -5 0\nv  -4 5 0\nvt  0 0 0\nvt  0 0 0\nvt  0 0 0\nf 1/1/1 2/2/2 3/3/3\n");
  WriteSolidTexture("ground.bmp", 8, 0, 160, 0);
  WriteSolidTexture("sky.bmp", 8, 255, 0, 255);
  WriteSolidTexture("Glader/glader01.bmp", 8, 220, 0, 0);
}
