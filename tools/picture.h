// Pictures as the tools hold them, stb_image's reason for a refusal, and the size a PNG's header claims.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <stb/stb_image.h>

// Packed R, G, B rows; the function that makes one says which row comes first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// stb_image's reason for its last failure, in brackets, or nothing where it gave none.
inline std::string StbReason() {
  const char* reason = stbi_failure_reason();
  return reason && *reason ? std::string(" (") + reason + ")" : "";
}

// The size a PNG's header claims, read without decoding, for pictures too large for stb_image to look at.
struct PictureSize {
  uint32_t width;
  uint32_t height;
};

// The width and height of a PNG's header chunk, or nothing where the bytes do not start as a PNG's.
inline std::optional<PictureSize> PngHeaderSize(const unsigned char* bytes, size_t size) {
  static const unsigned char kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  if (size < 24 || std::memcmp(bytes, kStart, sizeof kStart) != 0) return std::nullopt;
  const auto big = [bytes](size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
  };
  return PictureSize{big(16), big(20)};
}

inline std::optional<PictureSize> PngHeaderSize(const std::string& file) {
  unsigned char bytes[24];
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return std::nullopt;
  const size_t got = std::fread(bytes, 1, sizeof bytes, f);
  std::fclose(f);
  return PngHeaderSize(bytes, got);
}
