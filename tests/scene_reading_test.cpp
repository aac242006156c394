// glide-scene reading inputs that hang, flood or crash a reader, or lie about their size: clean errors, soon.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>

#include "scene_tool.h"
#include "support.h"

namespace {

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

}  // namespace
