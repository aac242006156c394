// Writing meshes in the loader's fixed-column layout and textures as BMP files.
#include "tools/mesh_writer.h"

#include <charconv>
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

std::string FloatText(float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

namespace {

void Append(std::string* out, float value) {
  char text[64];
  out->append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
}

void Append(std::string* out, int value) {
  char text[16];
  out->append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

std::string MeshText(const MeshBuilder& mesh) {
  std::string out;
  out.reserve(mesh.vertices.size() * 64 + mesh.faces.size() * 48);
  for (const CVertex3& v : mesh.vertices) {
    out += "v  ";
    Append(&out, v.x);
    out += ' ';
    Append(&out, v.y);
    out += ' ';
    Append(&out, v.z);
    out += '\n';
  }
  for (const CVertex2& t : mesh.coords) {
    out += "vt  ";
    Append(&out, t.x);
    out += ' ';
    Append(&out, t.y);
    out += " 0\n";
  }
  for (const CFace& face : mesh.faces) {
    out += 'f';
    for (int32_t index : face.Index)
      for (int k = 0; k < 3; ++k) {
        out += k ? '/' : ' ';
        Append(&out, index);
      }
    out += '\n';
  }
  return out;
}

bool WriteMesh(const std::string& fileName, const MeshBuilder& mesh) {
  MakeParentFolder(fileName);
  FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
    return false;
  }
  const std::string text = MeshText(mesh);
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool ok = std::fclose(f) == 0 && written;
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
