// The command line as a user meets it: paths from the start folder, key names, failed saves, a replayed flight.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tests/support.h"

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    std::filesystem::create_directories("scene/dbIlm");
    // Level 0 and no link file: an empty scene that flies at once; steps of 1 make the motion readable.
    WriteFile("scene/dbIlm/setting.ini", "0\nnone.txt\n1\n0.5\n6\n35\n0.01\n0.004\n100\n");
  }
  int Run(const std::vector<std::string>& args) { return DemoProcess(args).Wait(60); }
  ScratchDir dir;
};

TEST_F(CommandLine, RelativePathsAreTakenFromTheStartFolderNotTheSceneFolder) {
  WriteFile("keys.txt", "1 down w\n3 up W\n");
  ASSERT_EQ(Run({"--batch", "-C", "scene", "--frames", "5", "--keys", "keys.txt", "--overlay", "overlay.txt",
                 "--screenshot", "shot.png"}),
            0);
  EXPECT_TRUE(std::filesystem::exists("shot.png"));
  EXPECT_FALSE(std::filesystem::exists("scene/overlay.txt"));
  // Lower-case 'w' held for frames 1 and 2 moves the glider two steps along +X.
  EXPECT_NE(ReadFile("overlay.txt").find("Glader.x= 2.000000 "), std::string::npos) << ReadFile("overlay.txt");
}

TEST_F(CommandLine, KeyNamesMatchInAnyCase) {
  WriteFile("keys.txt", "1 down LEFT\n1 down f1\n2 up left\n2 up F1\n3 down escape\n");
  EXPECT_EQ(Run({"--batch", "-C", "scene", "--frames", "100", "--keys", "keys.txt"}), 0);
  WriteFile("bad.txt", "1 down Leftish\n");
  EXPECT_EQ(Run({"--batch", "-C", "scene", "--keys", "bad.txt"}), 2);
}

TEST_F(CommandLine, AFileThatCannotBeWrittenEndsWithANonZeroCode) {
  EXPECT_EQ(Run({"--batch", "-C", "scene", "--frames", "2", "--screenshot", "missing/folder/shot.png"}), 1);
  EXPECT_EQ(Run({"--batch", "-C", "scene", "--frames", "2", "--overlay", "missing/folder/o.txt"}), 1);
  EXPECT_EQ(Run({"--batch", "-C", "scene", "--frames", "2", "--overlay", "o.txt"}), 0);
  // A FIFO would wait for a reader for ever; it counts as a file that cannot be written.
  ASSERT_EQ(mkfifo("fifo.png", 0666), 0);
  EXPECT_EQ(Run({"--batch", "-C", "scene", "--frames", "2", "--screenshot", "fifo.png", "--overlay", "fifo.png"}), 1);
}

TEST(Version, GlideSaysItsVersion) {
  EXPECT_EQ(RunCapture(DemoPath() + " --version"), std::string("glide ") + GLIDE_VERSION + "\n");
}

namespace {

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
  // F1 at frame 240 puts the glider back at the origin; it then flies 80 frames of 0.185 while Right turns it
  // by 0.03 a frame in frames 250 to 269.
  double wantX = 0, wantY = 0;
  for (int frame = 241; frame <= 320; ++frame) {
    const double yaw = 0.03 * std::clamp(frame - 249, 0, 20);
    wantX += 0.185 * std::cos(yaw);
    wantY -= 0.185 * std::sin(yaw);
  }
  float x = 0, y = 0, z = 0;
  ASSERT_EQ(std::sscanf(first.c_str(), "Glader.x= %f  Glader.y= %f  Glader.z= %f", &x, &y, &z), 3) << first;
  EXPECT_NEAR(x, wantX, 0.01);
  EXPECT_NEAR(y, wantY, 0.01);
  EXPECT_NE(first.find("minX= -500.007812 maxX= 500.007812 minY= -500.007812 maxY= 500.007812"), std::string::npos);
  ASSERT_GE(log.size(), 8u);
  EXPECT_EQ(log[6], "6 - LoadFromFile   LoadLink() CountSectionLinkInfo - 3");
  EXPECT_NE(std::find(log.begin(), log.end(), "17 - Physics   funEquationLinePolygon() deltaMatrixX - 4.46436"), log.end());
  EXPECT_EQ(log.back(), std::to_string(log.size() - 1) + " - main  WPARAM MainLoop()  - 0");
}

}  // namespace
