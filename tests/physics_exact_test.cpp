// The physics bit for bit against its formulas written out step by step (built at -O0), over random states.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <iomanip>

#include "config/config.h"
#include "physics/physics.h"
#include "platform/platform.h"
#include "scene_reset.h"

namespace {

struct RefGlider {
  float x, y, z, yaw, pitch;
};

struct RefHeld {
  bool left, right, down, up, forward, back;
};

struct RefCamera {
  float yaw, pitch;
  CVertex3 eye;
  double lookEye[3], lookCentre[3], lookUp[3];
};

struct RefPlane {
  float a, b, c, d, edge02, edge12, edge01;
};

struct RefMarker {
  float red, green;
  CVertex3 corners[3];
};

struct RefGround {
  float z;
  bool found;  // the plane test passed at least once
  std::vector<RefMarker> markers;
};

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

constexpr int kSamples = 100000;

bool Same(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }
bool Same(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }
bool Same(const CVertex3& a, const CVertex3& b) { return Same(a.x, b.x) && Same(a.y, b.y) && Same(a.z, b.z); }
bool Same(const RefMarker& a, const RefMarker& b) {
  return Same(a.red, b.red) && Same(a.green, b.green) && Same(a.corners[0], b.corners[0]) &&
         Same(a.corners[1], b.corners[1]) && Same(a.corners[2], b.corners[2]);
}

class ExactPhysics : public testing::Test {
 protected:
  void SetUp() override {
    ResetScene();
    std::fill(std::begin(keys), std::end(keys), 0);
    ResetGlader();
    CameraYaw = CameraPitch = 0;
  }
  void TearDown() override {
    ApplyLookAt = nullptr;
    DrawFaceMarker = nullptr;
    LocationModel.clear();
  }
  float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }
  RefGlider RandomGlider() {
    return {Uniform(-1000, 1000), Uniform(-1000, 1000), Uniform(-200, 200), Uniform(0, PI + PI), Uniform(-1.8f, 1.6f)};
  }
  void Place(const RefGlider& g) {
    Glader = CVertex3{g.x, g.y, g.z};
    GladerYaw = g.yaw;
    GladerPitch = g.pitch;
  }
  std::mt19937 random{12345};
};

TEST_F(ExactPhysics, MoveGladerMatchesTheFormulas) {
  for (int i = 0; i < kSamples; ++i) {
    RefGlider before = RandomGlider();
    if (i % 8 == 0) before.yaw = i % 16 ? 0 : 6.25f;  // at the ends, where turns wrap and drop the excess
    const unsigned bits = random();
    const RefHeld held{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0, (bits & 16) != 0,
                       (bits & 32) != 0};
    const unsigned codes[] = {VK_LEFT, VK_RIGHT, VK_DOWN, VK_UP, 'W', 'S'};
    for (int k = 0; k < 6; ++k) keys[codes[k]] = (bits >> k) & 1;
    TurnStep = i % 24 == 0 ? 0 : Uniform(0, 0.5f);
    MoveStep = Uniform(0, 10);
    Place(before);
    MoveGlader();
    const RefGlider want = RefMoveGlader(before, held, TurnStep, MoveStep);
    ASSERT_TRUE(Same(Glader, CVertex3{want.x, want.y, want.z}) && Same(GladerYaw, want.yaw) && Same(GladerPitch, want.pitch))
        << "sample " << i << ", keys " << (bits & 63);
  }
}

double lookAt[9];
void RecordLookAt(const double eye[3], const double centre[3], const double up[3]) {
  for (int k = 0; k < 3; ++k) lookAt[k] = eye[k], lookAt[3 + k] = centre[k], lookAt[6 + k] = up[k];
}

TEST_F(ExactPhysics, PositionCameraAndItsLookAtMatchTheFormulas) {
  ApplyLookAt = RecordLookAt;
  for (int i = 0; i < kSamples; ++i) {
    const RefGlider glider = RandomGlider();
    RefCamera want{Uniform(-7, 13), Uniform(-1.8f, 1.6f), {}, {}, {}, {}};
    CameraDistance = i % 100 == 0 ? 0 : Uniform(0, 100);
    CameraYawStep = Uniform(0, 0.2f);
    CameraPitchStep = Uniform(0, 0.2f);
    Place(glider);
    CameraYaw = want.yaw;
    CameraPitch = want.pitch;
    PositionCamera();
    RefPositionCamera(glider, CameraDistance, CameraYawStep, CameraPitchStep, &want);
    ASSERT_TRUE(Same(CameraYaw, want.yaw) && Same(CameraPitch, want.pitch) && Same(CameraEye, want.eye))
        << "sample " << i;
    for (int k = 0; k < 3; ++k)
      ASSERT_TRUE(Same(lookAt[k], want.lookEye[k]) && Same(lookAt[3 + k], want.lookCentre[k]) &&
                  Same(lookAt[6 + k], want.lookUp[k]))
          << "sample " << i << ", look-at " << k;
  }
}

// A mesh of random triangles owned by the test; element 0 of the vertices is the zero element.
struct RandomMesh {
  std::vector<CVertex3> vertices{CVertex3{0, 0, 0}};
  std::vector<CFace> faces;
  std::vector<CVertex2> coords;
  void Install() {
    coords.assign(vertices.size(), CVertex2{0, 0});
    CModel model{static_cast<int32_t>(vertices.size() - 1), vertices.data(), 0, coords.data(),
                 static_cast<int32_t>(faces.size()), faces.data()};
    LocationModel = {model};
    minX = maxX = vertices[1].x;
    minY = maxY = vertices[1].y;
    for (size_t i = 1; i < vertices.size(); ++i) {
      minX = std::min(minX, vertices[i].x);
      maxX = std::max(maxX, vertices[i].x);
      minY = std::min(minY, vertices[i].y);
      maxY = std::max(maxY, vertices[i].y);
    }
  }
};

