// Mesh building and the text of the loader's fixed-column layout.
#include "tools/mesh_writer.h"

#include <charconv>

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
