// Writing an RGB picture as a 24-bit BMP file.
#include <cstdio>
#include <vector>

#include "image/image.h"

static void PutLE(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> EncodeDIBImage(const RGBImage* image) {
  if (!image || !image->data || image->width <= 0 || image->height <= 0 ||
      static_cast<uint64_t>(image->width) * static_cast<uint64_t>(image->height) > MaxImagePixels)
    return {};
  const uint32_t width = static_cast<uint32_t>(image->width), height = static_cast<uint32_t>(image->height);
  const uint32_t stride = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> out;
  out.reserve(54 + static_cast<size_t>(stride) * height);
  out.push_back('B');
  out.push_back('M');
  PutLE(&out, 54 + stride * height, 4);
  PutLE(&out, 0, 4);
  PutLE(&out, 54, 4);
  PutLE(&out, 40, 4);
  PutLE(&out, width, 4);
  PutLE(&out, height, 4);
  PutLE(&out, 1, 2);
  PutLE(&out, 24, 2);
  PutLE(&out, 0, 4);
  PutLE(&out, stride * height, 4);
  PutLE(&out, 2835, 4);
  PutLE(&out, 2835, 4);
  PutLE(&out, 0, 4);
  PutLE(&out, 0, 4);
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* src = image->data + static_cast<size_t>(row) * width * 3;
    for (uint32_t x = 0; x < width; ++x) {
      out.push_back(src[3 * x + 2]);
      out.push_back(src[3 * x + 1]);
      out.push_back(src[3 * x]);
    }
    for (uint32_t pad = width * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

bool SaveDIBImage(const char* fileName, const RGBImage* image) {
  const std::vector<uint8_t> out = EncodeDIBImage(image);
  if (!fileName || out.empty()) return false;
  std::FILE* f = std::fopen(fileName, "wb");
  if (!f) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}
