// libFuzzer target: the mesh reader on arbitrary text; every face must index inside both arrays.
#include <cstdlib>

#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountLocationFiles = size % 2;
  ReadModelText(reinterpret_cast<const char*>(data), size);
  volatile float sink = 0;
  for (int32_t i = 0; i < Model.CountFace; ++i)
    for (int32_t index : Model.Face[i].Index) sink = sink + Model.Vertices[index].x + Model.CoordText[index].y;
  std::free(Model.Vertices);
  std::free(Model.CoordText);
  std::free(Model.Face);
  return 0;
}
