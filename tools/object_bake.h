// A model's look baked into the single texture the loader allows: a patch of texels for every triangle.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/mesh_writer.h"
#include "tools/object_model.h"

// The direction towards the fixed sun: from the south-west (-X, -Y), high in the sky.
inline constexpr Vec3 kSun{-0.485071f, -0.485071f, 0.727607f};

// How lit a surface with this normal is under the sun: 1 facing it, an ambient floor of 0.35 turned away.
float SunLight(Vec3 normal);

struct BakedModel {
  MeshBuilder mesh;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // first row at the bottom
  int patch = 0;             // texels on a side of each triangle's patch
};

// Every triangle gets its own vertices and its own square patch of a power-of-two texture: its picture
// sampled at the corners' coordinates (repeating beyond 0..1), times the corners' colours, times the sun
// over the smooth normals, all interpolated across the patch. Throws ToolError when the triangles do not fit.
BakedModel Bake(const ImportedModel& model, const std::string& file);
