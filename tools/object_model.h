// A model file read through assimp into the scene's frame: one list of triangles, each corner with its colour.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/picture.h"

struct Vec3 {
  float x, y, z;
};


// One corner: its place, its smooth normal, where it lies on its material's picture, and the colour that
// multiplies the picture (for a material without one, the whole colour), each channel 0..1.
struct Corner {
  Vec3 position;
  Vec3 normal;
  float u, v;  // v = 0 at the picture's bottom
  Vec3 colour;
};

struct Triangle {
  Corner corners[3];
  int picture;  // into ImportedModel::pictures, -1 for none
};

struct ImportedModel {
  std::vector<Picture> pictures;  // the materials' pictures, top row first
  std::vector<Triangle> triangles;
  size_t sourceFaces = 0;  // before simplification
};

enum class UpAxis { kFromFile, kY, kZ };

// Reads every mesh of the file with its node transforms applied and turns it Z-up: the up axis the file
// records where it has one, Y otherwise, or the one given. With targetFaces above 0, larger models are
// simplified towards that many triangles. Throws ToolError for files it cannot use; warnings (a missing
// texture picture, a simplification that stopped short) are printed as they arise.
ImportedModel ReadModel(const std::string& file, UpAxis up, size_t targetFaces);
