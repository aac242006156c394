// glide-scene check --map: the scene from above, with the face grid's faulty cells, the objects and the start.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "image/image.h"
#include "physics/physics.h"
#include "tools/check/check.h"
#include "tools/scene/cli.h"

namespace {

constexpr int kSide = 1024;   // pixels along the longer side of the scene
constexpr int kMargin = 32;   // pixels around it, so that markers at the edge show whole

// A pixel coordinate as an int, kept just outside 0..limit so that far or non-finite places stay harmless.
int PixelIndex(double value, int limit) {
  if (!(value > -1)) return -1;
  if (!(value < limit + 1)) return limit + 1;
  return static_cast<int>(value);
}

struct Colour {
  uint8_t r, g, b;
};
constexpr Colour kBackground{32, 36, 44}, kUntextured{170, 170, 170}, kYellow{255, 220, 0}, kBlack{0, 0, 0},
    kWhite{255, 255, 255}, kOverfull{255, 0, 0}, kHole{0, 96, 255};

// World X to the right, Y up; row 0 is the top row.
struct View {
  double x0, y1, scale;
  int width, height;
  double Column(double x) const { return kMargin + (x - x0) / scale; }
  double Row(double y) const { return kMargin + (y1 - y) / scale; }
};

class Canvas {
 public:
  explicit Canvas(const View& view)
      : w_(view.width), h_(view.height), rgb_(static_cast<size_t>(w_) * h_ * 3, 0) {
    for (int r = 0; r < h_; ++r)
      for (int c = 0; c < w_; ++c) Put(c, r, kBackground);
  }
  int Width() const { return w_; }
  int Height() const { return h_; }
  bool Inside(int c, int r) const { return c >= 0 && r >= 0 && c < w_ && r < h_; }
  void Put(int c, int r, Colour colour) {
    if (!Inside(c, r)) return;
    uint8_t* p = &rgb_[(static_cast<size_t>(r) * w_ + c) * 3];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
  }
  void Tint(int c, int r, Colour colour) {
    if (!Inside(c, r)) return;
    uint8_t* p = &rgb_[(static_cast<size_t>(r) * w_ + c) * 3];
    p[0] = static_cast<uint8_t>(p[0] / 2 + colour.r / 2);
    p[1] = static_cast<uint8_t>(p[1] / 2 + colour.g / 2);
    p[2] = static_cast<uint8_t>(p[2] / 2 + colour.b / 2);
  }
  // Every pixel whose centre lies within `radius` of the point and for which `inside` holds for its offset.
  template <typename Shape>
  void Fill(double column, double row, double radius, Colour colour, Shape inside) {
    for (int r = PixelIndex(std::floor(row - radius), h_); r <= PixelIndex(std::ceil(row + radius), h_); ++r)
      for (int c = PixelIndex(std::floor(column - radius), w_); c <= PixelIndex(std::ceil(column + radius), w_); ++c)
        if (inside(c + 0.5 - column, r + 0.5 - row)) Put(c, r, colour);
  }
  // The picture with its bottom row first, as the image writers take it.
  std::vector<uint8_t> BottomUp() const {
    std::vector<uint8_t> out(rgb_.size());
    const size_t row = static_cast<size_t>(w_) * 3;
    for (int r = 0; r < h_; ++r) std::memcpy(&out[row * (h_ - 1 - r)], &rgb_[row * r], row);
    return out;
  }

