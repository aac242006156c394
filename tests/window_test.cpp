// The real window under X: how it ends, its log, its size and restore, its keys, files that would block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include <sys/stat.h>

#include "image/image.h"
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

namespace {

std::string Id(unsigned long window) { return std::to_string(window); }

bool IsGround(const std::string& rgb) { return rgb == "0 160 0\n"; }

// A green ground plane under the glider that fills the view wherever the viewport reaches.
void WriteGroundScene(int logLevel) {
  WriteFile("dbIlm/setting.ini", std::to_string(logLevel) + "\nlink.txt\n1\n0.05\n5\n40\n0.05\n0.02\n10\n");
  WriteFile("link.txt", "#Location\nground\nt\n1\n0\n0\n0\n#Horizon\n#Objects\n");
  WriteFile("ground.obj",
            "v  -300 -300 0\nv  300 -300 0\nv  300 300 0\nv  -300 300 0\n"
            "vt  0.5 0.5 0\nvt  0.5 0.5 0\nvt  0.5 0.5 0\nvt  0.5 0.5 0\nf 1/1/1 2/2/2 3/3/3\nf 1/1/1 3/3/3 4/4/4\n");
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 64; ++i) pixels.insert(pixels.end(), {0, 160, 0});
  RGBImage image{8, 8, pixels.data()};
  ASSERT_TRUE(SaveDIBImage("ground.bmp", &image));
}

std::string Pixel(unsigned long window, int x, int y) {
  return RunCapture(ProbePath() + " pixel " + Id(window) + " " + std::to_string(x) + " " + std::to_string(y));
}

// Waits up to ten seconds for the pixel to show the ground.
bool GroundAppears(unsigned long window, int x, int y) {
  for (int tries = 0; tries < 200; ++tries) {
    if (IsGround(Pixel(window, x, y))) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

size_t CountWinProcLines() {
  const auto lines = ReadLines("log.txt");
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("WinProc") != std::string::npos;
  }));
}

// The log stops growing for a while: the messages of what was done last have all been taken.
size_t SettledWinProcLines() {
  size_t last = CountWinProcLines();
  for (int quiet = 0; quiet < 6;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const size_t now = CountWinProcLines();
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }
  return last;
}

