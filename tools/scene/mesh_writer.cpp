// Mesh building and the text of the loader's fixed-column layout.
#include "tools/scene/mesh_writer.h"

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
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
}

std::string MeshText(const MeshBuilder& mesh) {
  std::string out;
  out.reserve(mesh.vertices.size() * 64 + mesh.faces.size() * 48);
  // "v  x y z" and "vt  s t 0": a tag, then the values each after a blank.
  const auto line = [&out](const char* tag, std::initializer_list<float> values, const char* end) {
    out += tag;
    for (float value : values) out += ' ' + FloatText(value);
    out += end;
  };
  for (const CVertex3& v : mesh.vertices) line("v ", {v.x, v.y, v.z}, "\n");
  for (const CVertex2& t : mesh.coords) line("vt ", {t.x, t.y}, " 0\n");
  char number[16];
  for (const CFace& face : mesh.faces) {
    out += 'f';
    for (int32_t index : face.Index)
      for (int k = 0; k < 3; ++k) {
        out += k ? '/' : ' ';
        out.append(number, std::to_chars(number, number + sizeof number, index).ptr);
      }
    out += '\n';
  }
  return out;
}
