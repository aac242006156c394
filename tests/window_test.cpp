// The real window under X: Esc and the close button end the run, the start-up log, the clear colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support.h"

static const std::vector<std::string> kStartAndStop = {
    "0 - init  SizeOpenGLScreen(...)  - 0",   "1 - init  START InitializeOpenGL(...)  - 0",
    "2 - init  bSetupPixelFormat(...) - 0",   "3 - init  SizeOpenGLScreen(...)  - 0",
    "4 - init  OK InitializeOpenGL(...)  - 0", "5 - init   WINAPI WinMain(...)  - 0",
    "6 - init  DeInit() - Deinitialization OpenGL  - 0"};

class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
  }
  ScratchDir dir;
};

static void SendKey(unsigned long window, const std::string& key) {
  std::system(("xdotool windowfocus --sync " + std::to_string(window) + " key --delay 30 " + key).c_str());
}

TEST_F(RealWindow, EscapeQuitsWithCodeZeroAndTheLogHoldsOnlyTheUngatedLines) {
  WriteFile("dbIlm/setting.ini", "0\n");
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(RunCapture(ProbePath() + " class " + std::to_string(window)), "Pelican`s 3dPrimers\n");
  EXPECT_EQ(RunCapture("xdotool getwindowgeometry " + std::to_string(window)).find("Geometry: 800x600") !=
                std::string::npos,
            true);
  // The first frame may take a while to appear (a sanitized build, a busy machine): wait for it.
  int r = -1, g = -1, b = -1;
  for (int tries = 0; tries < 200 && std::abs(b - 0.9 * 255) > 1; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::istringstream rgb(RunCapture(ProbePath() + " pixel " + std::to_string(window) + " 400 300"));
    rgb >> r >> g >> b;
  }
  EXPECT_NEAR(r, 0.3 * 255, 1);
  EXPECT_NEAR(g, 0.6 * 255, 1);
  EXPECT_NEAR(b, 0.9 * 255, 1);
  SendKey(window, "Escape");
  EXPECT_EQ(demo.Wait(20), 0);
  EXPECT_EQ(ReadLines("log.txt"), kStartAndStop);
}

TEST_F(RealWindow, CloseButtonQuitsTheSameWay) {
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::system((ProbePath() + " close " + std::to_string(window)).c_str());
  EXPECT_EQ(demo.Wait(20), 0);
  EXPECT_EQ(ReadLines("log.txt"), kStartAndStop);
}

TEST_F(RealWindow, LogLevelFourTracesEveryWindowMessage) {
  WriteFile("dbIlm/setting.ini", "4\n");
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  // Keys must come after the first frame, which reads the log level and writes its load lines.
  for (int tries = 0; tries < 400; ++tries) {
    const auto lines = ReadLines("log.txt");
    const auto isFrame = [](const std::string& l) { return l.find("RenderScene") != std::string::npos; };
    if (std::any_of(lines.begin(), lines.end(), isFrame)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  SendKey(window, "w a Escape");
  EXPECT_EQ(demo.Wait(20), 0);
  const auto lines = ReadLines("log.txt");
  ASSERT_GE(lines.size(), 7u + 6u);
  // Start-up lines as at level 0 (the settings are read only at the first frame), the first frame's
  // load line, then the key downs and ups of w, a and Esc each leave a WinProc line.
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
            std::vector<std::string>(kStartAndStop.begin(), kStartAndStop.begin() + 6));
  // With no link file the first frame loads only the glider, whose files are missing here.
  const char* const load[] = {"LoadFromFile   LoadLink() CountSectionLinkInfo - 0",
                              "LoadFromFile   START linkFile() - 0",
                              "LoadFromFile   LoadModel() LocationModel.push_back(*Model); - 4",
                              "LoadFromFile   LoadModel() HorizonModel.push_back(*Model); - 4",
                              "LoadFromFile   ObjectsModel() LocationModel.push_back(*Model); - 4",
                              "LoadFromFile   LoadModel() GladerModel.push_back(*Model); - 4",
                              "LoadFromFile   LoadModel() NamSectionModel - 4",
                              "texture   LoadGLTextures() LocationTexture.push_back(texture); - 4",
                              "texture   LoadGLTextures() HorizonTexture.push_back(texture); - 4",
                              "texture   LoadGLTextures() ObjectsTexture.push_back(texture); - 4",
                              "texture   LoadGLTextures() GladerTexture.push_back(texture); - 4",
                              "texture   LoadGLTextures() NamSectionModel - 4",
                              "LoadFromFile   END linkFile() NamSectionModel - 4",
                              "Physics   funEquationLinePolygon() deltaMatrixX - -nan",
                              "Render   RenderScene(End Load) Proces - 1"};
  const size_t first = 6, afterLoad = first + std::size(load);
  ASSERT_GE(lines.size(), afterLoad + 5);
  for (size_t i = 0; i < std::size(load); ++i) EXPECT_EQ(lines[first + i], std::to_string(first + i) + " - " + load[i]);
  int traced = 0;
  for (size_t i = afterLoad; i + 2 < lines.size(); ++i) {
    EXPECT_EQ(lines[i], std::to_string(i) + " - main  LRESULT CALLBACK WinProc(...)  - 0");
    ++traced;
  }
  EXPECT_GE(traced, 5);
  EXPECT_EQ(lines[lines.size() - 2], std::to_string(lines.size() - 2) + " - init  DeInit() - Deinitialization OpenGL  - 0");
  EXPECT_EQ(lines.back(), std::to_string(lines.size() - 1) + " - main  WPARAM MainLoop()  - 0");
}

TEST_F(RealWindow, FramesOptionQuitsAsEscapeDoes) {
  WriteFile("dbIlm/setting.ini", "4\n");
  DemoProcess demo({"--batch", "-C", dir.path(), "--frames", "3"});
  EXPECT_EQ(demo.Wait(20), 0);
  const auto lines = ReadLines("log.txt");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().substr(lines.back().find(' ')), " - main  WPARAM MainLoop()  - 0");
}

// With no display to reach, the demo must say so and end rather than fall back to drawing off screen.
TEST(NoDisplay, EndsWithAClearMessageInsteadOfRunningUnseen) {
  ScratchDir dir;
  const std::string out = RunCapture("env -i PATH=\"$PATH\" DISPLAY=:4093 timeout 20 " +
                                     DemoPath() + " --batch -C " + dir.path() + " --frames 3 2>&1; echo rc=$?");
  EXPECT_NE(out.find("Cannot open the window: "), std::string::npos) << out;
  EXPECT_NE(out.find("rc=1\n"), std::string::npos) << out;
}
