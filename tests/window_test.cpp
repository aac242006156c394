// The real window under X: how it ends, its log, its size and restore, its keys, files that would block.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

#include "tests/gl_window.h"

namespace {

const std::vector<std::string> kStartAndStop = {
    "0 - init  SizeOpenGLScreen(...)  - 0",   "1 - init  START InitializeOpenGL(...)  - 0",
    "2 - init  bSetupPixelFormat(...) - 0",   "3 - init  SizeOpenGLScreen(...)  - 0",
    "4 - init  OK InitializeOpenGL(...)  - 0", "5 - init   WINAPI WinMain(...)  - 0",
    "6 - init  DeInit() - Deinitialization OpenGL  - 0"};

std::vector<std::string> FirstSix(const std::vector<std::string>& v) { return {v.begin(), v.begin() + std::min<size_t>(6, v.size())}; }
void Nap(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void Shell(const std::string& command) { std::system(command.c_str()); }

size_t CountLogLines(const std::string& text) {
  const auto lines = ReadLines("log.txt");
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(text) != std::string::npos;
  }));
}

// The log stops growing for a while: the messages of what was done last have all been taken.
size_t SettledWinProcLines() {
  size_t last = CountLogLines("WinProc");
  for (int quiet = 0; quiet < 6;) {
    Nap(50);
    const size_t now = CountLogLines("WinProc");
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }
  return last;
}

class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
  }
  // Starts the demo on the scratch folder and finds its window.
  void Start() {
    demo.emplace(std::vector<std::string>{"--batch", "-C", dir.path()});
    const unsigned long id = demo->FindWindow(20);
    ASSERT_NE(id, 0u);
    window = std::to_string(id);
  }
  std::string Pixel(int x, int y) {
    return RunCapture(ProbePath() + " pixel " + window + " " + std::to_string(x) + " " + std::to_string(y));
  }
  bool GroundAppears(int x, int y) {
    return Until([&] { return Pixel(x, y) == "0 160 0\n"; });
  }
  void Close() { Shell(ProbePath() + " close " + window); }
  ScratchDir dir;
  std::optional<DemoProcess> demo;
  std::string window;
};

TEST_F(RealWindow, EscapeAndTheCloseButtonQuitWithCodeZeroAndOnlyTheUngatedLines) {
  for (const bool escape : {true, false}) {
    WriteFile("dbIlm/setting.ini", "0\n");
    std::remove("log.txt");
    Start();
    if (escape) {
      EXPECT_NE(RunCapture("xprop -id " + window + " WM_CLASS").find(", \"Pelican`s 3dPrimers\"\n"), std::string::npos);
      EXPECT_NE(RunCapture("xdotool getwindowgeometry " + window).find("Geometry: 800x600"), std::string::npos);
      int r = -1, g = -1, b = -1;  // the clear colour 0.3 0.6 0.9
      EXPECT_TRUE(Until([&] {
        std::istringstream(Pixel(400, 300)) >> r >> g >> b;
        return std::abs(r - 76.5) <= 1 && std::abs(g - 153) <= 1 && std::abs(b - 229.5) <= 1;
      })) << r << ' ' << g << ' ' << b;
      Shell("xdotool windowfocus --sync " + window + " key Escape");
    } else {
      Nap(200);
      Close();
    }
    EXPECT_EQ(demo->Wait(20), 0) << escape;
    EXPECT_EQ(ReadLines("log.txt"), kStartAndStop) << escape;
  }
}

