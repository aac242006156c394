// libFuzzer target: a height grid of arbitrary heights and cell sizes through the terrain's checks, mesh,
// start placement, texture and settings.
#include <cmath>
#include <cstring>

#include "tools/scene/cli.h"
#include "tools/terrain/terrain_mesh.h"
#include "tools/terrain/terrain_source.h"

namespace {

// Input: width and height (2..64), cell sizes along X and Y as two doubles, a byte each for the size,
// the exaggeration and the face budget, then the heights as floats row by row (0 where the input ends).
constexpr size_t kHeader = 2 + 16 + 3;

template <typename T>
T Take(const uint8_t* data, size_t size, size_t at) {
  T value{};
  if (at + sizeof value <= size) std::memcpy(&value, data + at, sizeof value);
  return value;
}

bool Finite(double v) { return std::fabs(v) <= kMostUnits; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  HeightGrid grid;
  grid.width = 2 + data[0] % 63;
  grid.height = 2 + data[1] % 63;
  grid.cellX = Take<double>(data, size, 2);
  grid.cellY = Take<double>(data, size, 10);
  const double across = 100 * std::pow(1000.0, data[18] / 255.0);
  const double exaggerate = 0.01 * std::pow(1e5, data[19] / 255.0);
  const int64_t faces = 2 + static_cast<int64_t>(data[20]) * 200;
  grid.z.resize(static_cast<size_t>(grid.width) * grid.height);
  for (size_t k = 0; k < grid.z.size(); ++k) grid.z[k] = Take<float>(data, size, kHeader + 4 * k);

  const Settings settings = FitSettings(Settings{}, across);
  if (!(settings.moveStep > 0 && settings.groundClearance > 0 && settings.cameraDistance > 0 &&
        std::isfinite(settings.moveStep) && std::isfinite(settings.groundClearance) &&
        std::isfinite(settings.cameraDistance)))
    __builtin_trap();
  Terrain terrain;
  try {
    CheckHeights(grid, "fuzz", grid.width, grid.height);
    terrain = BuildTerrain(grid, across, exaggerate, faces, settings.groundClearance, settings.cameraDistance, "fuzz");
  } catch (const ToolError&) {
    return 0;
  }
  if (terrain.layout.Faces() > faces || static_cast<int64_t>(terrain.mesh.faces.size()) != terrain.layout.Faces())
    __builtin_trap();
  for (const CVertex3& v : terrain.mesh.vertices)
    if (!WithinReach(v)) __builtin_trap();
  if (!(terrain.lowest <= terrain.highest && Finite(terrain.offsetX) && Finite(terrain.offsetY) &&
        std::isfinite(terrain.offsetZ)))
    __builtin_trap();
  // The glider starts a clearance or more above the ground, up to single-precision rounding of the heights.
  const double ground = terrain.HeightAt(0, 0);
  const double rounding = 1e-5 * (std::fabs(terrain.lowest) + std::fabs(terrain.highest)) + 1e-3;
  if (!(ground <= -settings.groundClearance + rounding)) __builtin_trap();
  if (ShadedTexture(grid, exaggerate, 16, 8).size() != 16 * 8 * 3) __builtin_trap();
  return 0;
}
