// Glider controls, the face grid, ground following and the chase camera, on the worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/app.h"
#include "physics/physics.h"
#include "scene_reset.h"

namespace {

struct Marker {
  float red, green;
  CVertex3 corners[3];
};
std::vector<Marker> markers;
void RecordMarker(float red, float green, float, const CVertex3 corners[3]) {
  markers.push_back({red, green, {corners[0], corners[1], corners[2]}});
}

class Physics : public testing::Test {
 protected:
  void SetUp() override {
    ResetScene();
    std::fill(std::begin(keys), std::end(keys), 0);
    ResetGlader();
    GroundFollowOn = 1;
    CameraYaw = CameraPitch = 0;
    NamFace = 0;
    markers.clear();
    DrawFaceMarker = RecordMarker;
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
  void Frame(std::initializer_list<int> held, int frames = 1) {
    for (int k : held) keys[k] = 1;
    for (int i = 0; i < frames; ++i) MoveGlader();
    for (int k : held) keys[k] = 0;
  }
  const int32_t* Cell(int column, int row) { return FaceGrid[row][column]; }
};

const float kTwoPi = PI + PI;

TEST_F(Physics, TurnsWrapToTheEndsAndDropTheExcess) {
  Frame({VK_LEFT});
  EXPECT_EQ(GladerYaw, kTwoPi);
  Frame({VK_LEFT});
  EXPECT_EQ(GladerYaw, static_cast<float>(kTwoPi - 0.1));
  GladerYaw = 6.25f;
  Frame({VK_RIGHT});
  EXPECT_EQ(GladerYaw, 0);
  Frame({VK_LEFT, VK_RIGHT});
  EXPECT_EQ(GladerYaw, 0);
  TurnStep = 0;
  Frame({VK_LEFT});
  EXPECT_EQ(GladerYaw, 0);
}

TEST_F(Physics, PitchLimitsAreTestedBeforeTheStep) {
  TurnStep = 0.05f;
  GladerPitch = 1.45f;
  Frame({VK_UP}, 1);
  EXPECT_FLOAT_EQ(GladerPitch, 1.5f);
  Frame({VK_UP}, 5);
  EXPECT_FLOAT_EQ(GladerPitch, 1.5f);
  GladerPitch = -1.65f;
  Frame({VK_DOWN}, 1);
  EXPECT_FLOAT_EQ(GladerPitch, -1.7f);
  Frame({VK_DOWN}, 5);
  EXPECT_FLOAT_EQ(GladerPitch, -1.7f);
}

TEST_F(Physics, ForwardAndBackAlongHeadingAndPitch) {
  const float c = std::cos(PI / 4), s = std::sin(PI / 4);
  const struct {
    CVertex3 start;
    float yaw, pitch;
    std::initializer_list<int> held;
    CVertex3 want;
  } cases[] = {{{0, 0, 0}, 0, 0, {'W'}, {1, 0, 0}},
               {{0, 0, 0}, PI / 2, 0, {'W'}, {0, -1, 0}},
               {{0, 0, 0}, 0, PI / 4, {'W'}, {c, 0, -s}},
               {{3, 4, 5}, 1, 0, {'W', 'S'}, {3, 4, 5}}};
  for (const auto& k : cases) {
    Glader = k.start;
    GladerYaw = k.yaw;
    GladerPitch = k.pitch;
    Frame(k.held);
    EXPECT_NEAR(Glader.x, k.want.x, 1e-6);
    EXPECT_NEAR(Glader.y, k.want.y, 1e-6);
    EXPECT_NEAR(Glader.z, k.want.z, 1e-6);
  }
}

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

TEST_F(Physics, SingleFacePlaneEdgesAndCells) {
  LogLevel = 1;
  BuildSingleFace();
  EXPECT_EQ(deltaMatrixX, 1);
  EXPECT_EQ(deltaMatrixY, 1);
  const FacePlane& p = FacePlaneTable[0];
  EXPECT_EQ((std::vector<float>{p.planeA, p.planeB, p.planeC, p.planeD, p.edge02, p.edge12, p.edge01}),
            (std::vector<float>{0, 0, -100, 0, 100, 200, 100}));
  EXPECT_EQ((std::vector<int>{Cell(1, 1)[0], Cell(1, 11)[0], Cell(11, 1)[0], Cell(11, 1)[1], Cell(2, 2)[0]}),
            (std::vector<int>{1, 1, 1, 0, 0}));
  EXPECT_EQ(indexCoordX * 100 + indexCoordY, 1101);
  BuildTerrain("v  0 0 0\nv  0 10 0\nv  10 0 0\nf 1/1/1 2/2/2 3/3/3\n");
  EXPECT_EQ(FacePlaneTable[0].planeC, 100);
}

TEST_F(Physics, CellsOfTheGridRuleAndRepeatedBuilds) {
  GridDivisions = 100;
  BuildTerrain("v  0 0 0\nv  100 0 0\nv  99.9 100 0\nv  0.2 0.3 0\nv  0.4 0.1 0\nf 1/1/1 2/2/2 3/3/3\nf 1/1/1 4/4/4 5/5/5\n");
  EXPECT_EQ(Cell(101, 1)[0], 1);  // x = 100
  EXPECT_EQ(Cell(100, 101)[0], 1);  // x = 99.9
  EXPECT_EQ(std::vector<int>(Cell(1, 1), Cell(1, 1) + 5), (std::vector<int>{4, 0, 1, 1, 1}));  // face 0 once, face 1 three times
  funEquationLinePolygon();
  EXPECT_EQ(Cell(1, 1)[0], 4);
  int column, row;
  EXPECT_TRUE(FindCell(-0.5f, 0, &column, &row));
  EXPECT_EQ(column, 1);  // less than one cell below minX truncates toward zero
}

TEST_F(Physics, BuildsNeverFileOutsideTheGridOrPastAFullCell) {
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

TEST_F(Physics, FollowingSinksLiftsAndMarksFaces) {
  BuildSingleFace();
  NamFace = 7;
  Glader = {0.5f, 0.5f, 150};
  FollowGround();
  EXPECT_EQ(NamFace, 7);
  EXPECT_EQ(Glader.z, 149.5f);
  Glader.z = 50;
  markers.clear();
  FollowGround();
  EXPECT_EQ(NamFace, 0);
  EXPECT_EQ(Glader.z, 49.5f);
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_EQ(markers[0].red, 1);
  EXPECT_EQ(markers[0].corners[0].z, 0.05f);
  EXPECT_EQ(markers[0].corners[1].y, 10);  // V0, V2, V1
  Glader.z = 50;
  for (int i = 0; i < 90; ++i) FollowGround();
  EXPECT_EQ(Glader.z, 5);
  FollowGround();
  EXPECT_EQ(Glader.z, 4.5f);
  markers.clear();
  FollowGround();
  EXPECT_EQ(Glader.z, 4.5f);
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].green, 1);
  EXPECT_EQ(markers[0].corners[2].z, 0.1f);
  EXPECT_EQ(markers[1].red, 1);
}

TEST_F(Physics, EmptyCellsCornersAndTheInsideBoundary) {
  BuildSingleFace();
  Glader = {2, 2, 50};
  FollowGround();
  EXPECT_EQ(Glader.z, 50);
  EXPECT_TRUE(markers.empty());
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

TEST_F(Physics, FaceFiledThreeTimesIsHandledThreeTimesAndVerticalFacesStayFinite) {
  BuildTerrain("v  0 0 0\nv  0.5 0 0\nv  0 0.5 0\nv  9 9 0\nf 1/1/1 2/2/2 3/3/3\nf 4/4/4 4/4/4 4/4/4\n");
  Glader = {0.1f, 0.1f, 50};
  FollowGround();
  EXPECT_EQ(Glader.z, 48.5f);
  EXPECT_EQ(markers.size(), 3u);
  BuildTerrain("v  0 0 0\nv  10 10 0\nv  5 5 10\nf 1/1/1 2/2/2 3/3/3\n");
  EXPECT_EQ(FacePlaneTable[0].planeC, 0);
  Glader = {5.1f, 5, 1};
  for (int i = 0; i < 3; ++i) FollowGround();
  EXPECT_TRUE(std::isfinite(Glader.z));
}

class Camera : public Physics {
 protected:
  void SetUp() override {
    Physics::SetUp();
    CameraYawStep = 0.05f;
    CameraPitchStep = 0.02f;
    CameraDistance = 10;
  }
  std::vector<float> Yaws(float glider, float camera, int calls) {
    GladerYaw = glider;
    CameraYaw = camera;
    std::vector<float> out;
    for (int i = 0; i < calls; ++i) {
      PositionCamera();
      out.push_back(CameraYaw);
    }
    return out;
  }
};

void ExpectSequence(const std::vector<float>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 2e-6) << "call " << i;
}

TEST_F(Camera, YawLagSequences) {
  const double t = static_cast<double>(kTwoPi);
  ExpectSequence(Yaws(1.0f, 0.5f, 3), {0.55, 0.6, 0.65});
  ExpectSequence(Yaws(1.0f, 0.99f, 2), {0.99 - t, 0.99});
  ExpectSequence(Yaws(0, 0, 2), {-t, 0});
  ExpectSequence(Yaws(4.0f, 0, 4), {t - 0.05, -0.1, t - 0.15, -0.2});
  ExpectSequence(Yaws(0.1f, 6.2f, 6), {6.15 - t, 6.2 - t, 6.25 - t, 6.3 - t, 6.35 - t, 6.35 - 2 * t});  // holds from the fifth
}

TEST_F(Camera, PitchLagAndEye) {
  GladerPitch = 0.05f;
  for (const float want : {0.02f, 0.04f, 0.04f, 0.04f}) {
    PositionCamera();
    EXPECT_NEAR(CameraPitch, want, 2e-6);
  }
  GladerPitch = CameraPitch = 0;
  GladerYaw = CameraYaw = 0;
  CameraYawStep = 0;
  PositionCamera();
  EXPECT_EQ(CameraEye.x, -10);
  EXPECT_EQ(CameraEye.y, 0);
  EXPECT_EQ(CameraEye.z, 0);
  GladerYaw = CameraYaw = PI / 2;
  PositionCamera();
  EXPECT_NEAR(CameraEye.x, 0, 1e-5);
  EXPECT_NEAR(CameraEye.y, 10, 1e-6);
  GladerYaw = CameraYaw = 0;
  CameraPitchStep = 0;
  GladerPitch = CameraPitch = 0.5f;
  PositionCamera();
  EXPECT_NEAR(CameraEye.x, -10 * std::cos(0.5), 1e-5);
  EXPECT_NEAR(CameraEye.z, 10 * std::sin(0.5), 1e-5);
}

double lookAt[9];
void RecordLookAt(const double eye[3], const double centre[3], const double up[3]) {
  for (int i = 0; i < 3; ++i) lookAt[i] = eye[i], lookAt[3 + i] = centre[i], lookAt[6 + i] = up[i];
}

TEST_F(Camera, LookAtLiftsTheEyeAndStaysDefinedStraightAbove) {
  ApplyLookAt = RecordLookAt;
  Glader = {1, 2, 3};
  CameraYawStep = CameraPitchStep = 0;
  PositionCamera();
  EXPECT_EQ(lookAt[0], -9);
  EXPECT_EQ(lookAt[2], 18);
  EXPECT_EQ(lookAt[5], 3);
  EXPECT_EQ(lookAt[8], 1);
  CameraDistance = 0;
  PositionCamera();
  EXPECT_EQ(lookAt[8], 0);
  EXPECT_EQ(lookAt[6], 1);  // the heading stands in for the up vector
  ApplyLookAt = nullptr;
}

}  // namespace
