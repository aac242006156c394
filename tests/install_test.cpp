// glide installed as Linux users install it: the Debian package unpacked and flown, its manual pages, menu entry
// and metainfo checked, the user's copy of the bundled scene, and the options in usage, manual and completion.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/app.h"
#include "tests/support.h"
#ifdef GLIDE_TOOLS_BUILT
#include "tools/commands.h"
#endif

namespace fs = std::filesystem;

namespace {

// What the completion function offers for the command line `words`, the last word being the one completed ("" for
// an empty one), in the working folder.
std::set<std::string> Completions(const std::string& program, const std::string& words) {
  const std::string script = std::string(GLIDE_MANUAL_DIR) + "/" + program + ".bash";
  std::string function = "_" + program;
  for (char& c : function) c = c == '-' ? '_' : c;
  std::istringstream offered(RunCapture("bash -c 'source " + script + " && COMP_WORDS=(" + program + " " +
                                        words + ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && " + function +
                                        "; printf \"%s\\n\" \"${COMPREPLY[@]}\"'"));
  std::set<std::string> names;
  for (std::string line; std::getline(offered, line);)
    if (!line.empty()) names.insert(line);
  return names;
}

// An option's name as the manual page writes it, each dash escaped.
std::string InRoff(const std::string& name) {
  std::string out;
  for (char c : name) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return "\\fB" + out + "\\fR";
}

// Folders and files for the completion of names: "sc" completes to the folder scenes, or to scene.txt as well.
class Manual : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories("scenes/alps");
    fs::create_directories("my *scenes");
    for (const char* file : {"scene.txt", "maps/hills.png", "maps/hills.txt", "maps/high hills*.png"})
      WriteFile(file, "");
  }
  ScratchDir dir;
};

TEST_F(Manual, EveryOptionOfGlideIsInItsUsageHelpManualAndCompletion) {
  const std::string help = UsageText(), usage = help.substr(0, help.find(std::string("\n  ") + GlideOptions[0].name));
  const std::string page = ReadFile(std::string(GLIDE_MANUAL_DIR) + "/glide.1");
  std::set<std::string> declared;
  for (int i = 0; i < CountGlideOptions; ++i) {
    const GlideOption& option = GlideOptions[i];
    declared.insert(option.name);
    const std::string word = std::string(option.name) + (option.metavar ? std::string(" ") + option.metavar : "");
    EXPECT_NE(usage.find("[" + word + "]"), std::string::npos) << word << " is not in the usage line:\n" << usage;
    EXPECT_NE(help.find("\n  " + word + "  "), std::string::npos) << word << " is not in --help's list";
    EXPECT_NE(page.find(".TP\n" + (option.alias ? InRoff(option.alias) + ", " : "") + InRoff(option.name)),
              std::string::npos) << option.name << " is not in the manual's options";
  }
  EXPECT_EQ(RunCapture(DemoPath() + " --help"), help);
  EXPECT_EQ(RunCapture(DemoPath() + " -h"), help);
  EXPECT_EQ(Completions("glide", "-"), declared);
  EXPECT_EQ(Completions("glide", "--batch --ke"), std::set<std::string>{"--keys"});
  EXPECT_EQ(Completions("glide", "-C sc"), std::set<std::string>{"scenes"});
  EXPECT_EQ(Completions("glide", "--frames 9 --keys maps/hil"), (std::set<std::string>{"maps/hills.png", "maps/hills.txt"}));
  // Blanks and pattern characters stay within one name; a quote the user opened is not part of the name.
  EXPECT_EQ(Completions("glide", "-C my"), std::set<std::string>{"my *scenes"});
  EXPECT_EQ(Completions("glide", "--keys \\\"maps/hig"), std::set<std::string>{"maps/high hills*.png"});
  EXPECT_EQ(Completions("glide", "--frames \"\""), std::set<std::string>{});
}

