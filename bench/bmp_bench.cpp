// Decoding speed of our BMP loader against stb_image on a 4096² 24-bit and a 2048² 8-bit picture.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <stb_image.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/image.h"

static void PutLE(std::vector<uint8_t>& file, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) file[at + i] = uint8_t(value >> (8 * i));
}

// A complete BMP with file header; 8-bit pictures carry a 256-entry grey ramp.
static std::vector<uint8_t> MakeBMP(int side, int bits) {
  const size_t row = (size_t(side) * bits / 8 + 3) & ~size_t{3};
  const size_t table = bits == 8 ? 1024 : 0;
  const size_t offset = 54 + table;
  std::vector<uint8_t> file(offset + row * side);
  file[0] = 'B';
  file[1] = 'M';
  PutLE(file, 2, uint32_t(file.size()), 4);
  PutLE(file, 10, uint32_t(offset), 4);
  PutLE(file, 14, 40, 4);
  PutLE(file, 18, side, 4);
  PutLE(file, 22, side, 4);
  PutLE(file, 26, 1, 2);
  PutLE(file, 28, bits, 2);
  for (size_t i = 0; i < table; i += 4) file[54 + i] = file[55 + i] = file[56 + i] = uint8_t(i / 4);
  uint32_t seed = 12345;
  for (size_t i = offset; i < file.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    file[i] = uint8_t(seed >> 24);
  }
  return file;
}

static void DecodeOurs(benchmark::State& state, int side, int bits) {
  const std::vector<uint8_t> file = MakeBMP(side, bits);
  for (auto _ : state) {
    RGBImage* image = DecodeDIBImage(file.data(), file.size());
    benchmark::DoNotOptimize(image->data);
    std::free(image->data);
    std::free(image);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * side * side * 3);
}

static void DecodeStb(benchmark::State& state, int side, int bits) {
  const std::vector<uint8_t> file = MakeBMP(side, bits);
  for (auto _ : state) {
    int w, h, n;
    stbi_uc* pixels = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 3);
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * side * side * 3);
}

BENCHMARK_CAPTURE(DecodeOurs, rgb24_4096, 4096, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeStb, rgb24_4096, 4096, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeOurs, pal8_2048, 2048, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeStb, pal8_2048, 2048, 8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
