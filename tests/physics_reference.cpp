// The flight formulas written out step by step; compiled at -O0 so that every narrowing to float stays.
#include "tests/physics_reference.h"

#include <cmath>

static const float kPi = 3.14159274f;

static double Wide(float f) { return static_cast<double>(f); }
static double Wide(double) = delete;  // only floats are widened here
static float NarrowCos(float a) { return static_cast<float>(std::cos(Wide(a))); }
static float NarrowSin(float a) { return static_cast<float>(std::sin(Wide(a))); }

RefGlider RefMoveGlader(RefGlider g, const RefHeld& held, float turnStep, float moveStep) {
  const float twoPi = kPi + kPi;
  const double step = turnStep;
  const double move = moveStep;
  if (held.left) {
    g.yaw = static_cast<float>(Wide(g.yaw) - step);
    if (g.yaw < 0) g.yaw = twoPi;
  }
  if (held.right) {
    g.yaw = static_cast<float>(Wide(g.yaw) + step);
    if (g.yaw > twoPi) g.yaw = 0;
  }
  const double halfPi = Wide(kPi) / 2;
  if (held.down && g.pitch > -(halfPi + 0.1)) g.pitch = static_cast<float>(Wide(g.pitch) - step);
  if (held.up && g.pitch < halfPi - 0.1) g.pitch = static_cast<float>(Wide(g.pitch) + step);
  const float cosPitch = NarrowCos(-g.pitch);
  const float sinPitch = NarrowSin(g.pitch);
  const float cosYaw = NarrowCos(g.yaw);
  const float sinYaw = NarrowSin(g.yaw);
  if (held.forward) {
    double dx = Wide(cosPitch) * Wide(cosYaw);
    dx = dx * move;
    double dy = Wide(cosPitch) * Wide(sinYaw);
    dy = dy * move;
    const double dz = Wide(sinPitch) * move;
    g.x = static_cast<float>(Wide(g.x) + dx);
    g.y = static_cast<float>(Wide(g.y) - dy);
    g.z = static_cast<float>(Wide(g.z) - dz);
  }
  if (held.back) {
    double dx = Wide(cosYaw) * move;
    dx = dx * Wide(cosPitch);
    double dy = Wide(sinYaw) * move;
    dy = dy * Wide(cosPitch);
    const double dz = Wide(sinPitch) * move;
    g.x = static_cast<float>(Wide(g.x) - dx);
    g.y = static_cast<float>(Wide(g.y) + dy);
    g.z = static_cast<float>(Wide(g.z) + dz);
  }
  return g;
}

