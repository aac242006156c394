// Real key events reaching the window in this process: the Windows key codes, and key-ups on focus loss.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "gl_window.h"

namespace {

class Input : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (HaveDisplay()) OpenTestWindow();
  }
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    window = RunCapture("xdotool search --pid " + std::to_string(getpid()) + " --name '^Game$' | head -1");
    window.erase(window.find_last_not_of("\n") + 1);
    ASSERT_FALSE(window.empty());
    std::system(("xdotool windowfocus --sync " + window).c_str());
  }
  // Takes and dispatches messages until `done` holds or the time is up; every WM_KEYDOWN's code is kept.
  bool Pump(const std::function<bool()>& done, double seconds = 5) {
    return Until([&] {
      for (MSG msg; PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE); DispatchMessage(&msg))
        if (msg.message == WM_KEYDOWN) downs.push_back(msg.wParam);
      return done();
    }, seconds);
  }
  std::string window;
  std::vector<WPARAM> downs;
};

TEST_F(Input, EveryKeyOfAStandardKeyboardHasItsWindowsCode) {
  const std::pair<const char*, WPARAM> cases[] = {
      {"Home", VK_HOME},        {"End", VK_END},           {"Insert", VK_INSERT},     {"Delete", VK_DELETE},
      {"Prior", VK_PRIOR},      {"Next", VK_NEXT},         {"comma", VK_OEM_COMMA},   {"period", VK_OEM_PERIOD},
      {"minus", VK_OEM_MINUS},  {"equal", VK_OEM_PLUS},    {"semicolon", VK_OEM_1},   {"slash", VK_OEM_2},
      {"grave", VK_OEM_3},      {"bracketleft", VK_OEM_4}, {"backslash", VK_OEM_5},   {"bracketright", VK_OEM_6},
      {"apostrophe", VK_OEM_7}, {"KP_Add", VK_ADD},        {"KP_Subtract", VK_SUBTRACT},
      {"KP_Multiply", VK_MULTIPLY}, {"KP_Divide", VK_DIVIDE}, {"KP_Enter", VK_RETURN}, {"KP_End", VK_END},
      {"KP_Insert", VK_INSERT}, {"KP_Begin", VK_CLEAR},    {"Caps_Lock", VK_CAPITAL}, {"Shift_R", VK_SHIFT},
      {"Control_R", VK_CONTROL}, {"Super_L", VK_LWIN},     {"Menu", VK_APPS},
      {"F12", VK_F1 + 11},      {"Pause", VK_PAUSE},       {"Scroll_Lock", VK_SCROLL}, {"q", 'Q'},
      {"7", '7'}};
  for (const auto& [name, vk] : cases) {
    downs.clear();
    std::system(("xdotool key " + std::string(name)).c_str());
    EXPECT_TRUE(Pump([&] { return !downs.empty(); })) << name;
    Pump([] { return false; }, 0.15);
    // xdotool presses a modifier twice when the key is its own modifier; the code is what counts.
    EXPECT_EQ(std::count(downs.begin(), downs.end(), vk), static_cast<long>(downs.size())) << name;
  }
}

// A key let go while another window has the keyboard sends its key-up there; the held flag is cleared on
// losing the focus instead, or the glider would fly on until the key was pressed again.
TEST_F(Input, LosingTheFocusReleasesAHeldKey) {
  std::system("xdotool keydown w");
  ASSERT_TRUE(Pump([] { return keys[unsigned{'W'}] == 1; }));
  std::system((ProbePath() + " unfocus").c_str());
  EXPECT_TRUE(Pump([] { return keys[unsigned{'W'}] == 0; }));
  std::system("xdotool keyup w");
}

// The key-up clears what the key-down set even when Num Lock changed the key's meaning in between.
TEST_F(Input, AKeyUpClearsWhatItsKeyDownSet) {
  std::system("xdotool keydown KP_Up");
  ASSERT_TRUE(Pump([&] { return !downs.empty(); }));
  const WPARAM held = downs.front();
  ASSERT_TRUE(held == VK_UP || held == VK_NUMPAD0 + 8) << held;
  std::system("xdotool key Num_Lock keyup KP_Up key Num_Lock");
  EXPECT_TRUE(Pump([&] { return keys[held] == 0; })) << held;
}

}  // namespace