void WaitForFirstFrame() {
  for (int tries = 0; tries < 400; ++tries) {
    const auto lines = ReadLines("log.txt");
    const auto isFrame = [](const std::string& l) { return l.find("RenderScene") != std::string::npos; };
    if (std::any_of(lines.begin(), lines.end(), isFrame)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

TEST_F(RealWindow, SizeHintsAllowResizingAndAResizeSetsTheViewport) {
  WriteGroundScene(0);
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  const std::string hints = RunCapture("xprop -id " + Id(window) + " WM_NORMAL_HINTS");
  EXPECT_EQ(hints.find("maximum size"), std::string::npos) << hints;
  EXPECT_EQ(hints.find("minimum size: 800 by 600"), std::string::npos) << hints;
  ASSERT_TRUE(GroundAppears(window, 400, 550));
  std::system(("xdotool windowsize --sync " + Id(window) + " 1000 700").c_str());
  // The viewport of 800 x 600 would leave the right edge to the clear colour.
  EXPECT_TRUE(GroundAppears(window, 950, 650)) << Pixel(window, 950, 650);
  std::system((ProbePath() + " close " + Id(window)).c_str());
  EXPECT_EQ(demo.Wait(20), 0);
}

TEST_F(RealWindow, UnmapAndMapDrawTheSceneAgain) {
  WriteGroundScene(0);
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(GroundAppears(window, 400, 550));
  std::system(("xdotool windowunmap --sync " + Id(window)).c_str());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::system(("xdotool windowmap --sync " + Id(window)).c_str());
  EXPECT_TRUE(GroundAppears(window, 400, 550)) << Pixel(window, 400, 550);
  std::system((ProbePath() + " close " + Id(window)).c_str());
  EXPECT_EQ(demo.Wait(20), 0);
}

// A FIFO in place of a file would hold the reading open until a writer came; it must read as missing.
TEST_F(RealWindow, FifosReadAsMissingFilesWithoutWaiting) {
  ASSERT_EQ(mkdir("Glader", 0777), 0);
  ASSERT_EQ(mkfifo("Glader/glader01.bmp", 0666), 0);
  const std::string run = "timeout 2 " + DemoPath() + " --batch -C " + dir.path() + " --frames 3 2>&1; echo rc=$?";
  std::string out = RunCapture(run);
  EXPECT_NE(out.find("Failed to open DIB file Glader/glader01.bmp."), std::string::npos) << out;
  EXPECT_NE(out.find("rc=0\n"), std::string::npos) << out;
  EXPECT_EQ(ReadLines("log.txt").size(), kStartAndStop.size());
  // The settings and the log: the run still ends at once, and the log's lines are lost.
  ASSERT_EQ(mkdir("dbIlm", 0777), 0);
  ASSERT_EQ(mkfifo("dbIlm/setting.ini", 0666), 0);
  ASSERT_EQ(std::remove("log.txt"), 0);
  ASSERT_EQ(mkfifo("log.txt", 0666), 0);
  out = RunCapture(run);
  EXPECT_NE(out.find("rc=0\n"), std::string::npos) << out;
}

TEST_F(RealWindow, KeysBeyondTheControlsEachMakeOneMessage) {
  WriteFile("dbIlm/setting.ini", "4\n");
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  WaitForFirstFrame();
  std::system(("xdotool windowfocus --sync " + Id(window)).c_str());
  for (const char* key : {"Home", "Delete", "comma", "KP_End", "KP_Add", "Caps_Lock", "Super_L"}) {
    const size_t before = SettledWinProcLines();
    std::system(("xdotool keydown " + std::string(key)).c_str());
    EXPECT_EQ(SettledWinProcLines(), before + 1) << key << " down";
    std::system(("xdotool keyup " + std::string(key)).c_str());
    EXPECT_EQ(SettledWinProcLines(), before + 2) << key << " up";
  }
  std::system((ProbePath() + " close " + Id(window)).c_str());
  EXPECT_EQ(demo.Wait(20), 0);
}

TEST_F(RealWindow, OneCloseRequestGivesOneCloseMessage) {
  WriteFile("dbIlm/setting.ini", "4\n");
  DemoProcess demo({"--batch", "-C", dir.path()});
  const unsigned long window = demo.FindWindow(20);
  ASSERT_NE(window, 0u);
  WaitForFirstFrame();
  const size_t before = SettledWinProcLines();
  std::system((ProbePath() + " close " + Id(window)).c_str());
  EXPECT_EQ(demo.Wait(20), 0);
  EXPECT_EQ(CountWinProcLines(), before + 1);
  const auto lines = ReadLines("log.txt");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_NE(lines[lines.size() - 3].find("WinProc"), std::string::npos);
}

// The window may go at any moment: while the GL context is made, while the scene loads, or after. Whatever
// was under way, the program ends through DeInit with code 0.
TEST_F(RealWindow, WindowDestroyedFromOutsideEndsThroughDeInit) {
  WriteGroundScene(0);
  for (int delay = 0; delay < 750; delay += 25) {
    std::remove("log.txt");
    DemoProcess demo({"--batch", "-C", dir.path()});
    const unsigned long window = demo.FindWindow(20);
    ASSERT_NE(window, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::system(("xdotool windowclose " + Id(window)).c_str());
    ASSERT_EQ(demo.Wait(20), 0) << "closed " << delay << " ms after it appeared";
    // The window is unmapped before it goes, which may send a size of 0 first.
    const auto lines = ReadLines("log.txt");
    ASSERT_GE(lines.size(), kStartAndStop.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
              std::vector<std::string>(kStartAndStop.begin(), kStartAndStop.begin() + 6));
    EXPECT_EQ(lines.back().substr(lines.back().find(' ')), " - init  DeInit() - Deinitialization OpenGL  - 0");
  }
}
