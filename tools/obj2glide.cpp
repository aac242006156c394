// Converts a standard OBJ (one blank after 'v', shared 'vt' numbers, polygons) into the loader's layout.
#include <tiny_obj_loader.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "tools/mesh_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: obj2glide INPUT.obj OUTPUT.obj\n"
                 "  triangulates INPUT and writes one texture coordinate per vertex, as the demo reads them\n");
    return 2;
  }
  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warn, err;
  const std::string input = argv[1];
  const std::string folder = input.find('/') == std::string::npos ? "" : input.substr(0, input.rfind('/') + 1);
  if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, argv[1], folder.c_str(), true)) {
    std::fprintf(stderr, "obj2glide: cannot read %s: %s\n", argv[1], err.empty() ? "not an OBJ file" : err.c_str());
    return 1;
  }
  MeshBuilder mesh;
  // Each distinct (position, texture coordinate) pair becomes one vertex of the output.
  std::map<std::pair<int, int>, int> numbers;
  for (const tinyobj::shape_t& shape : shapes) {
    const std::vector<tinyobj::index_t>& corners = shape.mesh.indices;
    for (size_t i = 0; i + 2 < corners.size(); i += 3) {
      int face[3];
      for (int k = 0; k < 3; ++k) {
        const tinyobj::index_t& c = corners[i + k];
        const auto key = std::make_pair(c.vertex_index, c.texcoord_index);
        auto found = numbers.find(key);
        if (found == numbers.end()) {
          const float* p = &attrib.vertices[3 * static_cast<size_t>(c.vertex_index)];
          const bool textured = c.texcoord_index >= 0;
          const float* t = textured ? &attrib.texcoords[2 * static_cast<size_t>(c.texcoord_index)] : nullptr;
          found = numbers.emplace(key, mesh.AddVertex(p[0], p[1], p[2], t ? t[0] : 0, t ? t[1] : 0)).first;
        }
        face[k] = found->second;
      }
      mesh.AddTriangle(face[0], face[1], face[2]);
    }
  }
  if (mesh.faces.empty()) {
    std::fprintf(stderr, "obj2glide: %s holds no faces\n", argv[1]);
    return 1;
  }
  if (!warn.empty()) std::fprintf(stderr, "obj2glide: %s", warn.c_str());
  return WriteMesh(argv[2], mesh) ? 0 : 1;
}
