// glide-scene's shared pieces: all-or-nothing writing under the lock, the link file, option parsing, guarded reading.
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "scene_tool.h"
#include "support.h"
#include "tools/scene/cli.h"
#include "tools/scene/progress.h"
#include "tools/scene/scene_files.h"
#include "tools/scene/watchdog.h"

namespace {

LinkDoc OneObject(const std::string& name, const std::string& text, size_t places = 1) {
  LinkDoc doc;
  doc.sections[kObjects].push_back(LinkEntry{name, text, std::vector<CVertex3>(places, CVertex3{1.5f, -2, 0})});
  return doc;
}

// Free text from users' file names: line breaks, control characters, length and a leading '#' or blank would
// cut the file short or put every later line out of step; the entries after it come back whole.
TEST(LinkText, FreeTextCannotBreakTheFile) {
  ScratchDir dir;
  for (const std::string& text : std::vector<std::string>{"terrain from a\nb.png", "tab\there\r", std::string(300, 'x'), "# hash", "  ",
                                  "\xc3\xa9" + std::string(250, 'e'), std::string(199, 'a') + "\xc3\xa9"}) {
    LinkDoc doc = OneObject("Objects/a", text);
    doc.sections[kObjects].push_back(LinkEntry{"Objects/b", "after", {CVertex3{3, 4, 5}}});
    WriteFile("scene.txt", LinkText(doc));
    const LinkDoc back = ReadLinkDoc("scene.txt");
    ASSERT_EQ(back.sections[kObjects].size(), 2u) << text;
    const std::string& written = back.sections[kObjects][0].text;
    EXPECT_LE(written.size(), 200u) << text;
    EXPECT_EQ(written.find_first_of("\n\r\t#"), std::string::npos) << written;
    EXPECT_NE(written[0], ' ') << written;
    EXPECT_NE(static_cast<unsigned char>(written.back()), 0xc3) << "a character cut in half";
    EXPECT_EQ(back.sections[kObjects][1].name, "Objects/b");
    EXPECT_EQ(back.sections[kObjects][1].positions[0].z, 5);
  }
}

// A name is a path of files already written, so one the loader would misread is refused, not changed.
TEST(LinkText, RefusesWhatTheLoaderWouldMisread) {
  for (const LinkDoc& doc : {OneObject("Objects/a\nb", "-"), OneObject("Objects/" + std::string(92, 'n'), "-"),
                             OneObject("#x", "-"), OneObject(" x", "-"), OneObject("", "-"),
                             OneObject("Objects/a", "-", 11), OneObject("Objects/a", "-", 0)})
    EXPECT_THROW(LinkText(doc), ToolError) << doc.sections[kObjects][0].name;
  EXPECT_NO_THROW(LinkText(OneObject("Objects/" + std::string(91, 'n'), "-")));
}

namespace fs = std::filesystem;

// The names whose bytes differ, for a short failure message.
std::string Differences(const Tree& a, const Tree& b) {
  Tree both = a;
  both.insert(b.begin(), b.end());
  std::string names;
  for (const auto& [name, bytes] : both)
    if (!a.count(name) || !b.count(name) || a.at(name) != b.at(name)) names += " " + name + ";";
  return names;
}

void Restore(const std::string& from, const std::string& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

int Status(int waited) { return WIFEXITED(waited) ? WEXITSTATUS(waited) : 128 + WTERMSIG(waited); }

// The commands the tests interrupt: one replaces the terrain's files and settings, one adds a model and its folder.
const char* const kCommands[] = {"terrain world h.png --faces 300", "object world m.obj --at 1 2 3"};

// A scene with a terrain, kept as "pristine", and the commands' inputs.
void SceneAndInputs() {
  const uint8_t heights[16 * 16] = {0, 90, 200, 30, 255, 7};
  ASSERT_TRUE(stbi_write_png("h.png", 16, 16, 1, heights, 16));
  WriteFile("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  Ok("new world");
  Ok("terrain world h.png --faces 200");
  fs::copy("world", "pristine", fs::copy_options::recursive);
}

// The scene before and after the command, which is left run on "world".
std::pair<Tree, Tree> BeforeAndAfter(const std::string& command) {
  Restore("pristine", "world");
  EXPECT_EQ(Tool(command), 0) << Err();
  return {Snapshot("pristine"), Snapshot("world")};
}

// After a kill: check reports the interrupted commit and changes nothing; the next writing command finishes or
// rolls it back, says which, and leaves the files all old or all new, with nothing left over.
void ExpectRecovered(const Tree& before, const Tree& after, const std::string& at) {
  const std::string tool = GLIDE_SCENE_PATH;
  const Tree killed = Snapshot("world");
  const bool interrupted = killed.count(".glide-scene/journal") == 1;
  const std::string report = RunCapture(tool + " check world");
  EXPECT_EQ(report.find("interrupted") != std::string::npos, interrupted) << at << report;
  EXPECT_EQ(Differences(Snapshot("world"), killed), "") << at;
  const std::string said = RunCapture(tool + " check world --recover");
  const Tree now = Snapshot("world");
  EXPECT_EQ(said.find("interrupted") != std::string::npos, interrupted) << at << said;
  if (said.find("finished its writing") != std::string::npos) EXPECT_EQ(Differences(now, after), "") << at;
  else if (interrupted) EXPECT_EQ(Differences(now, before), "") << at << said;
  else EXPECT_TRUE(now == before || now == after) << at << Differences(now, before) << " /" << Differences(now, after);
}

// Each rename, write and fsync of a command fails in turn: a failed command leaves the scene's files as they
// were. A kill at each rename and fsync covers every step of the commit.
// AddressSanitizer's runtime writes to a pipe to probe memory and fails itself when such a write fails.
#if defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

TEST(SceneWrite, AllOrNothingWhicheverCallFails) {
  ScratchDir dir;
  if (std::system("strace -o /dev/null true") != 0) GTEST_SKIP() << "strace cannot trace here";
  SceneAndInputs();
  const std::string tool = GLIDE_SCENE_PATH;
  for (const std::string command : kCommands) {
    const auto [before, after] = BeforeAndAfter(command);
    ASSERT_NE(before, after);
    const std::string renames = "rename,renameat,renameat2", fsyncs = "fsync,fdatasync";
    for (const auto& [calls, how] : std::vector<std::pair<std::string, std::string>>{
             {renames, "error=EIO"}, {kSanitized ? "" : "write", "error=EIO"}, {fsyncs, "error=EIO"},
             {renames, "signal=KILL"}, {fsyncs, "signal=KILL"}}) {
      if (calls.empty()) continue;
      int k = 1;
      for (;; ++k) {
        Restore("pristine", "world");
        const int status = Status(std::system(("strace -f -qq -o strace.log -e trace=" + calls + " -e inject=" + calls +
                                               ":" + how + ":when=" + std::to_string(k) + " " + tool + " " + command +
                                               " >out.txt 2>&1").c_str()));
        const std::string log = ReadFile("strace.log"), at = command + ", " + how + " at " + calls + " " + std::to_string(k);
        if (log.find("(INJECTED)") == std::string::npos && log.find("killed by SIGKILL") == std::string::npos) {
          EXPECT_EQ(status, 0) << at;
          EXPECT_EQ(Differences(Snapshot("world"), after), "") << at;
          break;
        }
        if (how == "signal=KILL") ExpectRecovered(before, after, at);
        else EXPECT_EQ(Differences(Snapshot("world"), status == 0 ? after : before), "") << at << ": " << ReadFile("out.txt");
      }
      EXPECT_GT(k, 1) << command << ": strace injected nothing at " << calls;
      std::printf("%s: %s at each of %d %s calls\n", command.c_str(), how.c_str(), k - 1, calls.c_str());
    }
  }
}

// kill -9 at random moments of a run.
TEST(SceneWrite, KilledAnywhereRecovers) {
  ScratchDir dir;
  SceneAndInputs();
  const std::string tool = GLIDE_SCENE_PATH;
  const unsigned seed = std::random_device()();
  std::mt19937 random(seed);
  for (const std::string command : kCommands) {
    const auto start = std::chrono::steady_clock::now();
    const auto [before, after] = BeforeAndAfter(command);
    const auto whole = std::chrono::steady_clock::now() - start;
    for (int i = 0; i < 10; ++i) {
      Restore("pristine", "world");
      const pid_t pid = fork();
      if (pid == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", ("exec " + tool + " " + command + " >/dev/null").c_str(), nullptr);
        _exit(127);
      }
      setpgid(pid, pid);
      const double at = std::uniform_real_distribution<>(0, 1.2)(random);
      std::this_thread::sleep_for(whole * at);
      // The command and the reading process it started, which holds the lock until it has gone.
      kill(-pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      const int lock = open("world/.glide-scene/lock", O_RDONLY);
      if (lock >= 0) flock(lock, LOCK_EX);
      if (lock >= 0) close(lock);
      ExpectRecovered(before, after, command + " killed at " + std::to_string(at) + " of its time, seed " + std::to_string(seed));
    }
  }
}

// Parallel commands wait for each other: every link-file entry survives; one that waits too long names the lock,
// and check tells a commit under way from an interrupted one.
TEST(SceneWrite, OneWriterAtATime) {
  ScratchDir dir;
  const std::string tool = GLIDE_SCENE_PATH;
  WriteFile("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  ASSERT_EQ(Tool("new world"), 0);
  std::string all;
  for (int i = 0; i < 8; ++i)
    all += "(" + tool + " object world m.obj --name m" + std::to_string(i) + " --at " + std::to_string(i) +
           " 0 0 >/dev/null 2>&1 || echo failed) & ";
  EXPECT_EQ(RunCapture(all + "wait"), "");
  EXPECT_EQ(ReadLinkDoc("world/dbIlm/scene.txt").sections[kObjects].size(), 8u);
  // A command reading its input (one that never ends here) holds no lock yet.
  WriteFile("cut.ply", "ply\nformat ascii 1.0\nelement vertex 3\nprop");
  EXPECT_EQ(RunCapture("(" + tool + " object world cut.ply --at 0 0 0 --time-limit 12 >/dev/null 2>&1 &) ; sleep 1; " +
                       tool + " sky world >/dev/null 2>&1 || echo failed"), "");

  const int lock = open("world/.glide-scene/lock", O_RDONLY);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  const auto start = std::chrono::steady_clock::now();
  const std::string said = RunCapture(tool + " sky world 2>&1; echo status $?");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_NE(said.find("world/.glide-scene/lock: another glide-scene command"), std::string::npos) << said;
  EXPECT_NE(said.find("status 1"), std::string::npos) << said;
  WriteFile("world/.glide-scene/journal", "");
  EXPECT_NE(RunCapture(tool + " check world").find("is writing the scene now"), std::string::npos);
  close(lock);
}

TEST(ParseArgs, NumericOptionsTakeOnlyNumbers) {
  const std::vector<OptionSpec> specs = {{"--at", 2, 3, true}, {"--name", 1, 1, false}, {"--size", 1, 1, false, true}};
  const Args args =
      ParseArgs({"dir", "--at", "1", "2", "--at", "3", "4", "5", "in.obj", "--name", "7", "--size", "-2"}, specs);
  EXPECT_EQ(args.positional, (std::vector<std::string>{"dir", "in.obj"}));
  EXPECT_EQ(args.options.at("--at").size(), 2u);
  EXPECT_EQ(args.options.at("--at")[1].size(), 3u);
  EXPECT_EQ(args.Value("--name", ""), "7");
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--at", "1", "x"}, {"--at", "1", "2", "nan"}, {"--at", "1", "2", "inf"}, {"--at", "nan", "2"},
           {"--at", "1", "1e999"}, {"--size", "big"}, {"--at", "1", "--name", "a"}}) {
    try {
      ParseArgs(bad, specs);
      ADD_FAILURE() << bad[2] << " taken";
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find("needs numbers, not '"), std::string::npos) << e.what();
    }
  }
}


TEST(SceneReading, BadInputsEndInCleanErrorsWithinTheLimits) {
  ScratchDir dir;
  const std::string tool = GLIDE_SCENE_PATH;
  ASSERT_EQ(Tool("new scene"), 0);
  WriteFile("cut.ply", "ply\nformat ascii 1.0\nelement vertex 3\nprop");  // assimp spins on it for ever
  WriteFile("flood.dae",  // the index 3.5e38 makes assimp fill memory
            "<?xml version=\"1.0\"?><COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">"
            "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array id=\"a\" count=\"9\">"
            "0 0 0 1 0 0 0 1 0</float_array><technique_common><accessor source=\"#a\" count=\"3\" stride=\"3\">"
            "<param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param name=\"Z\" type=\"float\"/>"
            "</accessor></technique_common></source><vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/>"
            "</vertices><triangles count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
            "<p>0 1 3.5e38</p></triangles></mesh></geometry></library_geometries><library_visual_scenes>"
            "<visual_scene id=\"s\"><node><instance_geometry url=\"#g\"/></node></visual_scene>"
            "</library_visual_scenes><scene><instance_visual_scene url=\"#s\"/></scene></COLLADA>");
  WriteFile("wide.bmp", Bmp(16000000, 4, ""));
  std::string rows;
  for (int k = 0; k < 16 * 16; ++k) rows += std::string(3, static_cast<char>(k));
  WriteFile("topdown.bmp", Bmp(16, -16, rows));
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  // The child is sent the signal once it has spun half a second inside the read.
  const std::string crash =
      " & p=$!; for i in $(seq 600); do c=$(cat /proc/$p/task/$p/children 2>/dev/null); c=${c%% *}; [ -n \"$c\" ] && "
      "[ $(awk '{print $14 + $15}' /proc/$c/stat) -ge 50 ] && break; sleep 0.05; done; kill -SEGV $c; wait $p";
  const struct {
    std::string args;
    int code;
    const char* says;
    double most;  // seconds
  } cases[] = {
      {"object scene cut.ply --at 0 0 0 --time-limit 1", 1,
       "cut.ply': it took longer than 1 s (raise the limit with --time-limit SECONDS)", 20},
      {"object scene cut.ply --at 0 0 0 --stall-limit 2", 1,
       "cut.ply': it stalled, making no progress for 2 s (raise the limit with --stall-limit SECONDS)", 20},
      {"object scene flood.dae --at 0 0 0 --memory-limit 400", 1,
       "flood.dae': it needed more than 400 MB of memory (raise the limit with --memory-limit MB)", 60},
      {"object scene cut.ply --at 0 0 0 2>err.txt" + crash, 1, "cut.ply' (the reader crashed: ", 60},
      {"terrain scene fifo", 1, "fifo: is not a regular file", 10},
      {"sky scene fifo", 1, "fifo: is not a regular file", 10},
      {"object scene fifo --at 0 0 0", 1, "fifo: is not a regular file", 10},
      {"terrain scene wide.bmp", 1, "wide.bmp: its header claims 16000000 x 4 pixels, which take at least", 10},
      {"sky scene wide.bmp", 1, "wide.bmp: its header claims 16000000 x 4 pixels", 10},
      {"terrain scene topdown.bmp", 0, "", 60},
      {"sky scene topdown.bmp", 0, "topdown.bmp is 16 x 16 pixels, not 2:1 as a panorama", 60},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((tool + " " + c.args + " >out.txt 2>>err.txt").c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string err = ReadFile("err.txt");
    std::remove("err.txt");
    EXPECT_EQ(WEXITSTATUS(status), c.code) << c.args << "\n" << err;
    EXPECT_NE(err.find(c.says), std::string::npos) << c.args << "\n" << err;
    EXPECT_LT(seconds, c.most) << c.args;
  }
}

// A stand-in reader, run by this test's own program in the watched child, reports every 0.2 s for 3 s under a
// stall limit of 1 s: growing each time, it reads to the end; stuck at one fraction after 0.6 s, it is stopped.
TEST(SceneReading, AStalledReadIsStoppedAndASlowOneIsNot) {
  const char* const kStandIn = "GLIDE_TEST_STAND_IN";
  if (const char* how = std::getenv(kStandIn); how && IsWatchedChild()) {
    ReadWatched("stand-in.obj", ReadLimits{4096, 60, 1}, "a model file", [how] {
      const Step reading("reading stand-in.obj", true);
      for (int k = 1; k <= 15; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ReportProgress(std::string(how) == "slow" || k <= 3 ? k / 15.0 : 0.2);
      }
    });
    std::_Exit(0);
  }
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=" + std::string(testing::UnitTest::GetInstance()->current_test_suite()->name()) +
                       "." + testing::UnitTest::GetInstance()->current_test_info()->name();
  char* argv[] = {self.data(), filter.data(), nullptr};
  for (const std::string how : {"slow", "stuck"}) {
    setenv(kStandIn, how.c_str(), 1);
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    const int code = RunWatched(argv, "object");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string err = testing::internal::GetCapturedStderr();
    unsetenv(kStandIn);
    if (how == "slow") {
      EXPECT_EQ(code, 0) << err;
      EXPECT_EQ(err, "");
      EXPECT_GE(seconds, 3);
    } else {
      EXPECT_EQ(code, 1);
      EXPECT_NE(err.find("glide-scene object: cannot read 'stand-in.obj': it stalled, making no progress for 1 s "
                         "(raise the limit with --stall-limit SECONDS)"),
                std::string::npos)
          << err;
      EXPECT_LT(seconds, 5) << "stopped within the stall limit of its last progress";
    }
  }
}

}  // namespace
