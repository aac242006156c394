// glide-scene check: one broken scene per kind of finding, clean scenes, and the map's pixels.
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include "scene_tool.h"
#include "tools/scene/mesh_writer.h"
#include "tools/scene/picture.h"
#include "tools/scene/scene_files.h"

namespace {

struct CheckRun {
  int exit = -1;
  std::vector<std::string> findings;  // the "error:" and "warning:" lines
  std::string output;
  double seconds = 0;
};

// Check in this process, or with `real` as the program runs (where a hang shows as exit 124).
CheckRun Check(const std::string& dir, const std::string& more = "", bool real = false) {
  CheckRun run;
  const auto start = std::chrono::steady_clock::now();
  if (real) {
    run.output = RunCapture("timeout 60 " + std::string(GLIDE_SCENE_PATH) + " check '" + dir + "' " + more + " 2>&1; echo \"exit=$?\"");
    run.exit = std::stoi(run.output.substr(run.output.rfind("exit=") + 5));
  } else {
    const Ran ran = RunHere("check '" + dir + "' " + more);
    run.exit = ran.code;
    run.output = ran.out + ran.err;
  }
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("error: ", 0) == 0 || line.rfind("warning: ", 0) == 0) run.findings.push_back(line);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

// Line n (from 1) of a file: `count` lines from it replaced by `with` (no lines: removed; count 0: put before it).
void EditLines(const std::string& file, int n, int count, const std::vector<std::string>& with) {
  std::vector<std::string> lines = ReadLines(file);
  lines.erase(lines.begin() + (n - 1), lines.begin() + (n - 1 + count));
  lines.insert(lines.begin() + (n - 1), with.begin(), with.end());
  std::string text;
  for (const std::string& l : lines) text += l + '\n';
  WriteFile(file, text);
}
void SetLine(const std::string& file, int n, const std::string& text) { EditLines(file, n, 1, {text}); }

constexpr const char* kLink = "dbIlm/scene.txt";
constexpr const char* kSettings = "dbIlm/setting.ini";
constexpr const char* kBox = "Objects/box.obj";

// Line numbers of the base link file: Location entry at 2, Horizon at 9, Objects at 16.
const char kBaseLink[] =
    "# Location\nLocation/ground\n-\n1\n0\n0\n0\n"
    "# Horizon\nHorizon/sky\n-\n1\n0\n0\n0\n"
    "# Objects\nObjects/box\n-\n2\n20\n20\n0\n-20\n10\n0\n";

// A pyramid 10 high standing on z = 0: vertex lines 1-5, texture lines 6-10, faces 11-14.
const char kBoxMesh[] =
    "v  -2 -2 0\nv  2 -2 0\nv  2 2 0\nv  -2 2 0\nv  0 0 10\n"
    "vt  0 0 0\nvt  1 0 0\nvt  1 1 0\nvt  0 1 0\nvt  0.5 0.5 0\n"
    "f 1/1/1 2/2/2 5/5/5\nf 2/2/2 3/3/3 5/5/5\nf 3/3/3 4/4/4 5/5/5\nf 4/4/4 1/1/1 5/5/5\n";

const char kTriangle[] = "v  -500 -500 100\nv  500 -500 100\nv  0 500 100\nvt  0 0 0\nvt  1 0 0\nvt  0.5 1 0\nf 1/1/1 2/2/2 3/3/3\n";

std::string Texture(int width, int height, uint8_t r = 40, uint8_t g = 160, uint8_t b = 40) {
  std::vector<uint8_t> rgb;
  for (int i = 0; i < width * height; ++i) rgb.insert(rgb.end(), {r, g, b});
  return TextureBytes(width, height, rgb);
}

// The terrain: 10 x 10 quads over -50..50 in X and Y, with the height given, plus `tiny` triangles of a
// millimetre at (25.3, 25.3), which all fall into one face-grid cell however fine the grid.
void WriteGround(const std::function<float(float, float)>& height, int tiny = 0, float shift = 0) {
  MeshBuilder mesh;
  for (int j = 0; j <= 10; ++j)
    for (int i = 0; i <= 10; ++i) {
      const float x = -50.0f + 10 * i + shift, y = -50.0f + 10 * j;
      mesh.AddVertex(x, y, height(x, y), (x + 50) / 100, (y + 50) / 100);
    }
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 10; ++i) mesh.AddQuad(j * 11 + i + 1, j * 11 + i + 2, j * 11 + i + 13, j * 11 + i + 12);
  for (int k = 0; k < tiny; ++k)
    mesh.AddTriangle(mesh.AddVertex(25.3f, 25.3f, 0, 0, 0), mesh.AddVertex(25.301f, 25.3f, 0, 0, 0),
                     mesh.AddVertex(25.3f, 25.301f, 0, 0, 0));
  WriteFile("Location/ground.obj", MeshText(mesh));
}

