// Baking a model's pictures, colours, own light and sunlight into one texture: on its own UVs or in patches.
#include "tools/object/object_bake.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tools/scene/cli.h"

namespace {

constexpr int kLargestTexture = 4096;
// Texels on a side of a triangle's patch. The triangle fills the lower half of its square patch; a pictured
// one wants twice as many texels as the picture has pixels in that square, as the triangle lies skewed
// across the texel grid, and plain colours and the sun need only a few. The patches of a model share one
// size, from the sum of what its triangles want, and grow to fill the power-of-two texture that holds them.
constexpr int kPicturePatch = 256;
constexpr int kPlainPatch = 8;
constexpr double kOversampling = 2;
// However little of its picture each shows, a pictured triangle gets a patch this large, as long as all of
// them together take no more than kSharpTexels.
constexpr int kLeastPicturedPatch = 32;
constexpr double kSharpTexels = 1024.0 * 1024;
// Texels claimed by two triangles, or triangles without area on the picture, beyond this share of all
// make a model's own UVs unusable: the sun differs between the surfaces that would share texels.
constexpr double kOverlapShare = 0.01;
// How many times over the triangles' bounding boxes may cover the picture before its own coordinates are given up.
constexpr double kMostBoxCover = 8;

Vec3 Mix(const Vec3 (&v)[3], float a, float b, float c) {
  return {a * v[0].x + b * v[1].x + c * v[2].x, a * v[0].y + b * v[1].y + c * v[2].y,
          a * v[0].z + b * v[1].z + c * v[2].z};
}

Vec3 Times(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

float Length(Vec3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

Vec3 FaceNormal(const Triangle& t) {
  const Vec3 &p = t.corners[0].position, &q = t.corners[1].position, &r = t.corners[2].position;
  const Vec3 a{q.x - p.x, q.y - p.y, q.z - p.z}, b{r.x - p.x, r.y - p.y, r.z - p.z};
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

int Wrap(int i, int n) { return ((i % n) + n) % n; }

// Bilinear, repeating in both directions as the file's own renderer would tile it.
Vec3 Sample(const Picture& picture, float u, float v) {
  if (!std::isfinite(u)) u = 0;
  if (!std::isfinite(v)) v = 0;
  const double x = (u - std::floor(u)) * picture.width - 0.5;
  const double y = (1.0 - (v - std::floor(v))) * picture.height - 0.5;  // the picture's top row comes first
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const float fx = static_cast<float>(x - x0), fy = static_cast<float>(y - y0);
  Vec3 sum{0, 0, 0};
  for (int dy = 0; dy < 2; ++dy)
    for (int dx = 0; dx < 2; ++dx) {
      const float weight = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy);
      const uint8_t* texel = &picture.rgb[(static_cast<size_t>(Wrap(y0 + dy, picture.height)) * picture.width +
                                           static_cast<size_t>(Wrap(x0 + dx, picture.width))) *
                                          3];
      sum.x += weight * texel[0];
      sum.y += weight * texel[1];
      sum.z += weight * texel[2];
    }
  return {sum.x / 255, sum.y / 255, sum.z / 255};
}

uint8_t Byte(float c) { return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255)); }

void Put(BakedModel* baked, int x, int y, Vec3 colour) {
  uint8_t* texel = &baked->rgb[(static_cast<size_t>(y) * baked->width + static_cast<size_t>(x)) * 3];
  texel[0] = Byte(colour.x);
  texel[1] = Byte(colour.y);
  texel[2] = Byte(colour.z);
}

int PowerOfTwo(int atLeast) {
  int side = 1;
  while (side < atLeast) side *= 2;
  return side;
}

// The colour of the triangle at barycentric weights (a, b, c).
Vec3 Shade(const ImportedModel& model, const Triangle& t, Vec3 faceNormal, float a, float b, float c) {
  const Look& look = model.looks[static_cast<size_t>(t.look)];
  const Vec3 colours[3] = {t.corners[0].colour, t.corners[1].colour, t.corners[2].colour};
  Vec3 colour = Mix(colours, a, b, c);
  const float u = a * t.corners[0].u + b * t.corners[1].u + c * t.corners[2].u;
  const float v = a * t.corners[0].v + b * t.corners[1].v + c * t.corners[2].v;
  if (look.picture >= 0) colour = Times(colour, Sample(model.pictures[static_cast<size_t>(look.picture)], u, v));
  if (look.lit) {
    const Vec3 normals[3] = {t.corners[0].normal, t.corners[1].normal, t.corners[2].normal};
    Vec3 normal = Mix(normals, a, b, c);
    if (!(Length(normal) > 1e-6f)) normal = faceNormal;
    const float light = SunLight(normal);
    colour = {colour.x * light, colour.y * light, colour.z * light};
  }
  Vec3 glow = look.glow;
  if (look.glowPicture >= 0) glow = Times(glow, Sample(model.pictures[static_cast<size_t>(look.glowPicture)], u, v));
  return {colour.x + glow.x, colour.y + glow.y, colour.z + glow.z};
}

// The texels a pictured triangle's patch wants, 0 for a plain one: see kPicturePatch.
double PatchTexels(const ImportedModel& model, const Triangle& t) {
  const Look& look = model.looks[static_cast<size_t>(t.look)];
  double pixels = 0;
  for (int picture : {look.picture, look.glowPicture})
    if (picture >= 0) {
      const Picture& p = model.pictures[static_cast<size_t>(picture)];
      pixels = std::max(pixels, static_cast<double>(p.width) * p.height);
    }
  if (pixels == 0) return 0;
  const Corner(&c)[3] = t.corners;
  const double shown = std::fabs((double{c[1].u} - c[0].u) * (double{c[2].v} - c[0].v) -
                                 (double{c[2].u} - c[0].u) * (double{c[1].v} - c[0].v)) *
                       pixels;
  const double wanted = std::isfinite(shown) ? shown * kOversampling : double{kPicturePatch} * kPicturePatch;
  return std::clamp(wanted, double{kPlainPatch} * kPlainPatch, double{kPicturePatch} * kPicturePatch);
}

// Every triangle its own square patch and its own vertices.
BakedModel BakeInPatches(const ImportedModel& model, const std::string& file) {
  const size_t count = model.triangles.size();
  double texels = 0, pictured = 0;
  for (const Triangle& t : model.triangles) {
    const double wanted = PatchTexels(model, t);
    texels += wanted > 0 ? wanted : kPlainPatch * kPlainPatch;
    pictured += wanted > 0;
  }
  texels = std::max(texels, std::min(pictured * kLeastPicturedPatch * kLeastPicturedPatch, kSharpTexels));
  // The smallest power-of-two texture, at most twice as wide as high, with room for that many texels; then
  // the largest patch that lets them all fit.
  BakedModel baked;
  baked.width = baked.height = 1;
  while (static_cast<double>(baked.width) * baked.height < texels && baked.height < kLargestTexture)
    (baked.width == baked.height ? baked.width : baked.height) *= 2;
  const double room = static_cast<double>(baked.width) * baked.height / static_cast<double>(count);
  int patch = std::min(kPicturePatch, static_cast<int>(std::sqrt(room)));
  while (patch >= 2 && static_cast<size_t>(baked.width / patch) * static_cast<size_t>(baked.height / patch) < count)
    --patch;
  if (patch < 2)
    throw ToolError(file + ": " + std::to_string(count) + " faces are more than one texture can colour (at most " +
                    std::to_string(kLargestTexture / 2 * (kLargestTexture / 2)) + "); simplify it with --faces N");
  baked.patch = patch;
  const size_t across = static_cast<size_t>(baked.width / patch);
  baked.height = PowerOfTwo(static_cast<int>((count + across - 1) / across) * patch);
  baked.rgb.assign(static_cast<size_t>(baked.width) * baked.height * 3, 0);
  // From four texels on, the corners sit one texel inside the patch so that linear filtering stays within
  // it; the texels beyond the triangle's long edge repeat its nearest colours. Smaller patches are flat.
  const bool flat = patch < 4;
  const float legs = static_cast<float>(patch - 2);
  for (size_t i = 0; i < count; ++i) {
    const Triangle& t = model.triangles[i];
    const Vec3 faceNormal = FaceNormal(t);
    const int left = static_cast<int>(i % across) * patch;
    const int bottom = static_cast<int>(i / across) * patch;
    const Vec3 middle = flat ? Shade(model, t, faceNormal, 1.0f / 3, 1.0f / 3, 1.0f / 3) : Vec3{};
    for (int y = 0; y < patch; ++y)
      for (int x = 0; x < patch; ++x) {
        if (flat) {
          Put(&baked, left + x, bottom + y, middle);
          continue;
        }
        float b = std::max(0.0f, (x + 0.5f - 1) / legs), c = std::max(0.0f, (y + 0.5f - 1) / legs);
        if (b + c > 1) {
          const float sum = b + c;
          b /= sum;
          c /= sum;
        }
        Put(&baked, left + x, bottom + y, Shade(model, t, faceNormal, 1 - b - c, b, c));
      }
    const float corners[3][2] = {{1, 1}, {static_cast<float>(patch - 1), 1}, {1, static_cast<float>(patch - 1)}};
    int numbers[3];
    for (int k = 0; k < 3; ++k) {
      const float px = flat ? patch / 2.0f : corners[k][0], py = flat ? patch / 2.0f : corners[k][1];
      const Vec3& p = t.corners[k].position;
      numbers[k] = baked.mesh.AddVertex(p.x, p.y, p.z, (left + px) / static_cast<float>(baked.width),
                                        (bottom + py) / static_cast<float>(baked.height));
    }
    baked.mesh.AddTriangle(numbers[0], numbers[1], numbers[2]);
  }
  return baked;
}

// The weights of texel centre (x, y) in triangle t laid on a width x height texture by its UVs; none where
// the triangle has no area there.
std::optional<std::array<double, 3>> Weights(const Triangle& t, int width, int height, double x, double y) {
  const Corner(&c)[3] = t.corners;
  const double x0 = double{c[0].u} * width, y0 = double{c[0].v} * height;
  const double x1 = double{c[1].u} * width - x0, y1 = double{c[1].v} * height - y0;
  const double x2 = double{c[2].u} * width - x0, y2 = double{c[2].v} * height - y0;
  const double area = x1 * y2 - x2 * y1;
  if (!(std::fabs(area) > 1e-6)) return std::nullopt;
  const double b = ((x - x0) * y2 - x2 * (y - y0)) / area, cw = (x1 * (y - y0) - (x - x0) * y1) / area;
  return std::array<double, 3>{1 - b - cw, b, cw};
}

// The model on its own UVs, or nothing where they cannot carry it: see Bake.
std::optional<BakedModel> BakeOnOwnUvs(const ImportedModel& model) {
  const int picture = model.looks[static_cast<size_t>(model.triangles[0].look)].picture;
  if (picture < 0) return std::nullopt;
  for (const Triangle& t : model.triangles) {
    if (model.looks[static_cast<size_t>(t.look)].picture != picture) return std::nullopt;
    for (const Corner& c : t.corners)
      if (!(c.u >= -1e-4f && c.u <= 1 + 1e-4f && c.v >= -1e-4f && c.v <= 1 + 1e-4f)) return std::nullopt;
  }
  // Coordinates that cover more than the picture once overlap somewhere, and triangles whose boxes cover it
  // many times over would take long to draw texel by texel: both go to the patch atlas at once.
  double area = 0, boxes = 0;
  for (const Triangle& t : model.triangles) {
    const Corner &a = t.corners[0], &b = t.corners[1], &c = t.corners[2];
    area += std::fabs((b.u - a.u) * static_cast<double>(c.v - a.v) - (c.u - a.u) * static_cast<double>(b.v - a.v)) / 2;
    boxes += (std::max({a.u, b.u, c.u}) - std::min({a.u, b.u, c.u})) * static_cast<double>(
                 std::max({a.v, b.v, c.v}) - std::min({a.v, b.v, c.v}));
  }
  if (area > 1 + kOverlapShare || boxes > kMostBoxCover) return std::nullopt;
  const Picture& shown = model.pictures[static_cast<size_t>(picture)];
  BakedModel baked;
  baked.width = std::max(kLeastOwnSide, PowerOfTwo(shown.width));
  baked.height = std::max(kLeastOwnSide, PowerOfTwo(shown.height));
  const int width = baked.width, height = baked.height;
  // Each texel goes to the triangle it lies deepest in; a texel well inside two triangles is shared.
  std::vector<int> owner(static_cast<size_t>(width) * height, -1);
  std::vector<double> depth(owner.size(), 0);
  size_t covered = 0, shared = 0, unmapped = 0;
  for (size_t i = 0; i < model.triangles.size(); ++i) {
    const Triangle& t = model.triangles[i];
    if (!Weights(t, width, height, 0, 0)) {
      if (Length(FaceNormal(t)) > 0) ++unmapped;
      continue;
    }
    float low[2] = {2, 2}, high[2] = {-1, -1};
    for (const Corner& c : t.corners) {
      low[0] = std::min(low[0], c.u), high[0] = std::max(high[0], c.u);
      low[1] = std::min(low[1], c.v), high[1] = std::max(high[1], c.v);
    }
    const int x0 = std::max(0, static_cast<int>(std::ceil(low[0] * width - 0.5f)));
    const int x1 = std::min(width - 1, static_cast<int>(std::floor(high[0] * width - 0.5f)));
    const int y0 = std::max(0, static_cast<int>(std::ceil(low[1] * height - 0.5f)));
    const int y1 = std::min(height - 1, static_cast<int>(std::floor(high[1] * height - 0.5f)));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const std::array<double, 3> w = *Weights(t, width, height, x + 0.5, y + 0.5);
        const double inside = std::min({w[0], w[1], w[2]});
        if (inside < -1e-9) continue;
        const size_t at = static_cast<size_t>(y) * width + static_cast<size_t>(x);
        if (owner[at] < 0) {
          ++covered;
        } else {
          if (std::min(inside, depth[at]) > 0.01) ++shared;
          if (inside <= depth[at]) continue;
        }
        owner[at] = static_cast<int>(i);
        depth[at] = inside;
      }
  }
  if (static_cast<double>(shared) > kOverlapShare * static_cast<double>(covered) ||
      static_cast<double>(unmapped) > kOverlapShare * static_cast<double>(model.triangles.size()))
    return std::nullopt;
  baked.rgb.assign(owner.size() * 3, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int i = owner[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
      if (i < 0) continue;
      const Triangle& t = model.triangles[static_cast<size_t>(i)];
      const std::array<double, 3> w = *Weights(t, width, height, x + 0.5, y + 0.5);
      Put(&baked, x, y, Shade(model, t, FaceNormal(t), static_cast<float>(w[0]), static_cast<float>(w[1]),
                              static_cast<float>(w[2])));
    }
  // Linear filtering reads a texel beyond a triangle's edge: the texels around each island take the
  // mean of their covered neighbours, two rings deep.
  for (int ring = 0; ring < 2; ++ring) {
    std::vector<int> next = owner;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const size_t at = static_cast<size_t>(y) * width + static_cast<size_t>(x);
        if (owner[at] >= 0) continue;
        int sum[3] = {0, 0, 0}, n = 0;
        for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          const size_t from = static_cast<size_t>(ny) * width + static_cast<size_t>(nx);
          if (owner[from] < 0) continue;
          for (int k = 0; k < 3; ++k) sum[k] += baked.rgb[from * 3 + static_cast<size_t>(k)];
          next[at] = owner[from];
          ++n;
        }
        for (int k = 0; k < 3 && n; ++k) baked.rgb[at * 3 + static_cast<size_t>(k)] = static_cast<uint8_t>(sum[k] / n);
      }
    owner = std::move(next);
  }
  // Corners that agree in place and coordinates share a vertex.
  std::unordered_map<std::string, int> numbers;
  for (const Triangle& t : model.triangles) {
    int corner[3];
    for (int k = 0; k < 3; ++k) {
      const Corner& c = t.corners[k];
      const float key[5] = {c.position.x, c.position.y, c.position.z, c.u, c.v};
      const auto [it, fresh] = numbers.try_emplace(std::string(reinterpret_cast<const char*>(key), sizeof key), 0);
      if (fresh) it->second = baked.mesh.AddVertex(c.position.x, c.position.y, c.position.z, c.u, c.v);
      corner[k] = it->second;
    }
    baked.mesh.AddTriangle(corner[0], corner[1], corner[2]);
  }
  return baked;
}

}  // namespace

float SunLight(Vec3 normal) {
  const float length = Length(normal);
  if (!(length > 0)) return 0.35f;
  const float facing = (normal.x * kSun.x + normal.y * kSun.y + normal.z * kSun.z) / length;
  return 0.35f + 0.65f * std::max(0.0f, facing);
}

BakedModel Bake(const ImportedModel& model, const std::string& file) {
  if (model.triangles.empty()) throw ToolError(file + ": the model holds no faces to bake");
  if (std::optional<BakedModel> own = BakeOnOwnUvs(model)) return std::move(*own);
  return BakeInPatches(model, file);
}