 private:
  int w_, h_;
  std::vector<uint8_t> rgb_;
};

View MakeView() {
  double x0 = std::min(0.0, static_cast<double>(minX)), x1 = std::max(0.0, static_cast<double>(maxX));
  double y0 = std::min(0.0, static_cast<double>(minY)), y1 = std::max(0.0, static_cast<double>(maxY));
  for (const CLinkInfo& link : ObjectsLinks)
    for (int k = 0; k < link.CountPosition; ++k) {
      x0 = std::min(x0, static_cast<double>(link.Position[k].x));
      x1 = std::max(x1, static_cast<double>(link.Position[k].x));
      y0 = std::min(y0, static_cast<double>(link.Position[k].y));
      y1 = std::max(y1, static_cast<double>(link.Position[k].y));
    }
  if (!std::isfinite(x1 - x0) || !std::isfinite(y1 - y0)) x0 = y0 = -1, x1 = y1 = 1;
  const double longer = std::max({x1 - x0, y1 - y0, 1e-3});
  const double scale = longer / (kSide - 2 * kMargin);
  return View{x0, y1, scale, static_cast<int>(std::ceil((x1 - x0) / scale)) + 2 * kMargin,
              static_cast<int>(std::ceil((y1 - y0) / scale)) + 2 * kMargin};
}

Colour Sample(const RGBImage* texture, CVertex2 uv, double shade) {
  Colour c = kUntextured;
  if (texture && texture->width > 0 && texture->height > 0 && std::isfinite(uv.x) && std::isfinite(uv.y)) {
    // Repeat, as OpenGL's default wrap does; the picture's first row is t = 0.
    const double s = uv.x - std::floor(uv.x), t = uv.y - std::floor(uv.y);
    const int tx = std::min(texture->width - 1, static_cast<int>(s * texture->width));
    const int ty = std::min(texture->height - 1, static_cast<int>(t * texture->height));
    const uint8_t* p = texture->data + (static_cast<size_t>(ty) * texture->width + tx) * 3;
    c = Colour{p[0], p[1], p[2]};
  }
  auto lit = [shade](uint8_t v) { return static_cast<uint8_t>(std::min(255.0, v * shade)); };
  return Colour{lit(c.r), lit(c.g), lit(c.b)};
}

// Light from the north-west, high; a level face keeps its colour, faces turned from the light darken.
double Shade(const CVertex3& a, const CVertex3& b, const CVertex3& c) {
  const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(length > 0)) return 1;
  if (nz < 0) nx = -nx, ny = -ny, nz = -nz;
  const double lx = -1, ly = 1, lz = 1.5, light = std::sqrt(lx * lx + ly * ly + lz * lz);
  const double facing = (nx * lx + ny * ly + nz * lz) / (length * light);
  return std::clamp(0.25 + 0.75 * facing / (lz / light), 0.25, 1.2);
}

// The highest face at each pixel centre, in its texture through the corners' coordinates. A mesh whose faces
// overlap the map many times over (large faces piled on each other) would take minutes: drawing stops after
// a fixed number of pixel tests, and the result says whether every face was drawn.
bool DrawTerrain(Canvas& canvas, const View& view, const CModel& terrain, const RGBImage* texture) {
  std::vector<float> top(static_cast<size_t>(canvas.Width()) * canvas.Height(), -INFINITY);
  const int64_t mostTests = int64_t{256} * canvas.Width() * canvas.Height();
  int64_t tests = 0;
  for (int32_t f = 0; f < terrain.CountFace; ++f) {
    const int32_t* index = terrain.Face[f].Index;
    const CVertex3 v[3] = {terrain.Vertices[index[0]], terrain.Vertices[index[1]], terrain.Vertices[index[2]]};
    double px[3], py[3];
    for (int i = 0; i < 3; ++i) px[i] = view.Column(v[i].x), py[i] = view.Row(v[i].y);
    const double area = (px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0]);
    if (!(std::fabs(area) > 1e-12) || !std::isfinite(area)) continue;
    const double shade = Shade(v[0], v[1], v[2]);
    const int c0 = std::max(0, PixelIndex(std::floor(std::min({px[0], px[1], px[2]})), canvas.Width()));
    const int c1 = std::min(canvas.Width() - 1, PixelIndex(std::ceil(std::max({px[0], px[1], px[2]})), canvas.Width()));
    const int r0 = std::max(0, PixelIndex(std::floor(std::min({py[0], py[1], py[2]})), canvas.Height()));
    const int r1 = std::min(canvas.Height() - 1, PixelIndex(std::ceil(std::max({py[0], py[1], py[2]})), canvas.Height()));
    tests += int64_t{c1 - c0 + 1} * (r1 - r0 + 1);
    if (tests > mostTests) return false;
    for (int r = r0; r <= r1; ++r)
      for (int c = c0; c <= c1; ++c) {
        const double x = c + 0.5, y = r + 0.5;
        double w[3];
        for (int i = 0; i < 3; ++i) {
          const int j = (i + 1) % 3, k = (i + 2) % 3;
          w[i] = ((px[k] - px[j]) * (y - py[j]) - (x - px[j]) * (py[k] - py[j])) / area;
        }
        if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
        const float z = static_cast<float>(w[0] * v[0].z + w[1] * v[1].z + w[2] * v[2].z);
        float& best = top[static_cast<size_t>(r) * canvas.Width() + c];
        if (!(z > best)) continue;
        best = z;
        CVertex2 uv{0, 0};
        for (int i = 0; i < 3; ++i) {
          uv.x += static_cast<float>(w[i] * terrain.CoordText[index[i]].x);
          uv.y += static_cast<float>(w[i] * terrain.CoordText[index[i]].y);
        }
        canvas.Put(c, r, Sample(texture, uv, shade));
      }
  }
  return true;
}