// A small scene that passes: terrain level at 0, a sky, two pyramids standing on the ground, the glider.
void WriteBaseScene() {
  Settings settings;
  settings.gridDivisions = 10;
  WriteFile(kSettings, SettingsText(settings));
  WriteFile(kLink, kBaseLink);
  WriteGround([](float, float) { return 0.0f; });
  WriteFile("Location/ground.bmp", Texture(64, 64));
  WriteFile("Horizon/sky.obj", kTriangle);
  WriteFile("Horizon/sky.bmp", Texture(4, 4));
  WriteFile(kBox, kBoxMesh);
  WriteFile("Objects/box.bmp", Texture(4, 4));
  WriteFile("Glader/glader01.obj", kTriangle);
  WriteFile("Glader/glader01.bmp", Texture(4, 4));
}

struct Broken {
  const char* name;
  std::function<void()> breakScene;
  std::string where;  // how the finding's line starts
  std::string says;   // a piece of its text
  int exit;
  size_t findings = 1;  // more where the fault has a consequence of its own, reported after it
};

const std::vector<Broken>& BrokenScenes() {
  static const std::vector<Broken> scenes = {
      // Settings.
      {"SettingDoesNotScan", [] { SetLine(kSettings, 3, "fast"); }, "error: dbIlm/setting.ini:3: ", "does not read as a number", 1},
      {"SettingLineTooLong", [] { SetLine(kSettings, 5, "6 " + std::string(300, 'x')); }, "error: dbIlm/setting.ini:5: ", "302 characters long", 1},
      {"GridDivisionsZero", [] { SetLine(kSettings, 9, "0"); }, "error: dbIlm/setting.ini:9: ", "with grid divisions 0 the face grid holds no face", 1},
      {"GridDivisionsTooMany", [] { SetLine(kSettings, 9, "254"); }, "error: dbIlm/setting.ini:9: ", "far edge", 1},
      {"LinkPathTooLong", [] { SetLine(kSettings, 2, "dbIlm/" + std::string(100, 'a') + ".txt"); }, "error: dbIlm/setting.ini:2: ", "110 characters long", 1},
      {"MoveStepZero", [] { SetLine(kSettings, 3, "0"); }, "error: dbIlm/setting.ini:3: ", "move step is 0", 1},
      {"TurnStepZero", [] { SetLine(kSettings, 4, "0.0 radians"); }, "error: dbIlm/setting.ini:4: ", "turn step is 0", 1},
      {"SettingsMissing", [] { std::filesystem::remove(kSettings); }, "error: dbIlm/setting.ini: ", "missing", 1},
      {"LogLevelDoesNotScan", [] { SetLine(kSettings, 1, "verbose"); }, "warning: dbIlm/setting.ini:1: ", "glide keeps 0 for the log level", 0},
      {"MoveStepNotANumber", [] { SetLine(kSettings, 3, "nan"); }, "error: dbIlm/setting.ini:3: ", "'nan' reads as nan, not a finite number", 1},
      {"ClearanceBeyondSinglePrecision", [] { SetLine(kSettings, 5, "3.5e38"); }, "error: dbIlm/setting.ini:5: ", "reads as inf, not a finite number", 1},
      {"CameraDistanceHuge", [] { SetLine(kSettings, 6, "3e38"); }, "error: dbIlm/setting.ini:6: ", "beyond the 1000000 any scene needs", 1},
      {"SettingsShort", [] { WriteFile(kSettings, "1\ndbIlm/scene.txt\n0.6\n"); }, "error: dbIlm/setting.ini: ", "has 3 of the 9 lines", 1},
      // The link file.
      {"CountDoesNotScan", [] { SetLine(kLink, 18, "two"); }, "error: dbIlm/scene.txt:18: ", "is not a position count", 1},
      {"CountZero", [] { SetLine(kLink, 18, "0"); }, "error: dbIlm/scene.txt:18: ", "glide drops the entry", 1},
      {"CountAboveTen",
       [] {
         EditLines(kLink, 18, 7, {"11"});
         for (int k = 0; k < 11; ++k) WriteFile(kLink, ReadFile(kLink) + std::to_string(k * 2) + "\n0\n0\n");
       },
       "error: dbIlm/scene.txt:18: ", "keeps only the first 10", 1},
      {"FewerPositionsThanCount", [] { SetLine(kLink, 18, "3"); }, "error: dbIlm/scene.txt:16: ", "after 2 of its 3 positions", 1},
      {"PositionLinesMissing", [] { EditLines(kLink, 21, 1, {}); }, "error: dbIlm/scene.txt:16: ", "after 1 of its 2 positions", 1},
      {"PositionLineNotANumber", [] { EditLines(kLink, 14, 1, {}); }, "error: dbIlm/scene.txt:15: ", "is read as the Z of position 1 of the entry 'Horizon/sky' (line 9)", 1, 2},
      {"PositionNotANumber", [] { SetLine(kLink, 21, "-nan"); }, "error: dbIlm/scene.txt:21: ", "the Z of position 1 of 'Objects/box' reads as -nan, not a finite number", 1},
      {"PositionBeyondReach", [] { SetLine(kLink, 22, "1e30"); }, "error: dbIlm/scene.txt:22: ", "the X of position 2 of 'Objects/box' reads as 1e+30, beyond", 1},
      {"NoTerrainEntry", [] { WriteFile(kLink, "# Location\n" + std::string(kBaseLink).substr(std::string(kBaseLink).find("# Horizon"))); }, "warning: dbIlm/scene.txt: ", "no terrain entry", 0},
      {"LinkFileMissing", [] { std::filesystem::remove(kLink); }, "error: dbIlm/setting.ini:2: ", "'dbIlm/scene.txt' does not exist", 1},
      {"NameIsANumber", [] { SetLine(kLink, 18, "1"); }, "error: dbIlm/scene.txt:22: ", "the entry name '-20' is a number", 1},
      {"MissingFreeText", [] { EditLines(kLink, 17, 1, {}); }, "error: dbIlm/scene.txt:16: ", "has no free-text line", 1},
      {"NameTooLong", [] { SetLine(kLink, 16, "Objects/" + std::string(100, 'b')); }, "error: dbIlm/scene.txt:16: ", "108 characters long", 1},
      {"DataBeforeFirstSection", [] { WriteFile(kLink, "Objects/box\n-\n1\n5\n5\n0\n" + std::string(kBaseLink)); }, "error: dbIlm/scene.txt:1: ", "before the first section line", 1},
      {"FourthSection", [] { WriteFile(kLink, std::string(kBaseLink) + "# More\nObjects/box\n-\n1\n5\n5\n0\n"); }, "error: dbIlm/scene.txt:25: ", "fourth section line", 1},
      {"LineStartsWithBlank", [] { EditLines(kLink, 17, 0, {"  a comment"}); }, "warning: dbIlm/scene.txt:17: ", "starts with a blank", 0},
      {"LinkLineTooLong", [] { SetLine(kLink, 17, std::string(255, 't')); }, "error: dbIlm/scene.txt:17: ", "255 characters long", 1},
      {"LinkLineLongest", [] { SetLine(kLink, 17, std::string(254, 't')); }, "", "", 0, 0},
      // Files.
      {"MissingMesh", [] { std::filesystem::remove(kBox); }, "error: dbIlm/scene.txt:16: ", "'Objects/box.obj' does not exist as a file", 1},
      {"MissingTexture", [] { std::filesystem::remove("Horizon/sky.bmp"); }, "error: dbIlm/scene.txt:9: ", "'Horizon/sky.bmp' does not exist as a file", 1},
      {"NameWithBlankAtEnd", [] { SetLine(kLink, 9, "Horizon/sky "); }, "error: dbIlm/scene.txt:9: ", "glide keeps the blank or tab at the name's start or end", 1, 2},
      {"BmpWithLongHeader", [] { WriteFile("Horizon/sky.bmp", Bmp(4, 4, std::string(48, '\x80'), 124)); }, "error: Horizon/sky.bmp: ", "124-byte header", 1},
      {"BmpCutInHeader", [] { WriteFile("Horizon/sky.bmp", Bmp(4, 4, "").substr(0, 14 + 30)); }, "error: Horizon/sky.bmp: ", "cut off inside its 40-byte header", 1},
      {"BmpTwoBitsAPixel", [] { WriteFile("Horizon/sky.bmp", Bmp(4, 4, std::string(48, 'x')).erase(28, 1).insert(28, 1, 2)); }, "error: Horizon/sky.bmp: ", "2 bits a pixel", 1},
      {"BmpCutOff", [] { WriteFile("Horizon/sky.bmp", Bmp(4, 4, std::string(28, 'x'))); }, "error: Horizon/sky.bmp: ", "cut off", 1},
      {"BmpTooLarge", [] { WriteFile("Horizon/sky.bmp", Bmp(10000, 10000, std::string(48, '\x80'))); }, "error: Horizon/sky.bmp: ", "more than the decoder's limit", 1},
      {"TextureNotPowerOfTwo", [] { WriteFile("Horizon/sky.bmp", Texture(6, 4)); }, "error: Horizon/sky.bmp: ", "is 6 x 4 pixels; OpenGL 1.1 takes only sides that are powers of two, so the mesh may show untextured; resize it to 8x4 and save it as a 24-bit BMP with a 40-byte header (BITMAPINFOHEADER), or let 'glide-scene sky DIR PICTURE' write it", 1},
      // Meshes.
      {"VertexWithOneBlank", [] { SetLine(kBox, 3, "v 2 2 0"); }, "error: Objects/box.obj:3: ", "one blank after 'v'", 1},
      {"CoordWithOneBlank", [] { SetLine(kBox, 8, "vt 1 1 0"); }, "error: Objects/box.obj:8: ", "one blank after 'vt'", 1},
      {"FaceNamesMissingVertex", [] { SetLine(kBox, 12, "f 2/2/2 9/9/9 5/5/5"); }, "error: Objects/box.obj:12: ", "names a vertex the file does not have", 1},
      {"VertexAfterTab", [] { WriteFile(kBox, std::string(kBoxMesh) + "v\t9 9 9\n"); }, "error: Objects/box.obj:15: ", "tab after 'v'", 1},
      {"FaceNamesVertexZero", [] { SetLine(kBox, 12, "f 2/2/2 3/3/3 0/0/0"); }, "error: Objects/box.obj:12: ", "names vertex 0", 1},
      {"FaceWithFourCorners", [] { SetLine(kBox, 14, "f 4/4/4 1/1/1 5/5/5 3/3/3"); }, "warning: Objects/box.obj:14: ", "more than three corners", 0},
      {"FewerCoordsThanVertices", [] { EditLines(kBox, 10, 1, {}); }, "warning: Objects/box.obj: ", "5 'v' lines but 4 'vt' lines", 0},
      {"NoFaces", [] { WriteFile(kBox, std::string(kBoxMesh).substr(0, std::string(kBoxMesh).find("f "))); }, "error: Objects/box.obj: ", "has no face", 1},
      {"FaceWithoutSlashes", [] { SetLine(kBox, 13, "f 3 4 5"); }, "error: Objects/box.obj:13: ", "without '/'", 1},
      {"FaceWithoutTexture", [] { SetLine(kBox, 13, "f 3//3 4//4 5//5"); }, "error: Objects/box.obj:13: ", "without a texture number", 1},
      {"VertexNotFinite", [] { SetLine("Location/ground.obj", 7, "v  10 -50 -inf"); }, "error: Location/ground.obj:7: ", "'v  10 -50 -inf' is a vertex glide reads with a coordinate that is not a finite number", 1},
      {"FaceWithNegativeNumbers", [] { SetLine(kBox, 14, "f -2/-2/-2 -5/-5/-5 -1/-1/-1"); }, "error: Objects/box.obj:14: ", "negative", 1},
      // Flight.
      {"GridCellsOverflow", [] { SetLine(kSettings, 9, "1"); }, "error: dbIlm/setting.ini:9: ", "(the fullest 542, around (0, 0)); glide files no more, so ground following misses the ground in much of it; set the grid divisions to 2", 1},
      {"GridCellsSmallerThanFaces", [] { SetLine(kSettings, 9, "100"); }, "error: dbIlm/setting.ini:9: 9900 face-grid cells on the terrain", "larger than a cell; ground following finds no ground there; set the grid divisions to 10", 1},
      {"GridCellsOverflowAtAnyDivisions", [] { WriteGround([](float, float) { return 0.0f; }, 100); }, "error: Location/ground.obj: ", "reduce the terrain to about", 1},
      {"StartOutsideTerrain", [] { WriteGround([](float, float) { return 0.0f; }, 0, 60); SetLine(kLink, 22, "20"); }, "error: dbIlm/scene.txt:2: ", "finds no terrain", 1},
      {"StartInsideTerrain", [] { WriteGround([](float x, float y) { return x == 0 && y == 0 ? 20.0f : 0.0f; }); }, "warning: dbIlm/scene.txt:2: ", "20 below the ground", 0},
      {"CameraStartsInsideTerrain", [] { WriteGround([](float x, float) { return x <= -30 ? 30.0f : 0.0f; }); }, "warning: dbIlm/scene.txt:2: ", "the chase camera starts at (-35, 0, 15), 15 below the ground there", 0},
      {"TerrainPlacedAway", [] { SetLine(kLink, 5, "5"); }, "error: dbIlm/scene.txt:5: ", "ground following uses the mesh's own coordinates", 1},
      {"SecondTerrainPlace", [] { EditLines(kLink, 4, 2, {"2", "0", "0", "0", "100"}); }, "warning: dbIlm/scene.txt:8: ", "flies through this one", 0},
      {"ObjectFloats", [] { SetLine(kLink, 21, "5"); }, "warning: dbIlm/scene.txt:21: ", "floats 5 above the ground; set its Z to 0", 0},
      {"ObjectBuried", [] { SetLine(kLink, 24, "-3"); }, "warning: dbIlm/scene.txt:24: ", "is buried 3 below", 0},
      // A FIFO where a text file belongs reads as missing at once, as in glide, instead of waiting for a writer.
      {"LinkFileIsAFifo", [] { std::filesystem::remove(kLink); mkfifo(kLink, 0600); }, "error: dbIlm/setting.ini:2: ", "'dbIlm/scene.txt' does not exist or cannot be read", 1},
      {"SettingsAreAFifo", [] { std::filesystem::remove(kSettings); mkfifo(kSettings, 0600); }, "error: dbIlm/setting.ini: ", "missing or not a readable file", 1},
      {"SettingsAreAFolder", [] { std::filesystem::remove(kSettings); std::filesystem::create_directory(kSettings); }, "error: dbIlm/setting.ini: ", "missing or not a readable file", 1},
      {"SettingsEmpty", [] { WriteFile(kSettings, ""); }, "error: dbIlm/setting.ini: ", "has 0 of the 9 lines", 1},
      // Clean: the base scene, and names that only begin like a number ("inf", "nan", digits), which are names,
      // not lines out of step.
      {"Base", [] {}, "", "", 0, 0},
      {"NamesStartingLikeNumbers",
       [] {
         for (const std::string name : {"Infra/bridge", "2cv/car", "Nantes/tower"}) {
           std::filesystem::create_directories(std::filesystem::path(name).parent_path());
           WriteFile(name + ".obj", kBoxMesh);
           WriteFile(name + ".bmp", Texture(4, 4));
           WriteFile(kLink, ReadFile(kLink) + name + "\n-\n1\n-20\n-20\n0\n");
         }
       },
       "", "", 0, 0},
  };
  return scenes;
}

