// Converts a grayscale BMP heightmap into a terrain mesh in the loader's layout and a shaded texture.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/image.h"
#include "platform/platform.h"
#include "tools/mesh_writer.h"

static int Usage() {
  std::fprintf(stderr,
               "usage: heightmap2obj HEIGHTMAP.bmp OUTPUT [SPACING] [HEIGHT]\n"
               "  writes OUTPUT.obj (one vertex per pixel, SPACING metres apart, default 2) and OUTPUT.bmp;\n"
               "  black is height 0, white is HEIGHT metres (default 30). Link the terrain as OUTPUT.\n");
  return 2;
}

static bool ReadNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return *text && !*end && std::isfinite(*value) && *value > 0 && *value < 1e6;
}

int main(int argc, char** argv) {
  double spacing = 2, height = 30;
  if (argc < 3 || argc > 5 || (argc > 3 && !ReadNumber(argv[3], &spacing)) ||
      (argc > 4 && !ReadNumber(argv[4], &height)))
    return Usage();
  bBatchMode = 1;
  RGBImage* map = LoadDIBImage(argv[1]);
  if (!map) return 1;
  const int w = map->width, h = map->height;
  if (w < 2 || h < 2 || static_cast<int64_t>(w) * h > 4000000) {
    std::fprintf(stderr, "heightmap2obj: %s is %dx%d; it needs at least 2 x 2 and at most 4,000,000 pixels\n",
                 argv[1], w, h);
    return 1;
  }
  auto level = [&](int x, int y) {
    const uint8_t* p = map->data + (static_cast<size_t>(y) * w + x) * 3;
    return (p[0] * 0.299 + p[1] * 0.587 + p[2] * 0.114) / 255.0;
  };
  MeshBuilder mesh;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      mesh.AddVertex(static_cast<float>(x * spacing), static_cast<float>(y * spacing),
                     static_cast<float>(level(x, y) * height), static_cast<float>(x) / (w - 1),
                     static_cast<float>(y) / (h - 1));
  for (int y = 0; y + 1 < h; ++y)
    for (int x = 0; x + 1 < w; ++x) {
      const int a = y * w + x + 1;
      mesh.AddQuad(a, a + 1, a + 1 + w, a + w);
    }
  // A power-of-two texture (at most 1024 a side), green low, brown and white high, sampled from the map.
  int side = 1;
  while (side < std::max(w, h) && side < 1024) side *= 2;
  std::vector<uint8_t> rgb;
  for (int t = 0; t < side; ++t)
    for (int s = 0; s < side; ++s) {
      const double k = level(s * (w - 1) / std::max(side - 1, 1), t * (h - 1) / std::max(side - 1, 1));
      rgb.push_back(static_cast<uint8_t>(60 + 150 * k));
      rgb.push_back(static_cast<uint8_t>(140 + 60 * k * k));
      rgb.push_back(static_cast<uint8_t>(40 + 200 * k * k * k));
    }
  const std::string base = argv[2];
  return WriteMesh(base + ".obj", mesh) && WriteTexture(base + ".bmp", side, side, rgb) ? 0 : 1;
}
