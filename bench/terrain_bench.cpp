// A 3601 x 3601 SRTM tile made into a 500,000-face terrain: the whole command, its stages, and peers.
#include <benchmark/benchmark.h>
#include <gdal_priv.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/scene/mesh_writer.h"
#include "tools/terrain/terrain_mesh.h"
#include "tools/terrain/terrain_source.h"

namespace {

const std::string kFolder = "/tmp/glide_bench_terrain";
const std::string kTile = kFolder + "/N44E007.hgt";
constexpr int kSide = 3601;

// Ridges and valleys in big-endian 16-bit samples, written once and reused.
void WriteTile() {
  std::error_code error;
  if (std::filesystem::file_size(kTile, error) == 2ull * kSide * kSide) return;
  std::filesystem::create_directories(kFolder);
  std::string bytes;
  bytes.reserve(2ull * kSide * kSide);
  for (int row = 0; row < kSide; ++row)
    for (int column = 0; column < kSide; ++column) {
      const double u = column / 400.0, v = row / 330.0;
      const int h = static_cast<int>(900 + 600 * std::sin(u) * std::cos(v) + 250 * std::sin(3.1 * u + 1.7 * v) +
                                     80 * std::cos(11 * u - 7 * v));
      bytes += static_cast<char>((h >> 8) & 0xFF);
      bytes += static_cast<char>(h & 0xFF);
    }
  std::FILE* f = std::fopen(kTile.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// glide-scene terrain as a user runs it, files written and synced included.
void WholeCommand(benchmark::State& state) {
  WriteTile();
  const std::string scene = kFolder + "/scene";
  const std::string tool = GLIDE_SCENE_PATH;
  if (std::system((tool + " new " + scene + " --force >/dev/null").c_str()) != 0) state.SkipWithError("new failed");
  for (auto _ : state)
    if (std::system((tool + " terrain " + scene + " " + kTile + " >/dev/null").c_str()) != 0)
      state.SkipWithError("terrain failed");
}
BENCHMARK(WholeCommand)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The heights read as the command reads them: GDAL averages the tile down to 2048 a side while reading.
void ReadAveraged(benchmark::State& state) {
  WriteTile();
  for (auto _ : state) benchmark::DoNotOptimize(ReadHeights(kTile, 2048).z.data());
}
BENCHMARK(ReadAveraged)->Unit(benchmark::kMillisecond);

// Peer: the whole tile read at full size with a plain RasterIO.
void ReadWhole(benchmark::State& state) {
  WriteTile();
  GDALAllRegister();
  std::vector<float> z(static_cast<size_t>(kSide) * kSide);
  for (auto _ : state) {
    std::unique_ptr<GDALDataset> dataset(GDALDataset::Open(kTile.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (dataset->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, kSide, kSide, z.data(), kSide, kSide, GDT_Float32, 0, 0,
                                            nullptr) != CE_None)
      state.SkipWithError("read failed");
    benchmark::DoNotOptimize(z.data());
  }
}
BENCHMARK(ReadWhole)->Unit(benchmark::kMillisecond);

const HeightGrid& Heights() {
  WriteTile();
  static const HeightGrid grid = ReadHeights(kTile, 2048);
  return grid;
}

void BuildMesh(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BuildTerrain(Heights(), 1000, 1, 500000, 6, 35, kTile).mesh.faces.data());
}
BENCHMARK(BuildMesh)->Unit(benchmark::kMillisecond);

void ShadeTexture(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ShadedTexture(Heights(), 1, 2048, 2048).data());
}
BENCHMARK(ShadeTexture)->Unit(benchmark::kMillisecond);

// The mesh text with the shortest exact numbers.
void MeshTextOurs(benchmark::State& state) {
  const Terrain terrain = BuildTerrain(Heights(), 1000, 1, 500000, 6, 35, kTile);
  size_t bytes = 0;
  for (auto _ : state) bytes = MeshText(terrain.mesh).size();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(MeshTextOurs)->Unit(benchmark::kMillisecond);

// Peer: the same lines through snprintf with "%f", which also rounds them to six decimals.
void MeshTextPrintf(benchmark::State& state) {
  const Terrain terrain = BuildTerrain(Heights(), 1000, 1, 500000, 6, 35, kTile);
  size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    char line[128];
    for (const CVertex3& v : terrain.mesh.vertices)
      out.append(line, std::snprintf(line, sizeof line, "v  %f %f %f\n", v.x, v.y, v.z));
    for (const CVertex2& t : terrain.mesh.coords)
      out.append(line, std::snprintf(line, sizeof line, "vt  %f %f 0\n", t.x, t.y));
    for (const CFace& f : terrain.mesh.faces)
      out.append(line, std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", f.Index[0], f.Index[0],
                                     f.Index[0], f.Index[1], f.Index[1], f.Index[1], f.Index[2], f.Index[2], f.Index[2]));
    bytes = out.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(MeshTextPrintf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
