// The command line as a user meets it: paths from the start folder, key names in any case, failed saves.
#include <gtest/gtest.h>

#include <sys/stat.h>

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