// At log level 4 every window message leaves one line: each key down and up, and the one close request.
TEST_F(RealWindow, LogLevelFourTracesEveryWindowMessageOnce) {
  WriteFile("dbIlm/setting.ini", "4\n");
  Start();
  // Keys must come after the first frame, which reads the log level and writes its load lines.
  Until([] { return CountLogLines("RenderScene") > 0; }, 20);
  Shell("xdotool windowfocus --sync " + window);
  for (const char* key : {"w", "a", "Home", "Delete", "comma", "KP_End", "KP_Add", "Caps_Lock", "Super_L"}) {
    const size_t before = SettledWinProcLines();
    Shell("xdotool keydown " + std::string(key));
    EXPECT_EQ(SettledWinProcLines(), before + 1) << key << " down";
    Shell("xdotool keyup " + std::string(key));
    EXPECT_EQ(SettledWinProcLines(), before + 2) << key << " up";
  }
  const size_t before = SettledWinProcLines();
  Close();
  EXPECT_EQ(demo->Wait(20), 0);
  EXPECT_EQ(CountLogLines("WinProc"), before + 1);
  const auto lines = ReadLines("log.txt");
  // Start-up lines as at level 0 (the settings are read only at the first frame), then the first frame's load
  // lines: with no link file only the glider, whose files are missing here.
  EXPECT_EQ(FirstSix(lines), FirstSix(kStartAndStop));
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
  const size_t afterLoad = 6 + std::size(load);
  ASSERT_GE(lines.size(), afterLoad + 2 * 9 + 3);
  for (size_t i = 6; i < afterLoad; ++i) EXPECT_EQ(lines[i], std::to_string(i) + " - " + load[i - 6]);
  for (size_t i = afterLoad; i + 2 < lines.size(); ++i)
    EXPECT_EQ(lines[i], std::to_string(i) + " - main  LRESULT CALLBACK WinProc(...)  - 0");
  EXPECT_EQ(lines[lines.size() - 2], std::to_string(lines.size() - 2) + " - init  DeInit() - Deinitialization OpenGL  - 0");
  EXPECT_EQ(lines.back(), std::to_string(lines.size() - 1) + " - main  WPARAM MainLoop()  - 0");
}

// With no display to reach, the demo must say so and end rather than fall back to drawing off screen.
TEST(NoDisplay, EndsWithAClearMessageInsteadOfRunningUnseen) {
  ScratchDir dir;
  const std::string out = RunCapture("env -i PATH=\"$PATH\" DISPLAY=:4093 timeout 20 " +
                                     DemoPath() + " --batch -C " + dir.path() + " --frames 3 2>&1; echo rc=$?");
  EXPECT_NE(out.find("Cannot open the window: "), std::string::npos) << out;
  EXPECT_NE(out.find("rc=1\n"), std::string::npos) << out;
}

// The window may be resized (the viewport follows) and unmapped and mapped again (the scene is drawn again).
TEST_F(RealWindow, ResizeAndRemapKeepDrawingTheScene) {
  WriteSmallScene();
  Start();
  const std::string hints = RunCapture("xprop -id " + window + " WM_NORMAL_HINTS");
  EXPECT_EQ(hints.find("maximum size"), std::string::npos) << hints;
  EXPECT_EQ(hints.find("minimum size: 800 by 600"), std::string::npos) << hints;
  ASSERT_TRUE(GroundAppears(400, 550));
  Shell("xdotool windowunmap --sync " + window);
  Nap(300);
  Shell("xdotool windowmap --sync " + window);
  EXPECT_TRUE(GroundAppears(400, 550)) << Pixel(400, 550);
  Shell("xdotool windowsize --sync " + window + " 1000 700");
  // The viewport of 800 x 600 would leave the right edge to the clear colour.
  EXPECT_TRUE(GroundAppears(950, 650)) << Pixel(950, 650);
  Close();
  EXPECT_EQ(demo->Wait(20), 0);
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

// The window may go at any moment: while the GL context is made, while the scene loads, or after. Whatever
// was under way, the program ends through DeInit with code 0.
TEST_F(RealWindow, WindowDestroyedFromOutsideEndsThroughDeInit) {
  WriteSmallScene();
  for (int delay = 0; delay < 750; delay += 25) {
    std::remove("log.txt");
    Start();
    Nap(delay);
    Shell("xdotool windowclose " + window);
    ASSERT_EQ(demo->Wait(20), 0) << "closed " << delay << " ms after it appeared";
    // The window is unmapped before it goes, which may send a size of 0 first.
    const auto lines = ReadLines("log.txt");
    ASSERT_GE(lines.size(), kStartAndStop.size());
    EXPECT_EQ(FirstSix(lines), FirstSix(kStartAndStop));
    EXPECT_EQ(lines.back().substr(lines.back().find(' ')), " - init  DeInit() - Deinitialization OpenGL  - 0");
  }
}

}  // namespace
