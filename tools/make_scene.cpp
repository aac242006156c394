// Generates the bundled scene: settings, link file, rolling hills, sky dome, placed objects and the glider.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mesh_writer.h"

namespace {

constexpr int kGrid = 225;          // vertices along each side: 224² quads, 100,352 triangles
constexpr float kSpacing = 2.0f;    // metres between grid lines: 448 m across
constexpr float kExtent = (kGrid - 1) * kSpacing;
constexpr double kPi = 3.14159265358979323846;

float Height(float x, float y) {
  const double u = x / kExtent, v = y / kExtent;
  return static_cast<float>(14 + 9 * std::sin(u * 2 * kPi * 1.5) * std::cos(v * 2 * kPi * 1.2) +
                            5 * std::sin(u * 2 * kPi * 3.7 + 1.3) * std::sin(v * 2 * kPi * 2.9 + 0.4) +
                            2 * std::cos((u + v) * 2 * kPi * 6.1));
}

// A small deterministic hash in 0..1, for texture grain.
float Grain(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

uint8_t Channel(double value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

bool WriteTerrain() {
  MeshBuilder mesh;
  for (int j = 0; j < kGrid; ++j)
    for (int i = 0; i < kGrid; ++i) {
      const float x = i * kSpacing, y = j * kSpacing;
      mesh.AddVertex(x, y, Height(x, y), static_cast<float>(i) / (kGrid - 1), static_cast<float>(j) / (kGrid - 1));
    }
  for (int j = 0; j + 1 < kGrid; ++j)
    for (int i = 0; i + 1 < kGrid; ++i) {
      const int a = j * kGrid + i + 1;
      mesh.AddQuad(a, a + 1, a + 1 + kGrid, a + kGrid);
    }
  // Grass that browns on the heights, with a fine grain and a few field strips.
  const int side = 512;
  std::vector<uint8_t> rgb;
  for (int t = 0; t < side; ++t)
    for (int s = 0; s < side; ++s) {
      const float h = Height(s * kExtent / side, t * kExtent / side);
      const double high = (h - 5) / 25.0, grain = Grain(s, t) * 0.25 + 0.85;
      const bool strip = ((s / 48 + t / 64) % 5) == 0;
      rgb.push_back(Channel((70 + 90 * high + (strip ? 30 : 0)) * grain));
      rgb.push_back(Channel((140 + 30 * high - (strip ? 10 : 0)) * grain));
      rgb.push_back(Channel((40 + 20 * high) * grain));
    }
  return WriteMesh("Location/hills.obj", mesh) && WriteTexture("Location/hills.bmp", side, side, rgb);
}

// A dome around the viewer, inside out, blue above and pale at the horizon.
bool WriteSky() {
  MeshBuilder mesh;
  const int rings = 12, segments = 32;
  const float radius = 900;
  for (int r = 0; r <= rings; ++r) {
    const double lat = -0.25 * kPi + r * (0.75 * kPi) / rings;
    for (int s = 0; s <= segments; ++s) {
      const double lon = s * 2 * kPi / segments;
      mesh.AddVertex(static_cast<float>(radius * std::cos(lat) * std::cos(lon)),
                     static_cast<float>(radius * std::cos(lat) * std::sin(lon)),
                     static_cast<float>(radius * std::sin(lat)), static_cast<float>(s) / segments,
                     static_cast<float>(r) / rings);
    }
  }
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const int a = r * (segments + 1) + s + 1;
      mesh.AddQuad(a, a + 1, a + 2 + segments, a + 1 + segments);
    }
  const int width = 8, height = 256;
  std::vector<uint8_t> rgb;
  for (int t = 0; t < height; ++t) {
    // Latitude of the row in degrees; pale haze low down, deepening blue upward. The chase camera looks
    // down at the glider, so the visible sky lies mostly just below the dome's own horizon.
    const double latitude = -45 + 135 * (t / (height - 1.0));
    const double k = std::pow(std::clamp((latitude + 30) / 75, 0.0, 1.0), 0.7);
    for (int s = 0; s < width; ++s) {
      rgb.push_back(Channel(215 - 150 * k));
      rgb.push_back(Channel(230 - 95 * k));
      rgb.push_back(Channel(245 - 25 * k));
    }
  }
  return WriteMesh("Horizon/sky.obj", mesh) && WriteTexture("Horizon/sky.bmp", width, height, rgb);
}

// A square tower that narrows to a point, standing on its base at the origin.
bool WriteTower() {
  MeshBuilder mesh;
  const float half = 3, top = 4, height = 28;
  const float base[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
  for (int k = 0; k < 4; ++k) {
    const int n = (k + 1) % 4;
    const int a = mesh.AddVertex(base[k][0], base[k][1], 0, 0, 0);
    mesh.AddVertex(base[n][0], base[n][1], 0, 1, 0);
    mesh.AddVertex(base[n][0] * top / half / 3, base[n][1] * top / half / 3, height, 1, 0.85f);
    mesh.AddVertex(base[k][0] * top / half / 3, base[k][1] * top / half / 3, height, 0, 0.85f);
    mesh.AddQuad(a, a + 1, a + 2, a + 3);
    const int tip = mesh.AddVertex(0, 0, height + 6, 0.5f, 1);
    const int c0 = mesh.AddVertex(base[k][0] * top / half / 3, base[k][1] * top / half / 3, height, 0, 0.9f);
    const int c1 = mesh.AddVertex(base[n][0] * top / half / 3, base[n][1] * top / half / 3, height, 1, 0.9f);
    mesh.AddTriangle(c0, c1, tip);
  }
  const int side = 64;
  std::vector<uint8_t> rgb;
  for (int t = 0; t < side; ++t)
    for (int s = 0; s < side; ++s) {
      const bool roof = t > side * 0.86;
      const bool band = (t / 8) % 2 == 0;
      const double g = Grain(s + 900, t) * 0.2 + 0.85;
      rgb.push_back(Channel((roof ? 170 : band ? 225 : 200) * g));
      rgb.push_back(Channel((roof ? 50 : band ? 215 : 80) * g));
      rgb.push_back(Channel((roof ? 40 : band ? 200 : 60) * g));
    }
  return WriteMesh("Objects/tower.obj", mesh) && WriteTexture("Objects/tower.bmp", side, side, rgb);
}

// A glider facing +X: long wings along Y, a slim fuselage and a tail with fin.
bool WriteGlider() {
  MeshBuilder mesh;
  auto quad = [&](const float c[4][3], float s0, float s1) {
    const int a = mesh.AddVertex(c[0][0], c[0][1], c[0][2], s0, 0.1f);
    mesh.AddVertex(c[1][0], c[1][1], c[1][2], s1, 0.1f);
    mesh.AddVertex(c[2][0], c[2][1], c[2][2], s1, 0.9f);
    mesh.AddVertex(c[3][0], c[3][1], c[3][2], s0, 0.9f);
    mesh.AddQuad(a, a + 1, a + 2, a + 3);
  };
  const float wing[4][3] = {{1.2f, -9, 0.4f}, {1.2f, 9, 0.4f}, {-0.6f, 9, 0.5f}, {-0.6f, -9, 0.5f}};
  const float bodyTop[4][3] = {{4, 0, 0.3f}, {4, 0, 0.3f}, {-6, 0.25f, 0.5f}, {-6, -0.25f, 0.5f}};
  const float bodyLeft[4][3] = {{4, 0, 0.3f}, {-6, -0.25f, 0.5f}, {-6, -0.2f, -0.1f}, {4, 0, -0.2f}};
  const float bodyRight[4][3] = {{4, 0, 0.3f}, {-6, 0.25f, 0.5f}, {-6, 0.2f, -0.1f}, {4, 0, -0.2f}};
  const float tail[4][3] = {{-5.2f, -2.5f, 0.5f}, {-5.2f, 2.5f, 0.5f}, {-6.2f, 2.5f, 0.5f}, {-6.2f, -2.5f, 0.5f}};
  const float fin[4][3] = {{-5, 0, 0.5f}, {-6.2f, 0, 0.5f}, {-6.4f, 0, 2.2f}, {-5.8f, 0, 2.2f}};
  quad(wing, 0.0f, 0.45f);
  quad(bodyTop, 0.55f, 1.0f);
  quad(bodyLeft, 0.55f, 1.0f);
  quad(bodyRight, 0.55f, 1.0f);
  quad(tail, 0.0f, 0.45f);
  quad(fin, 0.55f, 1.0f);
  const int side = 64;
  std::vector<uint8_t> rgb;
  for (int t = 0; t < side; ++t)
    for (int s = 0; s < side; ++s) {
      const bool wingSide = s < side / 2, tip = wingSide && (t < 10 || t > side - 10);
      rgb.push_back(tip ? 230 : wingSide ? 245 : 235);
      rgb.push_back(tip ? 90 : wingSide ? 245 : 120);
      rgb.push_back(tip ? 20 : wingSide ? 240 : 30);
    }
  return WriteMesh("Glader/glader01.obj", mesh) && WriteTexture("Glader/glader01.bmp", side, side, rgb);
}

bool WriteText(const std::string& fileName, const std::string& text) {
  FILE* f = std::fopen(fileName.c_str(), "wb");
  const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f && std::fclose(f) != 0) return false;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
  return ok;
}

bool WriteSettingsAndLinks() {
  std::string links = "# Location: the terrain\nLocation/hills\nrolling hills, 448 m across\n1\n0\n0\n0\n"
                      "# Horizon: the sky, placed at the eye\nHorizon/sky\nsky dome\n1\n0\n0\n0\n"
                      "# Objects\nObjects/tower\ntowers on the hills\n5\n";
  const float spots[5][2] = {{60, 80}, {150, 300}, {260, 120}, {330, 360}, {400, 60}};
  char line[64];
  for (const auto& spot : spots) {
    std::snprintf(line, sizeof line, "%g\n%g\n%.2f\n", spot[0], spot[1], Height(spot[0], spot[1]) - 0.5f);
    links += line;
  }
  // Log level, link file, move and turn steps, clearance, camera distance and lag steps, grid divisions.
  return WriteText("dbIlm/setting.ini", "1\ndbIlm/scene.txt\n0.6\n0.03\n6\n35\n0.01\n0.004\n100\n") &&
         WriteText("dbIlm/scene.txt", links);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_scene FOLDER\n  writes the bundled scene's files into FOLDER\n");
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(std::string(argv[1]) + "/dbIlm", error);
  std::filesystem::current_path(argv[1], error);
  if (error) {
    std::fprintf(stderr, "make_scene: cannot use folder %s\n", argv[1]);
    return 1;
  }
  const bool ok = WriteSettingsAndLinks() && WriteTerrain() && WriteSky() && WriteTower() && WriteGlider();
  return ok ? 0 : 1;
}
