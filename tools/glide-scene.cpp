// glide-scene: makes and checks the scenes glide flies, from what users have (heightmaps, elevation data, models).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/watchdog.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
  const char* summary;
  bool reads;  // inputs from users, read in a watched child process
};

const Command kCommands[] = {
    {"new", RunNew, "new DIR                    a flyable empty scene: settings, link file, glider, sky", false},
    {"terrain", RunTerrain, "terrain DIR INPUT [...]    a heightmap or elevation raster becomes the terrain", true},
    {"object", RunObject, "object DIR INPUT [...]     a model (glTF, FBX, OBJ, PLY, STL, ...) placed in the scene", true},
    {"sky", RunSky, "sky DIR [IMAGE]            the sky dome: a gradient, or a panorama", true},
    {"check", RunCheck, "check DIR [--map FILE.png] every problem of a scene, with its fix", false},
};

void Usage(std::FILE* to) {
  std::fprintf(to, "usage: glide-scene COMMAND ARGS...   (glide-scene COMMAND --help for more)\n");
  for (const Command& c : kCommands) std::fprintf(to, "  glide-scene %s\n", c.summary);
  std::fprintf(to, "  glide-scene --version\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h") {
    Usage(stdout);
    return 0;
  }
  if (name == "--version") {
    std::printf("glide-scene %s\n", GLIDE_VERSION);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    if (c.reads && !IsWatchedChild()) return RunWatched(argv, c.name);
    try {
      return c.run(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const UsageError& e) {
      std::fprintf(stderr, "glide-scene %s: %s (see glide-scene %s --help)\n", c.name, Printable(e.what()).c_str(),
                   c.name);
      return 2;
    } catch (const ToolError& e) {
      std::fprintf(stderr, "glide-scene %s: %s\n", c.name, Printable(e.what()).c_str());
      return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "glide-scene %s: %s\n", c.name, Printable(e.what()).c_str());
      return 1;
    }
  }
  std::fprintf(stderr, "glide-scene: unknown command '%s'\n", name.c_str());
  Usage(stderr);
  return 2;
}
