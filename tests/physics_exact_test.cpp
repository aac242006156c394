// The physics against the plain formulas, bit for bit, over random states: no build may round differently.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <iomanip>

#include "config/config.h"
#include "physics/physics.h"
#include "platform/platform.h"
#include "scene_reset.h"
#include "tests/physics_reference.h"

namespace {

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
    const RefGlider before = RandomGlider();
    const unsigned bits = random();
    const RefHeld held{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0, (bits & 16) != 0,
                       (bits & 32) != 0};
    const unsigned codes[] = {VK_LEFT, VK_RIGHT, VK_DOWN, VK_UP, 'W', 'S'};
    for (int k = 0; k < 6; ++k) keys[codes[k]] = (bits >> k) & 1;
    TurnStep = Uniform(0, 0.5f);
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
