// Writing meshes in the loader's fixed-column layout and textures as BMP files.
#include "tools/mesh_writer.h"

#include <cstdio>
#include <filesystem>

#include "image/image.h"

int MeshBuilder::AddVertex(float x, float y, float z, float s, float t) {
  vertices.push_back({x, y, z});
  coords.push_back({s, t});
  return static_cast<int>(vertices.size());
}

void MeshBuilder::AddTriangle(int a, int b, int c) { faces.push_back({{a, b, c}}); }

void MeshBuilder::AddQuad(int a, int b, int c, int d) {
  AddTriangle(a, b, c);
  AddTriangle(a, c, d);
}

static void MakeParentFolder(const std::string& fileName) {
  const std::filesystem::path parent = std::filesystem::path(fileName).parent_path();
  std::error_code error;
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
}

bool WriteMesh(const std::string& fileName, const MeshBuilder& mesh) {
  MakeParentFolder(fileName);
  FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
    return false;
  }
  for (const CVertex3& v : mesh.vertices) std::fprintf(f, "v  %.4f %.4f %.4f\n", v.x, v.y, v.z);
  for (const CVertex2& t : mesh.coords) std::fprintf(f, "vt  %.5f %.5f 0\n", t.x, t.y);
  for (const CFace& face : mesh.faces)
    std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", face.Index[0], face.Index[0], face.Index[0], face.Index[1],
                 face.Index[1], face.Index[1], face.Index[2], face.Index[2], face.Index[2]);
  const bool ok = std::fclose(f) == 0;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
  return ok;
}

bool WriteTexture(const std::string& fileName, int width, int height, const std::vector<uint8_t>& rgb) {
  MakeParentFolder(fileName);
  RGBImage image{width, height, const_cast<uint8_t*>(rgb.data())};
  if (SaveDIBImage(fileName.c_str(), &image)) return true;
  std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
  return false;
}
