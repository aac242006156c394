// libFuzzer target: the link-file reader on arbitrary text.
#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ClearLinks();
  ReadLinkText(reinterpret_cast<const char*>(data), size);
  for (const std::vector<CLinkInfo>* list : {&LocationLinks, &HorizonLinks, &ObjectsLinks})
    for (const CLinkInfo& entry : *list)
      if (entry.CountPosition < 1 || entry.CountPosition > 10 || entry.NameModel[sizeof entry.NameModel - 1] != '\0')
        __builtin_trap();
  if (CountLocationLinks != static_cast<int>(LocationLinks.size())) __builtin_trap();
  return 0;
}
