// The terrain's layout against the face grid, its mesh, its shaded texture and the settings that fit it.
#include "tools/terrain/terrain_mesh.h"

#include <algorithm>
#include <cmath>

#include "tools/scene/cli.h"

namespace {

constexpr int kMostDivisions = 253;
constexpr int kMostQuadsPerCell = kMostCellEntries / 6;

// Spacings are whole multiples of a power of two about a millionth of the size, so every vertex coordinate
// and every difference of two of them is exact in single precision.
double Quantise(double spacing, double size) {
  const double quantum = std::ldexp(1.0, std::ilogb(size) - 20);
  return std::max(quantum, std::round(spacing / quantum) * quantum);
}

double RoundToThreeDigits(double value) {
  const double scale = std::pow(10.0, 2 - std::floor(std::log10(value)));
  return std::round(value * scale) / scale;
}

struct Colour {
  double r, g, b;
};

Colour HeightColour(double k) {
  static const struct {
    double at;
    Colour colour;
  } stops[] = {{0.0, {62, 104, 56}},   {0.3, {118, 148, 78}},  {0.55, {160, 138, 96}},
               {0.8, {138, 128, 122}}, {1.0, {245, 245, 245}}};
  for (size_t i = 1; i < std::size(stops); ++i)
    if (k <= stops[i].at) {
      const double f = (k - stops[i - 1].at) / (stops[i].at - stops[i - 1].at);
      const Colour& a = stops[i - 1].colour;
      const Colour& b = stops[i].colour;
      return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
    }
  return stops[std::size(stops) - 1].colour;
}

}  // namespace

TerrainLayout ChooseLayout(const HeightGrid& grid, double unitsX, double unitsY, int64_t maxFaces) {
  const double quads = static_cast<double>(maxFaces) / 2;
  const double wantX = std::max(1.0, std::min(grid.width - 1.0, std::sqrt(quads * unitsX / unitsY)));
  const double wantY = std::max(1.0, std::min(grid.height - 1.0, std::sqrt(quads * unitsY / unitsX)));
  const double mostX = std::ceil(wantX), mostY = std::ceil(wantY);
  TerrainLayout best;
  double bestScore = -1e300;
  for (int g = 1; g <= kMostDivisions; ++g)
    for (int mx = 1; mx <= kMostQuadsPerCell && mx * g <= mostX; ++mx)
      for (int my = 1; mx * my <= kMostQuadsPerCell && my * g <= mostY; ++my) {
        const int nx = mx * g, ny = my * g;
        if (2LL * nx * ny > maxFaces) break;
        const double score = std::log(static_cast<double>(nx) * ny) -
                             3 * std::fabs(std::log((static_cast<double>(nx) / ny) / (wantX / wantY)));
        if (score >= bestScore) {
          bestScore = score;
          best.divisions = g;
          best.perCellX = mx;
          best.perCellY = my;
          best.quadsX = nx;
          best.quadsY = ny;
        }
      }
  const double size = std::max(unitsX, unitsY);
  best.spacingX = Quantise(unitsX / best.quadsX, size);
  best.spacingY = Quantise(unitsY / best.quadsY, size);
  return best;
}

float Terrain::HeightAt(float x, float y) const {
  const int w = layout.quadsX + 1;
  const double fi = (x - offsetX) / layout.spacingX + layout.quadsX / 2.0;
  const double fj = (y - offsetY) / layout.spacingY + layout.quadsY / 2.0;
  const int i = std::clamp(static_cast<int>(std::floor(fi)), 0, layout.quadsX - 1);
  const int j = std::clamp(static_cast<int>(std::floor(fj)), 0, layout.quadsY - 1);
  const double fx = fi - i, fy = fj - j;
  const auto z = [&](int di, int dj) { return static_cast<double>(mesh.vertices[(j + dj) * w + i + di].z); };
  // The quad's two triangles share its south-west and north-east corners.
  if (fx >= fy) return static_cast<float>(z(0, 0) + fx * (z(1, 0) - z(0, 0)) + fy * (z(1, 1) - z(1, 0)));
  return static_cast<float>(z(0, 0) + fy * (z(0, 1) - z(0, 0)) + fx * (z(1, 1) - z(0, 1)));
}

