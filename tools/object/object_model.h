// A model file read through assimp into the scene's frame: one list of triangles, each corner with its colour.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/scene/picture.h"

struct aiScene;

struct Vec3 {
  float x, y, z;
};

// One corner: its place, its smooth normal, where it lies on its material's pictures, and the colour that
// multiplies the picture (for a material without one, the whole colour) before the sun, each channel 0..1.
struct Corner {
  Vec3 position;
  Vec3 normal;
  float u, v;  // v = 0 at the picture's bottom
  Vec3 colour;
};

// How a material shows beyond its corners' colours: its picture, the light it gives off itself (the
// emissive colour times its own picture, added unshaded), and whether the sun shades it at all.
struct Look {
  int picture = -1;  // into ImportedModel::pictures, -1 for none
  Vec3 glow{0, 0, 0};
  int glowPicture = -1;
  bool lit = true;
};

struct Triangle {
  Corner corners[3];
  int look;  // into ImportedModel::looks
};

struct ImportedModel {
  std::vector<Picture> pictures;  // the materials' pictures, top row first
  std::vector<Look> looks;
  std::vector<Triangle> triangles;
  size_t sourceFaces = 0;  // before simplification
};

enum class UpAxis { kFromFile, kY, kZ };

// Reads every mesh of the file with its node transforms applied and turns it Z-up: the up axis the file
// records where it has one, Y otherwise, or the one given. With targetFaces above 0, larger models are
// simplified towards that many triangles. Throws ToolError for files it cannot use; warnings (a missing
// texture picture, a material without a colour, a simplification that stopped short) are printed as they arise.
ImportedModel ReadModel(const std::string& file, UpAxis up, size_t targetFaces);

// The part of ReadModel after assimp: a scene whose meshes are triangulated, validated and pre-transformed
// becomes the model. Pictures the materials name are looked for beside `file`.
ImportedModel ModelFromScene(const aiScene& scene, const std::string& file, UpAxis up, size_t targetFaces);

// Scales the model so that its longest side is `size` (0 keeps the file's units, with a warning for odd
// sizes) and moves it so that the centre of the bottom of its bounding box is the origin.
void PutOnOrigin(ImportedModel* model, double size, const std::string& file);
