// Loading a generated 1,000,000-face terrain in the loader's layout: our reader against tinyobjloader.
#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "scene/scene.h"

static const char* const kTerrain = "/tmp/glide_bench_terrain.obj";
static size_t terrainBytes;

// A 708 × 708 vertex grid: 999,698 triangles, one 'vt' per vertex, written once and reused.
static void WriteTerrain() {
  if (FILE* f = std::fopen(kTerrain, "rb")) {
    std::fseek(f, 0, SEEK_END);
    terrainBytes = static_cast<size_t>(std::ftell(f));
    std::fclose(f);
    if (terrainBytes > 0) return;
  }
  const int n = 708;
  FILE* f = std::fopen(kTerrain, "wb");
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      std::fprintf(f, "v  %f %f %f\n", x * 0.75, y * 0.75, 20.0 * (x % 37) / 37.0 + 15.0 * (y % 23) / 23.0);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) std::fprintf(f, "vt  %f %f 0\n", x / (n - 1.0), y / (n - 1.0));
  for (int y = 0; y + 1 < n; ++y)
    for (int x = 0; x + 1 < n; ++x) {
      const int a = y * n + x + 1, b = a + 1, c = a + n, d = c + 1;
      std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, d, d, d);
      std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, c, c, c);
    }
  terrainBytes = static_cast<size_t>(std::ftell(f));
  std::fclose(f);
}

// Peak resident memory since the last reset, in MiB.
static void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
static double PeakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

static void FreeModel() {
  std::free(Model.Vertices);
  std::free(Model.CoordText);
  std::free(Model.Face);
}

// LoadModel as the game calls it: the file mapped and read in one piece per core.
static void LoadOurs(benchmark::State& state) {
  WriteTerrain();
  ResetPeakMemory();
  std::snprintf(LoadFileName, sizeof LoadFileName, "%s", kTerrain);
  NamSectionModel = 1;
  CountLocationFiles = 1;
  for (auto _ : state) {
    LoadModel();
    benchmark::DoNotOptimize(LocationModel.back().Face);
    state.PauseTiming();
    if (Model.CountFace != 999698) state.SkipWithError("wrong face count");
    FreeModel();
    LocationModel.clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * terrainBytes));
  state.counters["peak_MiB"] = PeakMemoryMiB();
}

// The reading alone in range(0) pieces, the file mapped once outside the loop.
static void ReadOurs(benchmark::State& state) {
  WriteTerrain();
  size_t size = 0;
  const uint8_t* view = MapFile(kTerrain, &size);
  CountLocationFiles = 1;
  for (auto _ : state) {
    ReadModelText(reinterpret_cast<const char*>(view), size, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(Model.Face);
    state.PauseTiming();
    if (Model.CountFace != 999698) state.SkipWithError("wrong face count");
    FreeModel();
    state.ResumeTiming();
  }
  UnmapFile(view, size);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * terrainBytes));
}

static void LoadTinyObj(benchmark::State& state) {
  WriteTerrain();
  ResetPeakMemory();
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, kTerrain, nullptr, true))
      state.SkipWithError("tinyobjloader failed");
    benchmark::DoNotOptimize(shapes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * terrainBytes));
  state.counters["peak_MiB"] = PeakMemoryMiB();
}

BENCHMARK(LoadOurs)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(ReadOurs)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(LoadTinyObj)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

BENCHMARK_MAIN();