TEST_F(ExactPhysics, FacePlanesCellSizesAndFilingMatchTheFormulas) {
  constexpr int kFacesPerMesh = 1000;
  for (int mesh = 0; mesh < kSamples / kFacesPerMesh; ++mesh) {
    RandomMesh m;
    for (int f = 0; f < kFacesPerMesh; ++f) {
      for (int k = 0; k < 3; ++k) m.vertices.push_back(CVertex3{Uniform(-500, 500), Uniform(-500, 500), Uniform(-50, 50)});
      const int32_t last = static_cast<int32_t>(m.vertices.size()) - 1;
      m.faces.push_back(CFace{{last - 2, last - 1, last}});
    }
    m.Install();
    GridDivisions = Uniform(10, 40);
    funEquationLinePolygon();
    const float dx = RefCellSize(minX, maxX, GridDivisions), dy = RefCellSize(minY, maxY, GridDivisions);
    ASSERT_TRUE(Same(deltaMatrixX, dx) && Same(deltaMatrixY, dy)) << deltaMatrixX << ' ' << deltaMatrixY;
    ASSERT_EQ(FacePlaneTable.size(), m.faces.size());
    std::vector<int> filed(GridCells * GridCells, 0);
    for (size_t f = 0; f < m.faces.size(); ++f) {
      const CVertex3* v[3];
      for (int k = 0; k < 3; ++k) v[k] = &m.vertices[static_cast<size_t>(m.faces[f].Index[k])];
      const RefPlane want = RefFacePlane(*v[0], *v[1], *v[2]);
      const FacePlane& got = FacePlaneTable[f];
      ASSERT_TRUE(Same(got.planeA, want.a) && Same(got.planeB, want.b) && Same(got.planeC, want.c) &&
                  Same(got.planeD, want.d) && Same(got.edge02, want.edge02) && Same(got.edge12, want.edge12) &&
                  Same(got.edge01, want.edge01))
          << "mesh " << mesh << ", face " << f;
      for (const CVertex3* corner : {v[0], v[2], v[1]}) {
        const int column = RefCellIndex(corner->x, minX, dx), row = RefCellIndex(corner->y, minY, dy);
        const int n = ++filed[static_cast<size_t>(row * GridCells + column)];
        const int32_t* cell = FaceGrid[row][column];
        ASSERT_TRUE(cell[0] >= n && cell[n] == static_cast<int32_t>(f)) << "face " << f << " not filed in its corner's cell";
      }
    }
    for (int row = 0; row < GridCells; ++row)
      for (int column = 0; column < GridCells; ++column)
        ASSERT_EQ(FaceGrid[row][column][0], filed[static_cast<size_t>(row * GridCells + column)]) << column << "," << row;
  }
}

std::vector<RefMarker> drawn;
void RecordMarker(float red, float green, float, const CVertex3 corners[3]) {
  drawn.push_back(RefMarker{red, green, {corners[0], corners[1], corners[2]}});
}

TEST_F(ExactPhysics, FollowGroundMatchesTheFormulas) {
  constexpr int kPositionsPerFace = 100;
  DrawFaceMarker = RecordMarker;
  int passed = 0;
  for (int face = 0; face < kSamples / kPositionsPerFace; ++face) {
    RandomMesh m;
    for (int k = 0; k < 3; ++k) m.vertices.push_back(CVertex3{Uniform(-100, 100), Uniform(-100, 100), Uniform(-20, 20)});
    m.faces.push_back(CFace{{1, 2, 3}});
    m.Install();
    GridDivisions = Uniform(0.5f, 3);
    funEquationLinePolygon();
    const CVertex3 &v0 = m.vertices[1], &v1 = m.vertices[2], &v2 = m.vertices[3];
    const RefPlane plane = RefFacePlane(v0, v1, v2);
    const float dx = RefCellSize(minX, maxX, GridDivisions), dy = RefCellSize(minY, maxY, GridDivisions);
    for (int i = 0; i < kPositionsPerFace; ++i) {
      const float x = Uniform(minX - 1, maxX + 1), y = Uniform(minY - 1, maxY + 1), z = Uniform(-40, 140);
      GroundClearance = Uniform(0, 10);
      MoveStep = Uniform(0, 4);
      Glader = CVertex3{x, y, z};
      NamFace = -1;
      drawn.clear();
      FollowGround();
      const int column = RefCellIndex(x, minX, dx), row = RefCellIndex(y, minY, dy);
      int filed = 0;
      for (const CVertex3* corner : {&v0, &v2, &v1})
        filed += RefCellIndex(corner->x, minX, dx) == column && RefCellIndex(corner->y, minY, dy) == row;
      const RefGround want = RefFollowFace(v0, v1, v2, plane, x, y, z, GroundClearance, MoveStep, filed);
      passed += want.found;
      bool same = Same(Glader.z, want.z) && NamFace == (want.found ? 0 : -1) && indexCoordX == column &&
                  indexCoordY == row && drawn.size() == want.markers.size();
      for (size_t k = 0; same && k < drawn.size(); ++k) same = Same(drawn[k], want.markers[k]);
      ASSERT_TRUE(same) << std::setprecision(9) << "at " << x << ' ' << y << ' ' << z << ": z " << Glader.z << " for " << want.z;
    }
  }
  // The samples must reach the plane test often enough to mean something.
  EXPECT_GT(passed, kSamples / 10);
}

}  // namespace
