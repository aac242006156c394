// The face grid build over a 1,000,000-face terrain, and one ground-following call against a scan of all faces.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "config/config.h"
#include "physics/physics.h"

// A 708 × 708 vertex grid of rolling ground (999,698 faces) as the first terrain mesh.
static void MakeTerrain() {
  if (!LocationModel.empty()) return;
  static std::vector<CVertex3> vertices;
  static std::vector<CVertex2> coords;
  static std::vector<CFace> faces;
  const int n = 708;
  vertices.assign(1, CVertex3{0, 0, 0});
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      vertices.push_back({x * 0.75f, y * 0.75f, 10 * std::sin(x * 0.05f) + 8 * std::cos(y * 0.07f)});
  coords.assign(vertices.size(), CVertex2{0, 0});
  for (int y = 0; y + 1 < n; ++y)
    for (int x = 0; x + 1 < n; ++x) {
      const int a = y * n + x + 1, b = a + 1, c = a + n, d = c + 1;
      faces.push_back({{a, b, d}});
      faces.push_back({{a, d, c}});
    }
  LocationModel.push_back({static_cast<int32_t>(vertices.size() - 1), vertices.data(), static_cast<int32_t>(coords.size() - 1),
                           coords.data(), static_cast<int32_t>(faces.size()), faces.data()});
  minX = minY = 0;
  maxX = maxY = (n - 1) * 0.75f;
  GridDivisions = 200;
  GroundClearance = 5;
  MoveStep = 1;
}

static void BuildGrid(benchmark::State& state) {
  MakeTerrain();
  for (auto _ : state) funEquationLinePolygon();
  state.counters["faces"] = LocationModel[0].CountFace;
}

static void FollowGroundCall(benchmark::State& state) {
  MakeTerrain();
  funEquationLinePolygon();
  float x = 10;
  for (auto _ : state) {
    Glader = {x, 200.3f, 50};
    FollowGround();
    x = x > 500 ? 10 : x + 0.37f;
  }
  benchmark::DoNotOptimize(Glader.z);
}

// The same question answered without the grid: every face's inside test, as a lookup would be without it.
static void ScanAllFaces(benchmark::State& state) {
  MakeTerrain();
  funEquationLinePolygon();
  const CModel& terrain = LocationModel[0];
  for (auto _ : state) {
    const double x = 200.1, y = 200.3;
    int found = -1;
    for (int32_t f = 0; f < terrain.CountFace; ++f) {
      const CFace& face = terrain.Face[f];
      const CVertex3& a = terrain.Vertices[face.Index[0]];
      const CVertex3& b = terrain.Vertices[face.Index[1]];
      const CVertex3& c = terrain.Vertices[face.Index[2]];
      const double d1 = (x - b.x) * (a.y - b.y) - (a.x - b.x) * (y - b.y);
      const double d2 = (x - c.x) * (b.y - c.y) - (b.x - c.x) * (y - c.y);
      const double d3 = (x - a.x) * (c.y - a.y) - (c.x - a.x) * (y - a.y);
      if ((d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0)) found = f;
    }
    benchmark::DoNotOptimize(found);
  }
}

BENCHMARK(BuildGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(FollowGroundCall)->Unit(benchmark::kNanosecond);
BENCHMARK(ScanAllFaces)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
