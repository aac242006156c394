// BMP images: the decoder that turns a file into packed RGB rows, and the writer of screenshots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture: 3 bytes (R, G, B) a pixel, rows of exactly 3 * width bytes, first stored row first.
struct RGBImage {
  int32_t width;
  int32_t height;
  uint8_t* data;
};

// Largest picture the decoder accepts, in pixels; larger ones end in "Out of memory.".
constexpr uint64_t MaxImagePixels = uint64_t{1} << 26;

RGBImage* LoadDIBImage(const char* fileName);
// Decodes a BMP held in memory; null after the failure's message box.
RGBImage* DecodeDIBImage(const uint8_t* file, size_t size);
// A bottom-up 24-bit BMP with a 40-byte header; empty for an image without pixels or past MaxImagePixels.
std::vector<uint8_t> EncodeDIBImage(const RGBImage* image);
// Writes EncodeDIBImage's bytes; false when the file cannot be written.
bool SaveDIBImage(const char* fileName, const RGBImage* image);
// Writes the picture as an 8-bit RGB PNG, top row first; false when the file cannot be written.
bool SavePNGImage(const char* fileName, const RGBImage* image);