void PrintTo(const Broken& broken, std::ostream* os) { *os << broken.name; }

class BrokenScene : public testing::TestWithParam<Broken> {};

// Check changes nothing; a clean scene says so.
TEST_P(BrokenScene, GivesItsOneFinding) {
  ScratchDir dir;
  WriteBaseScene();
  GetParam().breakScene();
  const Tree before = Snapshot(dir.path());
  const CheckRun run = Check(dir.path());
  EXPECT_EQ(Snapshot(dir.path()), before);
  EXPECT_EQ(run.exit, GetParam().exit) << run.output;
  EXPECT_EQ(run.output.find("'convert "), std::string::npos) << run.output;  // a tool no scene maker installs
  ASSERT_EQ(run.findings.size(), GetParam().findings) << run.output;
  const std::string first = run.findings.empty() ? "" : run.findings[0];
  EXPECT_EQ(first.rfind(GetParam().where, 0), 0u) << first;
  EXPECT_NE(first.find(GetParam().says), std::string::npos) << first;
  EXPECT_EQ(run.output.find("scene OK\n") != std::string::npos, first.empty()) << run.output;
}

INSTANTIATE_TEST_SUITE_P(SceneCheck, BrokenScene, testing::ValuesIn(BrokenScenes()),
                         [](const testing::TestParamInfo<Broken>& info) { return info.param.name; });

