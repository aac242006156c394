// Worked examples on the edges that random states never hit exactly: wraps, ties, vertices, guards, function keys.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/app.h"
#include "physics/physics.h"
#include "scene_reset.h"

namespace {

int marked;  // face markers drawn

class Physics : public testing::Test {
 protected:
  void SetUp() override {
    ResetScene();
    std::fill(std::begin(keys), std::end(keys), 0);
    ResetGlader();
    GroundFollowOn = 1;
    CameraYaw = CameraPitch = 0;
    NamFace = 0;
    marked = 0;
    DrawFaceMarker = [](float, float, float, const CVertex3*) { ++marked; };
    TurnStep = 0.1f;
    MoveStep = 1;
    GroundClearance = 5;
    GridDivisions = 10;
    CameraYawStep = 0.05f;
    CameraPitchStep = 0.02f;
    CameraDistance = 10;
  }
  // The terrain mesh from mesh text, with its bounds, and the grid built over it.
  void BuildTerrain(const std::string& text) {
    CountLocationFiles = 1;
    ReadModelText(text.data(), text.size());
    LocationModel = {Model};
    funEquationLinePolygon();
  }
  void BuildSingleFace() { BuildTerrain("v  0 0 0\nv  10 0 0\nv  0 10 0\nf 1/1/1 2/2/2 3/3/3\n"); }
  void Frame(std::initializer_list<int> held) {
    for (int k : held) keys[k] = 1;
    MoveGlader();
    for (int k : held) keys[k] = 0;
  }
  const int32_t* Cell(int column, int row) { return FaceGrid[row][column]; }
  // The camera's angle after each call, starting from `camera` behind the glider's `glider`.
  void ExpectLag(float* angle, float* gliderAngle, float glider, float camera, const std::vector<double>& want) {
    *gliderAngle = glider;
    *angle = camera;
    for (size_t i = 0; i < want.size(); ++i) {
      PositionCamera();
      EXPECT_NEAR(*angle, want[i], 2e-6) << "call " << i << " from " << camera << " behind " << glider;
    }
  }
};

TEST_F(Physics, FunctionKeysResetToggleAndRebuild) {
  Glader = {1, 2, 3};
  GladerYaw = GladerPitch = CameraYaw = 0.5f;
  Frame({VK_F1});
  EXPECT_EQ(Glader.x + Glader.y + Glader.z + GladerYaw + GladerPitch, 0);
  EXPECT_EQ(CameraYaw, 0.5f);
  keys[VK_F2] = 1;
  int flags[3];
  for (int& flag : flags) {
    MoveGlader();
    flag = GroundFollowOn;
  }
  EXPECT_EQ(flags[0] * 100 + flags[1] * 10 + flags[2], 10);
  keys[VK_F2] = 0;
  BuildSingleFace();
  LogLevel = 1;
  GridDivisions = 5;
  Frame({VK_F3});
  EXPECT_EQ(deltaMatrixX, 2);
}

TEST_F(Physics, BuildsNeverFileOutsideTheGridOrPastAFullCell) {
  BuildSingleFace();  // the last corner filed, V1 at (10, 0), is the cell shown
  EXPECT_EQ(indexCoordX * 100 + indexCoordY, 1101);
  std::string text = "v  0 0 0\nv  1000 1000 0\nv  0.01 0 0\nv  0 0.01 0\n";
  for (int i = 0; i < 300; ++i) text += "f 1/1/1 3/3/3 4/4/4\n";
  text += "f 1/1/1 2/2/2 3/3/3\n";
  GridDivisions = 300;  // the far corner lands in column 301
  BuildTerrain(text);
  EXPECT_EQ(Cell(1, 1)[0], 254);
  GridDivisions = 0;
  funEquationLinePolygon();
  EXPECT_EQ(Cell(1, 1)[0], 0);
  GridDivisions = 10;
  LocationModel.clear();
  funEquationLinePolygon();
  EXPECT_TRUE(FacePlaneTable.empty());
  Glader = {1, 1, 50};
  FollowGround();
  EXPECT_EQ(Glader.z, 50);
  Glader = {-1e30f, 1e30f, 50};
  BuildSingleFace();
  FollowGround();
  EXPECT_EQ(indexCoordX, -1);
  EXPECT_EQ(Glader.z, 50);
}

TEST_F(Physics, EmptyCellsCornersAndTheInsideBoundary) {
  BuildSingleFace();
  Glader = {2, 2, 50};
  FollowGround();
  EXPECT_EQ(Glader.z, 50);
  EXPECT_EQ(marked, 0);
  EXPECT_EQ(indexCoordX, 3);
  const struct {
    float x, y;
    bool inside;
  } points[] = {{0, 0, false}, {-0.1f, 5, true}, {-0.3f, 5, false}, {5, 5.2f, true}, {5, 5.3f, false}};
  GridDivisions = 1;  // one cell holds the whole face
  funEquationLinePolygon();
  for (const auto& p : points) {
    Glader = {p.x, p.y, 50};
    FollowGround();
    EXPECT_EQ(Glader.z, p.inside ? 49.5f : 50) << p.x << ", " << p.y;
  }
}

TEST_F(Physics, VerticalFacesLeaveTheGliderFinite) {
  BuildTerrain("v  0 0 0\nv  10 10 0\nv  5 5 10\nf 1/1/1 2/2/2 3/3/3\n");
  EXPECT_EQ(FacePlaneTable[0].planeC, 0);
  Glader = {5.1f, 5, 1};
  for (int i = 0; i < 3; ++i) FollowGround();
  EXPECT_TRUE(std::isfinite(Glader.z));
}

// The lag steps and the eye where the angles tie or wrap; the random states of the exact comparison cover the rest.
TEST_F(Physics, CameraLagSequencesAndTheLevelEye) {
  const double t = static_cast<double>(PI + PI);
  ExpectLag(&CameraYaw, &GladerYaw, 1.0f, 0.5f, {0.55, 0.6, 0.65});
  ExpectLag(&CameraYaw, &GladerYaw, 1.0f, 0.99f, {0.99 - t, 0.99});
  ExpectLag(&CameraYaw, &GladerYaw, 0, 0, {-t, 0});
  ExpectLag(&CameraYaw, &GladerYaw, 4.0f, 0, {t - 0.05, -0.1, t - 0.15, -0.2});
  ExpectLag(&CameraYaw, &GladerYaw, 0.1f, 6.2f, {6.15 - t, 6.2 - t, 6.25 - t, 6.3 - t, 6.35 - t, 6.35 - 2 * t});  // holds from the fifth
  ExpectLag(&CameraPitch, &GladerPitch, 0.05f, 0, {0.02, 0.04, 0.04, 0.04});
  GladerPitch = CameraPitch = GladerYaw = CameraYaw = CameraYawStep = 0;
  PositionCamera();
  EXPECT_EQ((std::vector<float>{CameraEye.x, CameraEye.y, CameraEye.z}), (std::vector<float>{-10, 0, 0}));
}

}  // namespace
