// A model's look baked into the single texture the loader allows, with the sun in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/object/object_model.h"
#include "tools/scene/mesh_writer.h"

// The direction towards the fixed sun: from the south-west (-X, -Y), high in the sky.
inline constexpr Vec3 kSun{-0.485071f, -0.485071f, 0.727607f};

// How lit a surface with this normal is under the sun: 1 facing it, an ambient floor of 0.35 turned away.
float SunLight(Vec3 normal);

struct BakedModel {
  MeshBuilder mesh;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // first row at the bottom
  int patch = 0;             // texels on a side of each triangle's patch; 0 where the model keeps its own UVs
};

// The colour of a surface point: its picture sampled at the corners' coordinates (repeating beyond 0..1)
// times the corners' colours, times the sun over the smooth normals unless its material is unlit, plus the
// material's own light; all interpolated across each triangle.
//
// A model whose triangles all show one picture through coordinates that stay within it and do not overlap
// keeps them: the texture is that picture at its own size (at least kLeastOwnSide a side, for the sun's
// detail), with the sun baked into every texel. Any other model gets a patch of texels for every triangle,
// each with its own vertices, in a power-of-two texture sized to the detail its pictures hold. Throws
// ToolError when the triangles do not fit.
BakedModel Bake(const ImportedModel& model, const std::string& file);

inline constexpr int kLeastOwnSide = 256;
