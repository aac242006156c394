// Frames of a small scene in the real window, the overlay's lines, and the order of the per-frame work.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>

#include "gl_window.h"
#include "physics/physics.h"
#include "render/render.h"
#include "scene_reset.h"
#include "support.h"

namespace {

struct Shot {
  RGBImage* image = nullptr;
  ~Shot() {
    if (image) std::free(image->data), std::free(image);
  }
  // Pixel counted from the top-left corner.
  const uint8_t* At(int x, int y) const { return image->data + (static_cast<size_t>(image->height - 1 - y) * image->width + x) * 3; }
  int Count(int x0, int y0, int x1, int y1, bool (*match)(const uint8_t*)) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += match(At(x, y));
    return n;
  }
};

bool IsBlack(const uint8_t* p) { return p[0] < 40 && p[1] < 40 && p[2] < 40; }
bool IsGreen(const uint8_t* p) { return p[1] > 100 && p[0] < 60 && p[2] < 60; }
bool IsRed(const uint8_t* p) { return p[0] > 150 && p[1] < 60 && p[2] < 60; }
bool IsMagenta(const uint8_t* p) { return p[0] > 200 && p[1] < 60 && p[2] > 200; }

class SmallScene : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    WriteSmallScene();
  }
  void Fly(const std::string& script, int frames, Shot* shot) {
    WriteFile("flight.keys", script);
    DemoProcess demo({"--batch", "-C", dir.path(), "--keys", "flight.keys", "--frames", std::to_string(frames),
                      "--screenshot", "shot.bmp"});
    ASSERT_EQ(demo.Wait(60), 0);
    shot->image = LoadDIBImage("shot.bmp");
    ASSERT_NE(shot->image, nullptr);
    ASSERT_EQ(shot->image->width, 800);
  }
  ScratchDir dir;
};

TEST_F(SmallScene, TerrainGliderOverlayAndSkyAreWhereTheCameraPutsThem) {
  Shot start, later;
  Fly("", 30, &start);
  EXPECT_GT(start.Count(0, 0, 450, 45, IsBlack), 300) << "overlay text at the top left";
  EXPECT_EQ(start.Count(0, 60, 800, 600, IsBlack), 0) << "no text below the overlay";
  EXPECT_GT(start.Count(0, 450, 800, 600, IsGreen), 50000) << "terrain fills the lower screen";
  EXPECT_GT(start.Count(300, 200, 500, 450, IsRed), 200) << "glider ahead of the camera";
  const int sky = start.Count(0, 0, 800, 600, IsMagenta);
  EXPECT_GT(sky, 2000) << "sky panel";
  Fly("1 down W\n200 up W\n", 230, &later);
  EXPECT_GT(later.Count(300, 200, 500, 450, IsRed), 200);
  EXPECT_NEAR(later.Count(0, 0, 800, 600, IsMagenta), sky, sky / 20) << "the sky keeps its distance from the eye";
  EXPECT_GT(later.Count(0, 450, 800, 600, IsGreen), 50000);
}

TEST(OverlayLines, NegativesAndTheLongestLine) {
  ResetScene();
  Glader = {-1.5f, 2.25f, -0.125f};
  NamFace = 12;
  indexCoordX = -1;
  indexCoordY = 254;
  char lines[3][255];
  FormatOverlayLines(lines);
  EXPECT_STREQ(lines[0], "Glader.x= -1.500000  Glader.y= 2.250000  Glader.z= -0.125000");
  EXPECT_STREQ(lines[1], "minX= 0.000000 maxX= 0.000000 minY= 0.000000 maxY= 0.000000");
  EXPECT_STREQ(lines[2], "NamFace= 12   indexCoordX= -1   indexCoordY= 254");
  minX = minY = maxX = maxY = -FLT_MAX;
  FormatOverlayLines(lines);
  EXPECT_EQ(std::strlen(lines[1]), 215u);
}

// Counts the mesh draws of a frame through the camera lag, which advances once per draw.
class FrameOrder : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (HaveDisplay()) OpenTestWindow();
  }
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    ResetScene();
    bLoaded = 1;
    const std::string mesh = "v  0 0 0\nv  10 0 0\nv  0 10 0\nf 1/1/1 2/2/2 3/3/3\n";
    ReadModelText(mesh.data(), mesh.size());
    GladerModel = {Model};
    GladerTexture = {0};
    CameraYawStep = 0.05f;
    GladerYaw = 1.0f;
    CameraYaw = 0.5f;
    GroundFollowOn = 1;
  }
  void AddEntry(std::vector<CLinkInfo>* links, int* count, std::vector<CModel>* models, std::vector<uint32_t>* textures,
                int positions) {
    CLinkInfo entry{};
    entry.CountPosition = positions;
    links->push_back(entry);
    ++*count;
    models->push_back(Model);
    textures->push_back(0);
  }
  ScratchDir dir;
};

TEST_F(FrameOrder, CameraLagAdvancesOncePerMeshDraw) {
  AddEntry(&LocationLinks, &CountLocationLinks, &LocationModel, &LocationTexture, 1);
  RenderScene();
  EXPECT_FLOAT_EQ(CameraYaw, 0.6f);  // one terrain instance and the glider
  AddEntry(&ObjectsLinks, &CountObjectsLinks, &ObjectsModel, &ObjectsTexture, 3);
  RenderScene();
  EXPECT_FLOAT_EQ(CameraYaw, 0.85f);  // three more for the object's three positions
}

TEST_F(FrameOrder, GroundFollowingRunsOncePerTerrainInstanceAgainstTheFirstMesh) {
  AddEntry(&LocationLinks, &CountLocationLinks, &LocationModel, &LocationTexture, 2);
  minX = minY = 0;
  maxX = maxY = 10;
  GridDivisions = 10;
  GroundClearance = 5;
  MoveStep = 1;
  funEquationLinePolygon();
  Glader = {0.5f, 0.5f, 50};
  RenderScene();
  EXPECT_EQ(Glader.z, 49);  // two half steps
  GroundFollowOn = 0;
  RenderScene();
  EXPECT_EQ(Glader.z, 49);
}

}  // namespace
