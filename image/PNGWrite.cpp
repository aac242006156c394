// The PNG writer of screenshots: uncompressed deflate blocks, which every reader accepts.
#include <cstdio>
#include <vector>

#include "image/image.h"

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static uint32_t table[256];
  if (!table[1])
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBE(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>* out, const char type[5], const std::vector<uint8_t>& body) {
  PutBE(out, static_cast<uint32_t>(body.size()));
  const size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), body.begin(), body.end());
  PutBE(out, Crc32(out->data() + start, out->size() - start));
}

}  // namespace

bool SavePNGImage(const char* fileName, const RGBImage* image) {
  if (!fileName || !image || !image->data || image->width <= 0 || image->height <= 0 ||
      static_cast<uint64_t>(image->width) * static_cast<uint64_t>(image->height) > MaxImagePixels)
    return false;
  const size_t row = static_cast<size_t>(image->width) * 3;
  // Filter byte 0 and the row; rows go top first, while the picture holds its bottom row first.
  std::vector<uint8_t> raw;
  raw.reserve((row + 1) * static_cast<size_t>(image->height));
  for (int32_t y = image->height - 1; y >= 0; --y) {
    raw.push_back(0);
    const uint8_t* src = image->data + row * static_cast<size_t>(y);
    raw.insert(raw.end(), src, src + row);
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    zlib.push_back(at + n == raw.size() ? 1 : 0);
    zlib.insert(zlib.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(~n),
                             static_cast<uint8_t>(~n >> 8)});
    zlib.insert(zlib.end(), raw.begin() + static_cast<ptrdiff_t>(at), raw.begin() + static_cast<ptrdiff_t>(at + n));
    for (size_t i = at; i < at + n; ++i) {
      a = (a + raw[i]) % 65521;
      b = (b + a) % 65521;
    }
  }
  PutBE(&zlib, (b << 16) | a);
  std::vector<uint8_t> header;
  PutBE(&header, static_cast<uint32_t>(image->width));
  PutBE(&header, static_cast<uint32_t>(image->height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(&out, "IHDR", header);
  PutChunk(&out, "IDAT", zlib);
  PutChunk(&out, "IEND", {});
  FILE* f = std::fopen(fileName, "wb");
  if (!f) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && written;
}
