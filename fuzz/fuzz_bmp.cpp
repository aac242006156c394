// libFuzzer target: the BMP decoder on arbitrary bytes.
#include <cstdlib>

#include "image/image.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  bBatchMode = 2;  // the decoder's messages would drown the fuzzer's own output
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (RGBImage* image = DecodeDIBImage(data, size)) {
    volatile uint8_t sink = image->data[3 * static_cast<size_t>(image->width) * image->height - 1];
    (void)sink;
    std::free(image->data);
    std::free(image);
  }
  return 0;
}