#ifdef GLIDE_TOOLS_BUILT
TEST_F(Manual, GlideSceneCompletesEveryCommandAndEachCommandsOptionsAsItsManualLists) {
  std::set<std::string> commands = {"--help", "--version"};
  const std::string page = ReadFile(std::string(GLIDE_MANUAL_DIR) + "/glide-scene.1");
  for (const CommandSpec* command : Commands()) {
    commands.insert(command->name);
    const size_t section = page.find(".SS \"" + command->name), next = page.find(".SS", section + 1);
    ASSERT_NE(section, std::string::npos) << command->name << " has no section in the manual";
    std::set<std::string> options;
    for (const OptionSpec& spec : AllOptions(*command)) {
      options.insert(spec.name);
      EXPECT_LT(page.find(".TP\n" + InRoff(spec.name), section), next) << spec.name << " of " << command->name;
    }
    EXPECT_EQ(Completions("glide-scene", command->name + " -"), options) << command->name;
  }
  EXPECT_EQ(Completions("glide-scene", "\"\""), commands);
  // Folders for DIR, files for inputs and pictures, the words of a choice; --at's numbers are not arguments.
  const std::set<std::string> hills = {"maps/hills.png", "maps/hills.txt", "maps/high hills*.png"};
  EXPECT_EQ(Completions("glide-scene", "terrain sc"), std::set<std::string>{"scenes"});
  EXPECT_EQ(Completions("glide-scene", "terrain scenes/alps maps/h"), hills);
  EXPECT_EQ(Completions("glide-scene", "object scenes/alps --at 1 2 3 maps/h"), hills);
  EXPECT_EQ(Completions("glide-scene", "object scenes/alps --up \"\""), (std::set<std::string>{"y", "z"}));
  EXPECT_EQ(Completions("glide-scene", "check scenes/alps --map maps/hills.p"), std::set<std::string>{"maps/hills.png"});
}
#endif

// The package unpacked into a scratch root, as dpkg would install it; nothing is installed on this machine.
class Package : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const auto& entry : fs::directory_iterator(GLIDE_PACKAGE_DIR))
      if (entry.path().extension() == ".deb") deb_ = entry.path().string();
    root_ = fs::temp_directory_path() / ("glide-package-" + std::to_string(getpid()));
    RunCapture("dpkg-deb -x " + deb_ + " " + root_.string());
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }
  void SetUp() override {
    ASSERT_FALSE(deb_.empty()) << "no package in " << GLIDE_PACKAGE_DIR;
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    fs::create_directories("home/data");
    fs::create_directories("start");
  }
  // glide from the package, started in `folder` with XDG_DATA_HOME in the scratch folder: its exit code, then
  // what it printed.
  std::string Glide(const std::string& options, const std::string& limits = "", const std::string& folder = "start") {
    return RunCapture("cd " + folder + " && " + limits + " XDG_DATA_HOME=" + dir.path() + "/home/data timeout 60 " +
                      root_.string() + "/usr/bin/glide --batch --frames 60 " + options + " 2>&1; echo \"exit $?\"");
  }
  static std::string deb_;
  static fs::path root_;
  ScratchDir dir;
};
std::string Package::deb_;
fs::path Package::root_;

TEST_F(Package, HoldsThePrograms_ManualsCompletionMenuEntryIconsAndDocuments) {
  for (const char* file :
       {"usr/bin/glide", "usr/bin/glide-scene", "usr/share/glide/dbIlm/setting.ini", "usr/share/glide/Glader/glader01.obj",
        "usr/share/man/man1/glide.1.gz", "usr/share/man/man1/glide-scene.1.gz",
        "usr/share/bash-completion/completions/glide", "usr/share/bash-completion/completions/glide-scene",
        "usr/share/applications/io.github.glide.Glide.desktop", "usr/share/metainfo/io.github.glide.Glide.metainfo.xml",
        "usr/share/icons/hicolor/scalable/apps/io.github.glide.Glide.svg",
        "usr/share/icons/hicolor/16x16/apps/io.github.glide.Glide.png",
        "usr/share/icons/hicolor/256x256/apps/io.github.glide.Glide.png", "usr/share/doc/glide/copyright",
        "usr/share/doc/glide/changelog.gz"})
    EXPECT_TRUE(fs::exists(root_ / file)) << file;
  EXPECT_FALSE(fs::exists(root_ / "usr/share/glide/log.txt"));
  const std::string share = root_.string() + "/usr/share/";
  for (const char* page : {"glide", "glide-scene"})
    EXPECT_EQ(RunCapture("MANWIDTH=80 man --warnings -l " + share + "man/man1/" + page + ".1.gz 2>&1 >/dev/null"), "")
        << page;
  EXPECT_EQ(RunCapture("desktop-file-validate " + share + "applications/io.github.glide.Glide.desktop 2>&1; echo $?"),
            "0\n");
  const std::string metainfo = share + "metainfo/io.github.glide.Glide.metainfo.xml";
  EXPECT_NE(RunCapture("appstreamcli validate --no-net " + metainfo + " 2>&1; echo \"exit $?\"").find("exit 0"),
            std::string::npos) << RunCapture("appstreamcli validate --no-net " + metainfo + " 2>&1");
  const std::string lintian = RunCapture("lintian --fail-on error " + deb_ + " 2>&1; echo \"exit $?\"");
  EXPECT_NE(lintian.find("exit 0"), std::string::npos) << lintian;
}