namespace {

void CheckReach(const CVertex3& v, const std::string& input) {
  if (!WithinReach(v))
    throw ToolError(input + ": the terrain would reach (" + FloatText(v.x) + ", " + FloatText(v.y) + ", " +
                    FloatText(v.z) + "), beyond the " + FloatText(static_cast<float>(kMostUnits)) +
                    " units glide can fly over; lower --exaggerate or --size, or check the file's heights and "
                    "cell size");
}

// How far the terrain, centred on (offsetX, offsetY), must come down for the start: the ground under the
// origin a clearance below the glider, and below the sight line from the camera's first eye as well. The
// second is the larger only where the ground behind the start rises into the view.
struct StartDrop {
  double glider, sight;
};

StartDrop DropFor(const Terrain& terrain, double clearance, double cameraDistance) {
  // Several samples a quad, so that no ridge between them is missed.
  const int samples = static_cast<int>(std::clamp(4 * cameraDistance / terrain.layout.spacingX, 32.0, 4096.0));
  StartDrop drop{terrain.HeightAt(0, 0) + clearance, -INFINITY};
  for (int s = 0; s <= samples; ++s) {
    const double along = static_cast<double>(s) / samples;
    const double ground = terrain.HeightAt(static_cast<float>(-cameraDistance * along), 0);
    drop.sight = std::max(drop.sight, ground + clearance - kEyeLift * along);
  }
  return drop;
}

}  // namespace

Terrain BuildTerrain(const HeightGrid& grid, double size, double exaggerate, int64_t maxFaces, double clearance,
                     double cameraDistance, const std::string& input) {
  Terrain terrain;
  const double metresX = (grid.width - 1) * grid.cellX, metresY = (grid.height - 1) * grid.cellY;
  terrain.unitsPerMetre = size / std::max(metresX, metresY);
  terrain.layout = ChooseLayout(grid, metresX * terrain.unitsPerMetre, metresY * terrain.unitsPerMetre, maxFaces);
  const TerrainLayout& l = terrain.layout;
  const double lift = terrain.unitsPerMetre * exaggerate;
  std::vector<double> heights;
  heights.reserve(static_cast<size_t>(l.quadsX + 1) * (l.quadsY + 1));
  for (int j = 0; j <= l.quadsY; ++j)
    for (int i = 0; i <= l.quadsX; ++i)
      heights.push_back(grid.Sample(static_cast<double>(i) / l.quadsX * (grid.width - 1),
                                    static_cast<double>(l.quadsY - j) / l.quadsY * (grid.height - 1)));
  // Heights are taken from the middle of the mesh's own range before they are scaled into single precision,
  // so that a plateau far above the sea keeps its relief.
  const auto [lowest, highest] = std::minmax_element(heights.begin(), heights.end());
  const double middle = (*lowest + *highest) / 2;
  MeshBuilder& mesh = terrain.mesh;
  mesh.vertices.reserve(heights.size());
  mesh.coords.reserve(heights.size());
  for (int j = 0, k = 0; j <= l.quadsY; ++j)
    for (int i = 0; i <= l.quadsX; ++i, ++k)
      mesh.AddVertex(static_cast<float>((i - l.quadsX / 2.0) * l.spacingX),
                     static_cast<float>((j - l.quadsY / 2.0) * l.spacingY),
                     static_cast<float>((heights[static_cast<size_t>(k)] - middle) * lift),
                     static_cast<float>(i) / l.quadsX, static_cast<float>(j) / l.quadsY);
  // Heights this far apart would also lose the start's clearance to rounding as the terrain is moved.
  for (const CVertex3& v : mesh.vertices) CheckReach(v, input);
  mesh.faces.reserve(static_cast<size_t>(l.Faces()));
  const int w = l.quadsX + 1;
  for (int j = 0; j < l.quadsY; ++j)
    for (int i = 0; i < l.quadsX; ++i) {
      const int a = j * w + i + 1;
      mesh.AddQuad(a, a + 1, a + 1 + w, a + w);
    }

  // The nearest centre, in whole vertex spacings so that every coordinate stays exact, where the sight line
  // needs the terrain no lower than the glider does; the terrain's own centre, lowered further, when none does.
  const int reach = std::max(l.quadsX, l.quadsY) / 10;
  double nearest = INFINITY, bestX = 0, bestY = 0;
  for (int j = -reach; j <= reach; ++j)
    for (int i = -reach; i <= reach; ++i) {
      const double x = i * l.spacingX, y = j * l.spacingY;
      if (x * x + y * y >= nearest) continue;
      terrain.offsetX = x;
      terrain.offsetY = y;
      const StartDrop need = DropFor(terrain, clearance, cameraDistance);
      if (need.sight > need.glider) continue;
      nearest = x * x + y * y;
      bestX = x;
      bestY = y;
    }
  terrain.offsetX = bestX;
  terrain.offsetY = bestY;
  const StartDrop need = DropFor(terrain, clearance, cameraDistance);
  const double drop = std::max(need.glider, need.sight);
  terrain.offsetZ = -drop - middle * lift;

  terrain.lowest = INFINITY;
  terrain.highest = -INFINITY;
  for (CVertex3& v : mesh.vertices) {
    v.x = static_cast<float>(v.x + terrain.offsetX);
    v.y = static_cast<float>(v.y + terrain.offsetY);
    v.z = static_cast<float>(v.z - drop);
    CheckReach(v, input);
    terrain.lowest = std::min(terrain.lowest, v.z);
    terrain.highest = std::max(terrain.highest, v.z);
  }
  return terrain;
}