// A scene glide flies: no error, warnings allowed.
TEST(SceneCheck, BundledSceneFlies) {
  const CheckRun run = Check(SOURCE_DIR);
  EXPECT_EQ(run.exit, 0) << run.output;
  for (const std::string& f : run.findings) EXPECT_EQ(f.rfind("error: ", 0), std::string::npos) << f;
}

// What glide-scene's own commands make holds no finding at all: a fresh scene but for the missing terrain, with
// the command that adds one; a heightmap terrain, a model on it.
TEST(SceneCheck, ScenesMadeByTheToolAreClean) {
  ScratchDir dir;
  ASSERT_EQ(Tool("new world"), 0);
  CheckRun run = Check("world");
  EXPECT_EQ(run.exit, 0) << run.output;
  ASSERT_EQ(run.findings.size(), 1u) << run.output;
  EXPECT_NE(run.findings[0].find("glide-scene terrain DIR INPUT"), std::string::npos) << run.findings[0];
  const int side = 301;
  std::vector<uint8_t> heights;
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i)
      heights.push_back(static_cast<uint8_t>(128 + 60 * std::sin(i * 0.05) * std::cos(j * 0.03) + 40 * std::sin((i + j) * 0.02)));
  // A name of 245 characters once cut the link file short, as terrain names its input in the free text.
  const std::string hills = std::string(245, 'h') + ".png";
  ASSERT_TRUE(stbi_write_png(hills.c_str(), side, side, 1, heights.data(), side));
  WriteFile("box.obj", "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nv -1 6 -1\nv 1 6 -1\nv 1 6 1\nv -1 6 1\n"
                       "f 1 2 3 4\nf 8 7 6 5\nf 1 5 6 2\nf 2 6 7 3\nf 3 7 8 4\nf 4 8 5 1\n");
  ASSERT_EQ(Tool("terrain world " + hills + " --faces 60000"), 0);
  ASSERT_EQ(Tool("object world box.obj --size 20 --at 40 10 --at -200 130 --at 300 -310"), 0);
  run = Check("world", "", true);
  EXPECT_EQ(run.exit, 0) << run.output;
  EXPECT_TRUE(run.findings.empty()) << run.output;
  EXPECT_EQ(RunCapture(std::string(GLIDE_SCENE_PATH) + " --version"), std::string("glide-scene ") + GLIDE_VERSION + "\n");
}

