// A height grid made into the terrain glide flies: its grid of quads, mesh, texture and fitted settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/scene_files.h"
#include "tools/terrain_source.h"

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
  MeshBuilder mesh;         // vertices row by row from the south-west corner, centred on the origin
  double unitsPerMetre = 1; // world units per metre across; heights are exaggerated on top of it
  float lowest = 0, highest = 0;

  // The height of the mesh at (x, y) as its two triangles per quad interpolate it.
  float HeightAt(float x, float y) const;
};

// The terrain of the grid, `size` units across its longer side, heights times exaggerate, shifted so that
// the ground under the origin lies `clearance` below it.
Terrain BuildTerrain(const HeightGrid& grid, double size, double exaggerate, int64_t maxFaces, double clearance);

// A texture of the grid, width x height pixels, rows from the south: colour by height, shaded by a fixed sun
// in the north-west so that the relief reads without lighting.
std::vector<uint8_t> ShadedTexture(const HeightGrid& grid, double exaggerate, int width, int height);

// Settings that fit a terrain `across` units wide: crossed in about 90 s at 60 frames a second, clearance and
// camera distance in proportion; the other values stay as they were.
Settings FitSettings(Settings settings, double across);
