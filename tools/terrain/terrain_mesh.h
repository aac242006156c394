// A height grid made into the terrain glide flies: its grid of quads, mesh, texture and fitted settings.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/scene/scene_files.h"
#include "tools/terrain/terrain_source.h"

// The terrain's quads and the face grid over them. Ground following only finds a face from a cell that
// holds one of its corners, so the cell borders fall on vertex lines: each cell holds perCellX x perCellY
// quads, and spacings that are multiples of a power of two make every coordinate and every cell border exact
// in single precision. A cell then receives 6 filings for each quad whose lower-left corner it holds.
struct TerrainLayout {
  int divisions = 1;
  int perCellX = 1, perCellY = 1;
  int quadsX = 1, quadsY = 1;
  double spacingX = 1, spacingY = 1;  // world units between vertex lines

  int64_t Faces() const { return 2LL * quadsX * quadsY; }
};

constexpr int kMostCellEntries = 254;

// The layout with the most faces up to maxFaces, not finer than the grid's samples, whose quads come closest
// to the grid's proportions, for a terrain of the given size in world units along X and Y.
TerrainLayout ChooseLayout(const HeightGrid& grid, double unitsX, double unitsY, int64_t maxFaces);

struct Terrain {
  TerrainLayout layout;
  MeshBuilder mesh;         // vertices row by row from the south-west corner, centred on offsetX, offsetY
  double unitsPerMetre = 1; // world units per metre across; heights are exaggerated on top of it
  float lowest = 0, highest = 0;
  // Where the start put the terrain: its centre at offsetX, offsetY (whole vertex spacings), its heights
  // offsetZ from those of the grid times unitsPerMetre and exaggerate.
  double offsetX = 0, offsetY = 0, offsetZ = 0;

  // The height of the mesh at (x, y) as its two triangles per quad interpolate it.
  float HeightAt(float x, float y) const;
};

// The chase camera's eye stands this far above its place behind the glider.
constexpr double kEyeLift = 15;
// What glide-scene lets a terrain's coordinates reach, in units: further out single precision cannot tell
// neighbouring vertices apart, and ground following's plane products overflow soon after.
constexpr double kMostUnits = 1e8;
// A point whose coordinates are all numbers within kMostUnits.
inline bool WithinReach(const CVertex3& p) {
  return std::fabs(p.x) <= kMostUnits && std::fabs(p.y) <= kMostUnits && std::fabs(p.z) <= kMostUnits;
}

// The terrain of the grid, `size` units across its longer side, heights times exaggerate, moved so that the
// glider's start at the origin lies at least `clearance` above the ground, and the sight line from the chase
// camera's first eye (cameraDistance behind along -X, kEyeLift up) to the glider at least `clearance` above
// it too: its own centre when that serves, else the nearest vertex within a tenth of the size that does,
// else lowered further. Throws ToolError (naming input) when a coordinate would not be finite or reach
// beyond kMostUnits.
Terrain BuildTerrain(const HeightGrid& grid, double size, double exaggerate, int64_t maxFaces, double clearance,
                     double cameraDistance, const std::string& input);

// A texture of the grid, width x height pixels, rows from the south: colour by height, shaded by a fixed sun
// in the north-west so that the relief reads without lighting.
std::vector<uint8_t> ShadedTexture(const HeightGrid& grid, double exaggerate, int width, int height);

// Settings that fit a terrain `across` units wide: crossed in about 90 s at 60 frames a second, clearance and
// camera distance in proportion; the other values stay as they were.
Settings FitSettings(Settings settings, double across);
