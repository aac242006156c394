// libFuzzer target: the mesh reader on arbitrary text; every face must index inside both arrays, and a
// reading in pieces must give the same mesh and bounds as one reading from the top.
#include <cstdlib>
#include <cstring>

#include "scene/scene.h"

static bool SameBytes(const void* a, const void* b, size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountLocationFiles = 1;
  ReadModelText(reinterpret_cast<const char*>(data), size, 1);
  const CModel whole = Model;
  const float bounds[4] = {minX, maxX, minY, maxY};
  ReadModelText(reinterpret_cast<const char*>(data), size, 2 + static_cast<int>(size % 5));
  const float pieceBounds[4] = {minX, maxX, minY, maxY};
  if (whole.CountVertices != Model.CountVertices || whole.CountCoordText != Model.CountCoordText ||
      whole.CountFace != Model.CountFace || !SameBytes(bounds, pieceBounds, sizeof bounds) ||
      !SameBytes(whole.Vertices, Model.Vertices, (whole.CountVertices + size_t{1}) * sizeof(CVertex3)) ||
      !SameBytes(whole.CoordText, Model.CoordText, (whole.CountCoordText + size_t{1}) * sizeof(CVertex2)) ||
      !SameBytes(whole.Face, Model.Face, static_cast<size_t>(whole.CountFace) * sizeof(CFace)))
    std::abort();
  volatile float sink = 0;
  for (int32_t i = 0; i < Model.CountFace; ++i)
    for (int32_t index : Model.Face[i].Index) sink = sink + Model.Vertices[index].x + Model.CoordText[index].y;
  for (const CModel& m : {whole, Model}) {
    std::free(m.Vertices);
    std::free(m.CoordText);
    std::free(m.Face);
  }
  return 0;
}
