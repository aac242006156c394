// The function keys, the face grid's guards and vertical faces: what the exact comparison never samples.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/app.h"
#include "physics/physics.h"
#include "scene_reset.h"

namespace {

class Physics : public testing::Test {
 protected:
  void SetUp() override {
    ResetScene();
    std::fill(std::begin(keys), std::end(keys), 0);
    ResetGlader();
    GroundFollowOn = 1;
    CameraYaw = CameraPitch = 0;
    NamFace = 0;
    DrawFaceMarker = [](float, float, float, const CVertex3*) {};  // no GL context here
    TurnStep = 0.1f;
    MoveStep = 1;
    GroundClearance = 5;
    GridDivisions = 10;
  }
  // The terrain mesh from mesh text, with its bounds, and the grid built over it.
  void BuildTerrain(const std::string& text) {
    CountLocationFiles = 1;
    ReadModelText(text.data(), text.size());
    LocationModel = {Model};
    funEquationLinePolygon();
  }
  void BuildSingleFace() { BuildTerrain("v  0 0 0\nv  10 0 0\nv  0 10 0\nf 1/1/1 2/2/2 3/3/3\n"); }
  void Frame(int key) {
    keys[key] = 1;
    MoveGlader();
    keys[key] = 0;
  }
  const int32_t* Cell(int column, int row) { return FaceGrid[row][column]; }
};

TEST_F(Physics, FunctionKeysResetToggleAndRebuild) {
  Glader = {1, 2, 3};
  GladerYaw = GladerPitch = CameraYaw = 0.5f;
  Frame(VK_F1);
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
  Frame(VK_F3);
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

TEST_F(Physics, VerticalFacesLeaveTheGliderFinite) {
  BuildTerrain("v  0 0 0\nv  10 10 0\nv  5 5 10\nf 1/1/1 2/2/2 3/3/3\n");
  EXPECT_EQ(FacePlaneTable[0].planeC, 0);
  Glader = {5.1f, 5, 1};
  for (int i = 0; i < 3; ++i) FollowGround();
  EXPECT_TRUE(std::isfinite(Glader.z));
}

}  // namespace