void TintCell(Canvas& canvas, const View& view, long cell, Colour colour) {
  const double dx = (static_cast<double>(maxX) - minX) / GridDivisions, dy = (static_cast<double>(maxY) - minY) / GridDivisions;
  const long column = cell % GridCells, row = cell / GridCells;
  // The pixels whose centres lie in the cell, so that neighbouring cells share none.
  const int c0 = PixelIndex(std::ceil(view.Column(minX + (column - 1) * dx) - 0.5), canvas.Width());
  const int c1 = PixelIndex(std::ceil(view.Column(minX + column * dx) - 0.5), canvas.Width());
  const int r0 = PixelIndex(std::ceil(view.Row(minY + row * dy) - 0.5), canvas.Height());
  const int r1 = PixelIndex(std::ceil(view.Row(minY + (row - 1) * dy) - 0.5), canvas.Height());
  for (int r = r0; r < r1; ++r)
    for (int c = c0; c < c1; ++c) canvas.Tint(c, r, colour);
}

// Where ground following fails for the grid: cells too full in red, cells with holes in blue.
void TintGridFaults(Canvas& canvas, const View& view, const CModel& terrain) {
  if (!(GridDivisions > 0 && GridDivisions < GridCells - 1) || !(maxX > minX && maxY > minY) ||
      !std::isfinite(maxX - minX) || !std::isfinite(maxY - minY))
    return;
  const std::vector<int32_t> filings = CellFilings(terrain, GridDivisions);
  for (size_t cell = 0; cell < filings.size(); ++cell)
    if (filings[cell] > CellEntries - 1) TintCell(canvas, view, static_cast<long>(cell), kOverfull);
  for (long cell : HoleCells(terrain, GridDivisions)) TintCell(canvas, view, cell, kHole);
}

void DrawMarkers(Canvas& canvas, const View& view) {
  auto ring = [](double from, double to) {
    return [from, to](double dx, double dy) {
      const double d = std::hypot(dx, dy);
      return d >= from && d < to;
    };
  };
  for (const CLinkInfo& link : ObjectsLinks)
    for (int k = 0; k < link.CountPosition; ++k) {
      const double c = view.Column(link.Position[k].x), r = view.Row(link.Position[k].y);
      canvas.Fill(c, r, 10, kBlack, ring(0, 10));
      canvas.Fill(c, r, 8, kYellow, ring(4, 8));
    }
  // The glider at the origin, heading along +X (yaw 0): a disc and an arrow, outlined in black.
  const double c = view.Column(0), r = view.Row(0);
  auto arrow = [](double grow) {
    return [grow](double dx, double dy) {
      const bool shaft = dx >= -grow && dx <= 22 && std::fabs(dy) <= 1.5 + grow;
      const bool head = dx >= 18 - grow && dx <= 32 + grow && std::fabs(dy) <= (32 - dx) * 0.6 + grow;
      return shaft || head || std::hypot(dx, dy) < 6 + grow;
    };
  };
  canvas.Fill(c, r, 36, kBlack, arrow(2));
  canvas.Fill(c, r, 36, kWhite, arrow(0));
}

}  // namespace

std::string WriteMap(const std::string& path, const RGBImage* terrainTexture) {
  const View view = MakeView();
  Canvas canvas(view);
  bool whole = true;
  if (!LocationModel.empty()) {
    whole = DrawTerrain(canvas, view, LocationModel[0], terrainTexture);
    TintGridFaults(canvas, view, LocationModel[0]);
  }
  DrawMarkers(canvas, view);
  std::vector<uint8_t> pixels = canvas.BottomUp();
  const RGBImage image{canvas.Width(), canvas.Height(), pixels.data()};
  WriteWhole(
      path, [&](const std::string& temporary) { return SavePNGImage(temporary.c_str(), &image); },
      path + ": cannot write the map; check that its folder exists and can be written");
  char origin[64];
  std::snprintf(origin, sizeof origin, "(%d, %d)", PixelIndex(view.Column(0), canvas.Width()),
                PixelIndex(view.Row(0), canvas.Height()));
  return "wrote the map " + path + ": " + std::to_string(canvas.Width()) + " x " + std::to_string(canvas.Height()) +
         " pixels, " + Number(view.scale) + " units a pixel, X to the right, Y up, the start at pixel " + origin +
         (whole ? "" : "; the terrain is drawn only in part: its faces cover the map too many times over");
}
