// The flight formulas written out step by step; compiled at -O0 so that every narrowing to float stays.
#include "tests/physics_reference.h"

#include <cmath>

static const float kPi = 3.14159274f;

static float NarrowCos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
static float NarrowSin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }

RefGlider RefMoveGlader(RefGlider g, const RefHeld& held, float turnStep, float moveStep) {
  const float twoPi = kPi + kPi;
  const double step = turnStep;
  const double move = moveStep;
  if (held.left) {
    g.yaw = static_cast<float>(static_cast<double>(g.yaw) - step);
    if (g.yaw < 0) g.yaw = twoPi;
  }
  if (held.right) {
    g.yaw = static_cast<float>(static_cast<double>(g.yaw) + step);
    if (g.yaw > twoPi) g.yaw = 0;
  }
  const double halfPi = static_cast<double>(kPi) / 2;
  if (held.down && g.pitch > -(halfPi + 0.1)) g.pitch = static_cast<float>(static_cast<double>(g.pitch) - step);
  if (held.up && g.pitch < halfPi - 0.1) g.pitch = static_cast<float>(static_cast<double>(g.pitch) + step);
  const float cosPitch = NarrowCos(-g.pitch);
  const float sinPitch = NarrowSin(g.pitch);
  const float cosYaw = NarrowCos(g.yaw);
  const float sinYaw = NarrowSin(g.yaw);
  if (held.forward) {
    double dx = static_cast<double>(cosPitch) * static_cast<double>(cosYaw);
    dx = dx * move;
    double dy = static_cast<double>(cosPitch) * static_cast<double>(sinYaw);
    dy = dy * move;
    const double dz = static_cast<double>(sinPitch) * move;
    g.x = static_cast<float>(static_cast<double>(g.x) + dx);
    g.y = static_cast<float>(static_cast<double>(g.y) - dy);
    g.z = static_cast<float>(static_cast<double>(g.z) - dz);
  }
  if (held.back) {
    double dx = static_cast<double>(cosYaw) * move;
    dx = dx * static_cast<double>(cosPitch);
    double dy = static_cast<double>(sinYaw) * move;
    dy = dy * static_cast<double>(cosPitch);
    const double dz = static_cast<double>(sinPitch) * move;
    g.x = static_cast<float>(static_cast<double>(g.x) - dx);
    g.y = static_cast<float>(static_cast<double>(g.y) + dy);
    g.z = static_cast<float>(static_cast<double>(g.z) + dz);
  }
  return g;
}

void RefPositionCamera(const RefGlider& g, float distance, float yawStep, float pitchStep, RefCamera* camera) {
  const double twoPi = static_cast<double>(kPi) + static_cast<double>(kPi);
  const float d = static_cast<float>(static_cast<double>(g.yaw) - static_cast<double>(camera->yaw));
  if (d > kPi) camera->yaw = static_cast<float>(static_cast<double>(camera->yaw) + twoPi);
  if (camera->yaw <= g.yaw) {
    if (d > kPi) camera->yaw = static_cast<float>(static_cast<double>(camera->yaw) + twoPi);
    camera->yaw = static_cast<float>(static_cast<double>(camera->yaw) + static_cast<double>(yawStep));
  }
  if (camera->yaw > g.yaw) {
    if (d < kPi) camera->yaw = static_cast<float>(static_cast<double>(camera->yaw) - twoPi);
    camera->yaw = static_cast<float>(static_cast<double>(camera->yaw) - static_cast<double>(yawStep));
  }
  if (camera->yaw >= twoPi) camera->yaw = static_cast<float>(static_cast<double>(camera->yaw) - twoPi);
  if (camera->pitch < g.pitch)
    camera->pitch = static_cast<float>(static_cast<double>(camera->pitch) + static_cast<double>(pitchStep));
  if (camera->pitch > g.pitch)
    camera->pitch = static_cast<float>(static_cast<double>(camera->pitch) - static_cast<double>(pitchStep));
  const float cosYaw = NarrowCos(-camera->yaw);
  const float sinYaw = NarrowSin(-camera->yaw);
  const float cosPitch = NarrowCos(-camera->pitch);
  const float sinPitch = NarrowSin(-camera->pitch);
  const double D = distance;
  double ex = static_cast<double>(cosYaw) * D;
  ex = ex * static_cast<double>(cosPitch);
  double ey = static_cast<double>(sinYaw) * D;
  ey = ey * static_cast<double>(cosPitch);
  const double ez = static_cast<double>(sinPitch) * D;
  camera->eye.x = static_cast<float>(static_cast<double>(g.x) - ex);
  camera->eye.y = static_cast<float>(static_cast<double>(g.y) - ey);
  camera->eye.z = static_cast<float>(static_cast<double>(g.z) - ez);
  camera->lookEye[0] = camera->eye.x;
  camera->lookEye[1] = camera->eye.y;
  camera->lookEye[2] = static_cast<double>(camera->eye.z) + 15;
  camera->lookCentre[0] = g.x;
  camera->lookCentre[1] = g.y;
  camera->lookCentre[2] = g.z;
  // Straight above or below the glider the camera's heading stands in for the up vector.
  const double dx = camera->lookCentre[0] - camera->lookEye[0];
  const double dy = camera->lookCentre[1] - camera->lookEye[1];
  const double dz = camera->lookCentre[2] - camera->lookEye[2];
  const bool plumb = dx * dx + dy * dy <= 1e-12 * (dx * dx + dy * dy + dz * dz);
  camera->lookUp[0] = plumb ? static_cast<double>(cosYaw) : 0.0;
  camera->lookUp[1] = plumb ? static_cast<double>(sinYaw) : 0.0;
  camera->lookUp[2] = plumb ? 0.0 : 1.0;
}

