// Frame time of a 200,000-triangle terrain with sky and glider in the real window (run under xvfb-run).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "app/app.h"
#include "config/config.h"
#include "physics/physics.h"
#include "render/render.h"

static bool OpenScene() {
  static bool open = false;
  if (open) return true;
  if (!std::getenv("DISPLAY")) return false;
  bBatchMode = 1;
  TuneAllocator();
  HWND window = CreateMyWindow("Game", 800, 600, nullptr);
  if (!window) return false;
  Init(window);
  static std::vector<CVertex3> vertices{{0, 0, 0}};
  static std::vector<CVertex2> coords{{0, 0}};
  static std::vector<CFace> faces;
  const int n = 317;  // 316² quads, 199,712 triangles
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      vertices.push_back({x * 1.5f - 237, y * 1.5f - 237, 6 * std::sin(x * 0.1f) * std::cos(y * 0.08f)});
      coords.push_back({x / (n - 1.0f), y / (n - 1.0f)});
    }
  for (int y = 0; y + 1 < n; ++y)
    for (int x = 0; x + 1 < n; ++x) {
      const int a = y * n + x + 1, b = a + 1, c = a + n, d = c + 1;
      faces.push_back({{a, b, d}});
      faces.push_back({{a, d, c}});
    }
  const CModel terrain{static_cast<int32_t>(vertices.size() - 1), vertices.data(), static_cast<int32_t>(coords.size() - 1),
                       coords.data(), static_cast<int32_t>(faces.size()), faces.data()};
  CLinkInfo entry{};
  entry.CountPosition = 1;
  LocationLinks = {entry};
  CountLocationLinks = 1;
  LocationModel = {terrain};
  LocationTexture = {0};
  GladerModel = {terrain};
  GladerModel[0].CountFace = 1;
  GladerTexture = {0};
  bLoaded = 1;
  minX = minY = -237;
  maxX = maxY = 237;
  GridDivisions = 100;
  CameraDistance = 40;
  GroundClearance = 5;
  MoveStep = 1;
  funEquationLinePolygon();
  open = true;
  return true;
}

static void RenderFrame(benchmark::State& state) {
  if (!OpenScene()) {
    state.SkipWithError("needs an X display: xvfb-run -a build/bench/frame_bench");
    return;
  }
  for (auto _ : state) {
    RenderScene();
    SwapBuffers(hDC);
  }
  state.counters["triangles"] = LocationModel[0].CountFace;
}

BENCHMARK(RenderFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

BENCHMARK_MAIN();