void RefPositionCamera(const RefGlider& g, float distance, float yawStep, float pitchStep, RefCamera* camera) {
  const double twoPi = Wide(kPi) + Wide(kPi);
  const float d = static_cast<float>(Wide(g.yaw) - Wide(camera->yaw));
  if (d > kPi) camera->yaw = static_cast<float>(Wide(camera->yaw) + twoPi);
  if (camera->yaw <= g.yaw) {
    if (d > kPi) camera->yaw = static_cast<float>(Wide(camera->yaw) + twoPi);
    camera->yaw = static_cast<float>(Wide(camera->yaw) + Wide(yawStep));
  }
  if (camera->yaw > g.yaw) {
    if (d < kPi) camera->yaw = static_cast<float>(Wide(camera->yaw) - twoPi);
    camera->yaw = static_cast<float>(Wide(camera->yaw) - Wide(yawStep));
  }
  if (camera->yaw >= twoPi) camera->yaw = static_cast<float>(Wide(camera->yaw) - twoPi);
  if (camera->pitch < g.pitch) camera->pitch = static_cast<float>(Wide(camera->pitch) + Wide(pitchStep));
  if (camera->pitch > g.pitch) camera->pitch = static_cast<float>(Wide(camera->pitch) - Wide(pitchStep));
  const float cosYaw = NarrowCos(-camera->yaw);
  const float sinYaw = NarrowSin(-camera->yaw);
  const float cosPitch = NarrowCos(-camera->pitch);
  const float sinPitch = NarrowSin(-camera->pitch);
  const double D = distance;
  double ex = Wide(cosYaw) * D;
  ex = ex * Wide(cosPitch);
  double ey = Wide(sinYaw) * D;
  ey = ey * Wide(cosPitch);
  const double ez = Wide(sinPitch) * D;
  camera->eye.x = static_cast<float>(Wide(g.x) - ex);
  camera->eye.y = static_cast<float>(Wide(g.y) - ey);
  camera->eye.z = static_cast<float>(Wide(g.z) - ez);
  camera->lookEye[0] = camera->eye.x;
  camera->lookEye[1] = camera->eye.y;
  camera->lookEye[2] = Wide(camera->eye.z) + 15;
  camera->lookCentre[0] = g.x;
  camera->lookCentre[1] = g.y;
  camera->lookCentre[2] = g.z;
  // Straight above or below the glider the camera's heading stands in for the up vector.
  const double dx = camera->lookCentre[0] - camera->lookEye[0];
  const double dy = camera->lookCentre[1] - camera->lookEye[1];
  const double dz = camera->lookCentre[2] - camera->lookEye[2];
  const bool plumb = dx * dx + dy * dy <= 1e-12 * (dx * dx + dy * dy + dz * dz);
  camera->lookUp[0] = plumb ? Wide(cosYaw) : 0.0;
  camera->lookUp[1] = plumb ? Wide(sinYaw) : 0.0;
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
  return static_cast<float>((Wide(high) - Wide(low)) / Wide(divisions));
}

int RefCellIndex(float coordinate, float low, float cellSize) {
  const double q = (Wide(coordinate) - Wide(low)) / Wide(cellSize);
  return static_cast<int>(q) + 1;
}

static float SquaredDistance(float x, float y, const CVertex3& v) {
  const double dx = Wide(x) - Wide(v.x);
  const double dy = Wide(y) - Wide(v.y);
  return static_cast<float>(dx * dx + dy * dy);
}

static float Angle(float p, float q, float e) {
  const float rootQ = static_cast<float>(std::sqrt(Wide(q)));
  const float rootP = static_cast<float>(std::sqrt(Wide(p)));
  const double below = Wide(rootQ) * (Wide(rootP) * 2);
  const float cosine = static_cast<float>((Wide(p) + Wide(q) - Wide(e)) / below);
  return static_cast<float>(std::acos(Wide(cosine)));
}

static RefMarker Marker(float red, float green, float offset, const CVertex3& v0, const CVertex3& v2, const CVertex3& v1) {
  RefMarker m{red, green, {v0, v2, v1}};
  for (CVertex3& c : m.corners) c.z = static_cast<float>(Wide(c.z) + Wide(offset));
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
    const float sum = static_cast<float>(Wide(angle1) + Wide(angle2) + Wide(angle3));
    if (sum > threshold) {
      const double t = Wide(plane.a) * x + Wide(plane.b) * y + Wide(plane.c) * (Wide(out.z) - 100) + Wide(plane.d);
      if (t > 0) out.found = true;
      const float h = static_cast<float>(-(Wide(plane.a) * x + Wide(plane.b) * y + Wide(plane.d)) / Wide(plane.c));
      // A vertical face has no ground height; it neither lifts nor sinks the glider.
      if (std::isfinite(h)) {
        if (Wide(clearance) > Wide(out.z) - Wide(h)) {
          out.z = static_cast<float>(Wide(h) + Wide(clearance));
          out.markers.push_back(Marker(0, 1, 0.1f, v0, v2, v1));
        }
        out.z = static_cast<float>(Wide(out.z) - Wide(moveStep) / 2);
      }
    }
    out.markers.push_back(Marker(1, 0, 0.05f, v0, v2, v1));
  }
  return out;
}