RefPlane RefFacePlane(const CVertex3& v0, const CVertex3& v1, const CVertex3& v2) {
  const double x0 = v0.x, y0 = v0.y, z0 = v0.z;
  const double x1 = v1.x, y1 = v1.y, z1 = v1.z;
  const double x2 = v2.x, y2 = v2.y, z2 = v2.z;
  RefPlane p;
  p.a = static_cast<float>((z2 - z1) * y0 + (z1 - z0) * y2 + (z0 - z2) * y1);
  p.b = static_cast<float>((x2 - x1) * z0 + (x1 - x0) * z2 + (x0 - x2) * z1);
  p.c = static_cast<float>((y2 - y1) * x0 + (y1 - y0) * x2 + (y0 - y2) * x1);
  p.d = static_cast<float>(-((y2 * z1 - y1 * z2) * x0 + (y1 * z0 - y0 * z1) * x2 + (y0 * z2 - y2 * z0) * x1));
  p.edge02 = static_cast<float>((x2 - x0) * (x2 - x0) + (y2 - y0) * (y2 - y0));
  p.edge12 = static_cast<float>((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  p.edge01 = static_cast<float>((x0 - x1) * (x0 - x1) + (y0 - y1) * (y0 - y1));
  return p;
}

float RefCellSize(float low, float high, float divisions) {
  return static_cast<float>((static_cast<double>(high) - static_cast<double>(low)) / static_cast<double>(divisions));
}

int RefCellIndex(float coordinate, float low, float cellSize) {
  const double q = (static_cast<double>(coordinate) - static_cast<double>(low)) / static_cast<double>(cellSize);
  return static_cast<int>(q) + 1;
}

static float SquaredDistance(float x, float y, const CVertex3& v) {
  const double dx = static_cast<double>(x) - static_cast<double>(v.x);
  const double dy = static_cast<double>(y) - static_cast<double>(v.y);
  return static_cast<float>(dx * dx + dy * dy);
}

static float Angle(float p, float q, float e) {
  const float rootQ = static_cast<float>(std::sqrt(static_cast<double>(q)));
  const float rootP = static_cast<float>(std::sqrt(static_cast<double>(p)));
  const double below = static_cast<double>(rootQ) * (static_cast<double>(rootP) * 2);
  const float cosine =
      static_cast<float>((static_cast<double>(p) + static_cast<double>(q) - static_cast<double>(e)) / below);
  return static_cast<float>(std::acos(static_cast<double>(cosine)));
}

static RefMarker Marker(float red, float green, float offset, const CVertex3& v0, const CVertex3& v2,
                        const CVertex3& v1) {
  RefMarker m{red, green, {v0, v2, v1}};
  for (CVertex3& c : m.corners) c.z = static_cast<float>(static_cast<double>(c.z) + static_cast<double>(offset));
  return m;
}

RefGround RefFollowFace(const CVertex3& v0, const CVertex3& v1, const CVertex3& v2, const RefPlane& plane, float x,
                        float y, float z, float clearance, float moveStep, int filed) {
  RefGround out{z, false, {}};
  const double threshold = static_cast<double>(kPi + kPi) - 0.1;
  for (int k = 0; k < filed; ++k) {
    const float to0 = SquaredDistance(x, y, v0);
    const float to1 = SquaredDistance(x, y, v1);
    const float to2 = SquaredDistance(x, y, v2);
    const float angle1 = Angle(to0, to2, plane.edge02);
    const float angle2 = Angle(to1, to2, plane.edge12);
    const float angle3 = Angle(to1, to0, plane.edge01);
    const float sum =
        static_cast<float>(static_cast<double>(angle1) + static_cast<double>(angle2) + static_cast<double>(angle3));
    if (sum > threshold) {
      const double t = static_cast<double>(plane.a) * x + static_cast<double>(plane.b) * y +
                       static_cast<double>(plane.c) * (static_cast<double>(out.z) - 100) +
                       static_cast<double>(plane.d);
      if (t > 0) out.found = true;
      const float h = static_cast<float>(
          -(static_cast<double>(plane.a) * x + static_cast<double>(plane.b) * y + static_cast<double>(plane.d)) /
          static_cast<double>(plane.c));
      // A vertical face has no ground height; it neither lifts nor sinks the glider.
      if (std::isfinite(h)) {
        if (static_cast<double>(clearance) > static_cast<double>(out.z) - static_cast<double>(h)) {
          out.z = static_cast<float>(static_cast<double>(h) + static_cast<double>(clearance));
          out.markers.push_back(Marker(0, 1, 0.1f, v0, v2, v1));
        }
        out.z = static_cast<float>(static_cast<double>(out.z) - static_cast<double>(moveStep) / 2);
      }
    }
    out.markers.push_back(Marker(1, 0, 0.05f, v0, v2, v1));
  }
  return out;
}