TEST_F(Package, StartedWhereThereIsNoSceneItFliesTheUsersCopyOfTheBundledScene) {
  const std::string copy = "home/data/glide/scene/";
  // A partial copy left by a start killed an hour ago goes; the copy is made beside it all the same.
  fs::create_directories("home/data/glide/.scene-1");
  fs::last_write_time("home/data/glide/.scene-1", fs::file_time_type::clock::now() - std::chrono::hours(2));
  ASSERT_EQ(Glide(""), "exit 0\n");
  EXPECT_FALSE(fs::exists("home/data/glide/.scene-1"));
  EXPECT_TRUE(fs::is_regular_file(copy + "dbIlm/setting.ini"));
  const size_t lines = ReadLines(copy + "log.txt").size();
  EXPECT_GT(lines, 5u);
  EXPECT_FALSE(fs::exists("start/log.txt"));
  // Later starts fly that copy as the user left it.
  WriteFile(copy + "mine.txt", "the user's");
  ASSERT_EQ(Glide(""), "exit 0\n");
  EXPECT_EQ(ReadLines(copy + "log.txt").size(), 2 * lines);
  EXPECT_EQ(ReadFile(copy + "mine.txt"), "the user's");
  // With -C, or in a folder that holds a scene, glide flies that scene and copies nothing.
  fs::remove_all("home/data/glide");
  fs::copy(root_ / "usr/share/glide", "own", fs::copy_options::recursive);
  ASSERT_EQ(Glide("-C ../own"), "exit 0\n");
  ASSERT_EQ(Glide("", "", "own"), "exit 0\n");
  EXPECT_EQ(ReadLines("own/log.txt").size(), 2 * lines);
  // The empty folder has no glider's picture, which glide says as always.
  EXPECT_EQ(Glide("-C ."), "Error: Failed to open DIB file Glader/glader01.bmp.\n\nexit 0\n");
  EXPECT_FALSE(fs::exists("home/data/glide"));
}

TEST_F(Package, AFirstCopyThatFailsSaysSoAndLeavesNoHalfCopy) {
  const std::string message = "Error: glide cannot make your copy of its scene in " + dir.path() + "/home/data/glide/scene";
  struct Case {
    const char* what;
    std::string limits;  // the shell's limits for glide
    bool asRoot;         // whether it fails for root as well
  };
  // A home that is full: no file may grow past 16 KB, so the copy stops at the first larger texture.
  for (const Case& c : {Case{"a full home", "trap '' XFSZ; ulimit -f 32;", true},
                        Case{"a read-only home", "chmod a-w " + dir.path() + "/home/data;", false}}) {
    if (!c.asRoot && geteuid() == 0) continue;
    fs::remove_all("home/data/glide");
    const std::string said = Glide("", c.limits);
    EXPECT_EQ(said.substr(0, message.size()), message) << c.what << ": " << said;
    EXPECT_NE(said.find("exit 1"), std::string::npos) << c.what;
    fs::permissions("home/data", fs::perms::owner_all);
    EXPECT_FALSE(fs::exists("home/data/glide/scene")) << c.what;
    EXPECT_TRUE(!fs::exists("home/data/glide") || fs::is_empty("home/data/glide")) << c.what << " left a partial copy";
  }
  EXPECT_EQ(Glide(""), "exit 0\n");
}

}  // namespace