// Many large faces lying over each other: the search for grid divisions ends in seconds (it once took minutes),
// and the divisions it suggests pass.
TEST(SceneCheck, ManyLargeOverlappingFacesCheckQuickly) {
  ScratchDir dir;
  WriteBaseScene();
  MeshBuilder mesh;
  uint32_t seed = 12345;
  auto random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / (1 << 24) * 100 - 50;
  };
  for (int f = 0; f < 20000; ++f)
    mesh.AddTriangle(mesh.AddVertex(random(), random(), 0, 0, 0), mesh.AddVertex(random(), random(), 0, 0, 0),
                     mesh.AddVertex(random(), random(), 0, 0, 0));
  WriteFile("Location/ground.obj", MeshText(mesh));
  SetLine(kSettings, 9, "250");
  const CheckRun run = Check(dir.path());
  EXPECT_LT(run.seconds, 20);
  EXPECT_EQ(run.exit, 1) << run.output;
  ASSERT_EQ(run.findings.size(), 1u) << run.output;
  const std::string advice = "; set the grid divisions to ";
  const size_t at = run.findings[0].find(advice);
  ASSERT_NE(at, std::string::npos) << run.findings[0];
  SetLine(kSettings, 9, run.findings[0].substr(at + advice.size()));
  const CheckRun again = Check(dir.path());
  for (const std::string& f : again.findings) EXPECT_EQ(f.find("face-grid"), std::string::npos) << f;
  // Drawing them all on the map would take minutes too: it stops, and says so.
  const CheckRun mapped = Check(dir.path(), "--map big.png");
  EXPECT_LT(mapped.seconds, 20);
  EXPECT_NE(mapped.output.find("the terrain is drawn only in part"), std::string::npos) << mapped.output;
}

