// Baking a model's pictures, colours and sunlight into one texture with a patch of texels per triangle.
#include "tools/object_bake.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/cli.h"

namespace {

constexpr int kLargestTexture = 4096;
// Texels on a side of a triangle's patch: pictures keep their detail in large patches, while plain colours
// and the sun need only a few. The texture grows to a power of two that holds them, the patches with it.
constexpr int kPicturePatch = 256;
constexpr int kPlainPatch = 8;

Vec3 Mix(const Vec3 (&v)[3], float a, float b, float c) {
  return {a * v[0].x + b * v[1].x + c * v[2].x, a * v[0].y + b * v[1].y + c * v[2].y,
          a * v[0].z + b * v[1].z + c * v[2].z};
}

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

int PowerOfTwo(int atLeast) {
  int side = 1;
  while (side < atLeast) side *= 2;
  return side;
}

// The colour of the triangle at barycentric weights (a, b, c).
Vec3 Shade(const ImportedModel& model, const Triangle& t, Vec3 faceNormal, float a, float b, float c) {
  const Vec3 normals[3] = {t.corners[0].normal, t.corners[1].normal, t.corners[2].normal};
  const Vec3 colours[3] = {t.corners[0].colour, t.corners[1].colour, t.corners[2].colour};
  Vec3 normal = Mix(normals, a, b, c);
  if (!(Length(normal) > 1e-6f)) normal = faceNormal;
  const float light = SunLight(normal);
  Vec3 colour = Mix(colours, a, b, c);
  if (t.picture >= 0) {
    const float u = a * t.corners[0].u + b * t.corners[1].u + c * t.corners[2].u;
    const float v = a * t.corners[0].v + b * t.corners[1].v + c * t.corners[2].v;
    const Vec3 texel = Sample(model.pictures[static_cast<size_t>(t.picture)], u, v);
    colour = {colour.x * texel.x, colour.y * texel.y, colour.z * texel.z};
  }
  return {colour.x * light, colour.y * light, colour.z * light};
}

}  // namespace

float SunLight(Vec3 normal) {
  const float length = Length(normal);
  if (!(length > 0)) return 0.35f;
  const float facing = (normal.x * kSun.x + normal.y * kSun.y + normal.z * kSun.z) / length;
  return 0.35f + 0.65f * std::max(0.0f, facing);
}

BakedModel Bake(const ImportedModel& model, const std::string& file) {
  const size_t count = model.triangles.size();
  const int across = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  BakedModel baked;
  const int wanted = model.pictures.empty() ? kPlainPatch : kPicturePatch;
  baked.width = std::min(kLargestTexture, PowerOfTwo(across * wanted));
  baked.patch = baked.width / across;
  const int patch = baked.patch;
  if (patch < 2)
    throw ToolError(file + ": " + std::to_string(count) + " faces are more than one texture can colour (at most " +
                    std::to_string(kLargestTexture / 2 * (kLargestTexture / 2)) + "); simplify it with --faces N");
  const int rows = static_cast<int>((count + static_cast<size_t>(across) - 1) / static_cast<size_t>(across));
  baked.height = PowerOfTwo(rows * patch);
  baked.rgb.assign(static_cast<size_t>(baked.width) * baked.height * 3, 0);
  // From four texels on, the corners sit one texel inside the patch so that linear filtering stays within
  // it; the texels beyond the triangle's long edge repeat its nearest colours. Smaller patches are flat.
  const bool flat = patch < 4;
  const float legs = static_cast<float>(patch - 2);
  for (size_t i = 0; i < count; ++i) {
    const Triangle& t = model.triangles[i];
    const Vec3 faceNormal = FaceNormal(t);
    const int left = static_cast<int>(i % static_cast<size_t>(across)) * patch;
    const int bottom = static_cast<int>(i / static_cast<size_t>(across)) * patch;
    for (int y = 0; y < patch; ++y)
      for (int x = 0; x < patch; ++x) {
        float b = 1.0f / 3, c = 1.0f / 3;
        if (!flat) {
          b = std::max(0.0f, (x + 0.5f - 1) / legs);
          c = std::max(0.0f, (y + 0.5f - 1) / legs);
          if (b + c > 1) {
            const float sum = b + c;
            b /= sum;
            c /= sum;
          }
        }
        const Vec3 colour = Shade(model, t, faceNormal, 1 - b - c, b, c);
        uint8_t* texel =
            &baked.rgb[(static_cast<size_t>(bottom + y) * baked.width + static_cast<size_t>(left + x)) * 3];
        texel[0] = Byte(colour.x);
        texel[1] = Byte(colour.y);
        texel[2] = Byte(colour.z);
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
