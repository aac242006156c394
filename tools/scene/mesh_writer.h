// Meshes in the loader's fixed-column layout, as glide-scene's commands build and write them.
#pragma once

#include <string>
#include <vector>

#include "scene/scene.h"

// A mesh being built: vertex k goes with texture coordinate k; faces hold 1-based vertex numbers.
struct MeshBuilder {
  std::vector<CVertex3> vertices;
  std::vector<CVertex2> coords;
  std::vector<CFace> faces;

  int AddVertex(float x, float y, float z, float s, float t);
  void AddTriangle(int a, int b, int c);
  void AddQuad(int a, int b, int c, int d);
};

// A float written with the fewest digits that read back as the same float, without an exponent.
std::string FloatText(float value);
// The mesh as "v  x y z", "vt  s t 0" and "f a/a/a b/b/b c/c/c" lines; every value reads back exactly.
std::string MeshText(const MeshBuilder& mesh);
