// libFuzzer target: a picture's header weighed against its length, and decoded pixels made into the sky's
// texture, which the program's own BMP decoder must read back at the same size.
#include <algorithm>
#include <cstdlib>

#include "image/image.h"
#include "platform/platform.h"
#include "tools/scene/cli.h"
#include "tools/scene/picture.h"
#include "tools/scene/scene_files.h"
#include "tools/terrain/terrain_source.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  bBatchMode = 2;
  return 0;
}

// Input: the first bytes of a picture file, whose claim is checked as if the file were as long as the input;
// the same bytes then stand for decoded pixels, width and height from the first two bytes (1..64 each), the
// panorama's largest side from the third.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const std::optional<PictureClaim> claim = ClaimOf(data, size, size)) {
    try {
      CheckClaim(*claim, "fuzz");
    } catch (const ToolError&) {
    }
  }
  if (size < 3) return 0;
  const int width = 1 + data[0] % 64, height = 1 + data[1] % 64, mostSide = 1 << (data[2] % 12);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  std::copy_n(data, std::min(size, rgb.size()), rgb.begin());
  const Picture sky = TexturePicture(rgb.data(), width, height, mostSide, "fuzz");
  if (sky.width > mostSide || sky.height > mostSide || sky.rgb.size() != size_t{3} * sky.width * sky.height)
    std::abort();
  const std::string bytes = TextureBytes(sky.width, sky.height, sky.rgb);
  RGBImage* image = DecodeDIBImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!image || image->width != sky.width || image->height != sky.height ||
      !std::equal(sky.rgb.begin(), sky.rgb.end(), image->data))
    std::abort();
  std::free(image->data);
  std::free(image);
  return 0;
}
