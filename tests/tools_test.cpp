// The heightmap converter on a small input, and a scripted flight over the bundled scene replayed twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "image/image.h"
#include "platform/platform.h"
#include "scene_reset.h"
#include "support.h"

namespace {

int RunTool(const std::string& command) { return WEXITSTATUS(std::system((command + " 2>err.txt").c_str())); }

const CModel& ReadMesh(const std::string& name) {
  ResetScene();
  const std::string text = ReadFile(name);
  ReadModelText(text.data(), text.size());
  return Model;
}

TEST(Converters, HeightmapBecomesATerrainInTheLoaderLayout) {
  ScratchDir dir;
  uint8_t pixels[] = {0, 0, 0, 128, 128, 128, 255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 255};
  RGBImage map{3, 2, pixels};
  ASSERT_TRUE(SaveDIBImage("map.bmp", &map));
  ASSERT_EQ(RunTool(std::string(HEIGHTMAP_PATH) + " map.bmp out/hill 5 20"), 0) << ReadFile("err.txt");
  const CModel& m = ReadMesh("out/hill.obj");
  EXPECT_EQ(m.CountVertices, 6);
  EXPECT_EQ(m.CountCoordText, 6);
  EXPECT_EQ(m.CountFace, 4);
  EXPECT_EQ(m.Vertices[3].x, 10);
  EXPECT_EQ(m.Vertices[3].z, 20);
  EXPECT_EQ(m.Vertices[4].y, 5);
  EXPECT_EQ(m.CoordText[3].x, 1);
  EXPECT_NE(ReadFile("out/hill.obj").find("\nv  10 0 20\n"), std::string::npos);
  bBatchMode = 1;
  RGBImage* texture = LoadDIBImage("out/hill.bmp");
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->width, 4);
  EXPECT_EQ(RunTool(std::string(HEIGHTMAP_PATH) + " absent.bmp out/x"), 1);
  EXPECT_NE(ReadFile("err.txt").find("Failed to open DIB file absent.bmp."), std::string::npos);
  EXPECT_EQ(RunTool(std::string(HEIGHTMAP_PATH) + " map.bmp out/x -3"), 2);
  EXPECT_EQ(RunTool(std::string(HEIGHTMAP_PATH)), 2);
}

class BundledScene : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    for (const char* folder : {"dbIlm", "Location", "Horizon", "Objects", "Glader"})
      std::filesystem::copy(std::string(SOURCE_DIR) + "/" + folder, folder, std::filesystem::copy_options::recursive);
    WriteFile("flight.keys",
              "1 down W\n10 down Left\n40 up Left\n120 down F2\n121 up F2\n150 down Down\n160 up Down\n"
              "200 down F2\n201 up F2\n240 down F1\n241 up F1\n250 down Right\n270 up Right\n");
  }
  std::string Fly(const std::string& tag) {
    std::remove("log.txt");
    DemoProcess demo({"--batch", "-C", dir.path(), "--keys", "flight.keys", "--frames", "320", "--overlay",
                      tag + ".txt", "--screenshot", tag + ".png"});
    EXPECT_EQ(demo.Wait(120), 0);
    return ReadFile(tag + ".txt");
  }
  ScratchDir dir;
};

TEST_F(BundledScene, ScriptedFlightReplaysExactly) {
  const std::string first = Fly("first");
  const std::vector<std::string> log = ReadLines("log.txt");
  const std::string second = Fly("second");
  EXPECT_EQ(first, second);
  EXPECT_EQ(ReadFile("first.png"), ReadFile("second.png"));
  EXPECT_EQ(ReadLines("log.txt"), log);
  // F1 at frame 240 puts the glider back at the origin; it then flies 80 frames of 0.6 while Right turns it
  // by 0.03 a frame in frames 250 to 269.
  double wantX = 0, wantY = 0;
  for (int frame = 241; frame <= 320; ++frame) {
    const double yaw = 0.03 * std::clamp(frame - 249, 0, 20);
    wantX += 0.6 * std::cos(yaw);
    wantY -= 0.6 * std::sin(yaw);
  }
  float x = 0, y = 0, z = 0;
  ASSERT_EQ(std::sscanf(first.c_str(), "Glader.x= %f  Glader.y= %f  Glader.z= %f", &x, &y, &z), 3) << first;
  EXPECT_NEAR(x, wantX, 0.01);
  EXPECT_NEAR(y, wantY, 0.01);
  EXPECT_NE(first.find("minX= 0.000000 maxX= 448.000000 minY= 0.000000 maxY= 448.000000"), std::string::npos);
  ASSERT_GE(log.size(), 8u);
  EXPECT_EQ(log[6], "6 - LoadFromFile   LoadLink() CountSectionLinkInfo - 3");
  EXPECT_NE(std::find(log.begin(), log.end(), "17 - Physics   funEquationLinePolygon() deltaMatrixX - 4.48"), log.end());
  EXPECT_EQ(log.back(), std::to_string(log.size() - 1) + " - main  WPARAM MainLoop()  - 0");
}

}  // namespace