// Faults in several files are all reported, each once, with the summary counting them.
TEST(SceneCheck, ReportsEveryFaultAndCountsThem) {
  ScratchDir dir;
  WriteBaseScene();
  SetLine(kSettings, 3, "0");
  SetLine(kBox, 3, "v 2 2 0");
  SetLine(kBox, 4, "v 2 2 0");
  SetLine(kLink, 21, "5");
  const CheckRun run = Check(dir.path());
  ASSERT_EQ(run.findings.size(), 3u) << run.output;
  EXPECT_NE(run.findings[1].find("(1 more line like it)"), std::string::npos) << run.findings[1];
  EXPECT_NE(run.output.find("2 errors, 1 warning\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.exit, 1);
}

TEST(SceneCheck, CommandLine) {
  ScratchDir dir;
  EXPECT_NE(Check("--help", "", true).output.find("usage: glide-scene check DIR"), std::string::npos);
  EXPECT_NE(RunCapture(std::string(GLIDE_SCENE_PATH) + " check 2>&1; echo \"exit=$?\"").find("exit=2"), std::string::npos);
  EXPECT_EQ(Check(dir.path(), "--map out.jpg", true).exit, 2);
  WriteBaseScene();
  const CheckRun unwritten = Check(dir.path(), "--map " + dir.path() + "/none/map.png", true);
  EXPECT_EQ(unwritten.exit, 3) << unwritten.output;
  EXPECT_NE(unwritten.output.find("scene OK"), std::string::npos) << unwritten.output;
  const CheckRun missing = Check(dir.path() + "/none", "", true);
  EXPECT_EQ(missing.exit, 1);
  EXPECT_NE(missing.output.find("no such scene folder"), std::string::npos) << missing.output;
}

std::vector<int> At(const Picture& picture, int column, int row) {
  const uint8_t* p = &picture.rgb[(static_cast<size_t>(row) * picture.width + column) * 3];
  return {p[0], p[1], p[2]};
}

Picture ReadPng(const std::string& file) {
  Picture p;
  int channels = 0;
  uint8_t* data = stbi_load(file.c_str(), &p.width, &p.height, &channels, 3);
  if (data) p.rgb.assign(data, data + static_cast<size_t>(p.width) * p.height * 3);
  stbi_image_free(data);
  return p;
}

// The base scene spans -50..50: 960 pixels for 100 units inside a 32-pixel margin, Y up.
int Column(float x) { return static_cast<int>(32 + (x + 50) * 9.6f); }
int Row(float y) { return static_cast<int>(32 + (50 - y) * 9.6f); }

TEST(SceneCheck, MapShowsStartObjectsOverfullCellsAndHoles) {
  ScratchDir dir;
  WriteBaseScene();
  WriteGround([](float, float) { return 0.0f; }, 100);
  const CheckRun run = Check(dir.path(), "--map " + dir.path() + "/map.png");
  EXPECT_NE(run.output.find("1024 x 1024 pixels"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("the start at pixel (512, 512)"), std::string::npos) << run.output;
  const Picture map = ReadPng("map.png");
  ASSERT_EQ(std::make_pair(map.width, map.height), std::make_pair(1024, 1024));
  // The start, and its heading along +X.
  EXPECT_EQ(At(map, 512, 512), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(At(map, 512 + 26, 512), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(At(map, 512 - 26, 512), (std::vector<int>{40, 160, 40}));
  // Both objects ringed in yellow.
  EXPECT_EQ(At(map, Column(-20) + 6, Row(10)), (std::vector<int>{255, 220, 0}));
  EXPECT_EQ(At(map, Column(20), Row(20) - 6), (std::vector<int>{255, 220, 0}));
  // The overfull cell 20..30 in X and Y tinted red over the texture; a cell beside it not.
  EXPECT_EQ(At(map, Column(22), Row(28)), (std::vector<int>{40 / 2 + 255 / 2, 160 / 2, 40 / 2}));
  EXPECT_EQ(At(map, Column(32), Row(28)), (std::vector<int>{40, 160, 40}));
  // Outside the terrain, the margin.
  EXPECT_EQ(At(map, 5, 5), (std::vector<int>{32, 36, 44}));
  // With 100 divisions, cell (2, 1) lies in the middle of a face filed only in the cells of its corners: blue;
  // cell (1, 1) holds a corner.
  WriteGround([](float, float) { return 0.0f; });
  SetLine(kSettings, 9, "100");
  ASSERT_EQ(Check(dir.path(), "--map map.png").exit, 1);
  const Picture holes = ReadPng("map.png");
  EXPECT_EQ(At(holes, Column(-48.5f), Row(-49.5f)), (std::vector<int>{40 / 2, 160 / 2 + 96 / 2, 40 / 2 + 255 / 2}));
  EXPECT_EQ(At(holes, Column(-49.5f), Row(-49.5f)), (std::vector<int>{40, 160, 40}));
}

// The map's name is taken from where the command runs, not from inside the scene.
TEST(SceneCheck, MapShadesSlopes) {
  ScratchDir dir;
  std::filesystem::create_directory("scene");
  std::filesystem::current_path("scene");
  WriteBaseScene();
  WriteGround([](float x, float) { return x > 0 ? x : 0.0f; });
  std::filesystem::current_path(dir.path());
  ASSERT_EQ(Check("scene", "--map map.png").exit, 0);
  EXPECT_FALSE(std::filesystem::exists("scene/map.png"));
  const Picture map = ReadPng("map.png");
  ASSERT_EQ(map.width, 1024);
  // East of the origin the ground rises toward +X and faces the light from the north-west: brighter.
  EXPECT_GT(At(map, Column(35), Row(-35))[1], At(map, Column(-35), Row(-35))[1] + 10);
}

}  // namespace