std::vector<uint8_t> ShadedTexture(const HeightGrid& grid, double exaggerate, int width, int height) {
  const auto [lowest, highest] = std::minmax_element(grid.z.begin(), grid.z.end());
  const double range = std::max(1e-6, static_cast<double>(*highest) - *lowest);
  const double du = std::max(0.5, (grid.width - 1.0) / width), dv = std::max(0.5, (grid.height - 1.0) / height);
  const double altitude = M_PI / 4, azimuth = 7 * M_PI / 4;
  const double sun[3] = {std::cos(altitude) * std::sin(azimuth), std::cos(altitude) * std::cos(azimuth),
                         std::sin(altitude)};
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (int t = 0; t < height; ++t) {
    const double v = (1 - (t + 0.5) / height) * (grid.height - 1);
    for (int s = 0; s < width; ++s) {
      const double u = (s + 0.5) / width * (grid.width - 1);
      const double east = (grid.Sample(u + du, v) - grid.Sample(u - du, v)) / (2 * du * grid.cellX) * exaggerate;
      const double north = (grid.Sample(u, v - dv) - grid.Sample(u, v + dv)) / (2 * dv * grid.cellY) * exaggerate;
      const double shade =
          std::max(0.0, (-east * sun[0] - north * sun[1] + sun[2]) / std::sqrt(east * east + north * north + 1));
      const Colour c = HeightColour((grid.Sample(u, v) - *lowest) / range);
      const double light = 0.3 + 0.85 * shade;
      rgb.push_back(Channel(c.r * light));
      rgb.push_back(Channel(c.g * light));
      rgb.push_back(Channel(c.b * light));
    }
  }
  return rgb;
}

Settings FitSettings(Settings settings, double across) {
  settings.moveStep = static_cast<float>(RoundToThreeDigits(across / (60 * 90)));
  settings.groundClearance = static_cast<float>(RoundToThreeDigits(across * 0.006));
  settings.cameraDistance = static_cast<float>(RoundToThreeDigits(across * 0.035));
  return settings;
}
