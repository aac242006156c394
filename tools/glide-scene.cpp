// glide-scene: makes and checks the scenes glide flies, from what users have (heightmaps, elevation data, models).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/check/check.h"
#include "tools/new/new.h"
#include "tools/object/object.h"
#include "tools/scene/cli.h"
#include "tools/scene/watchdog.h"
#include "tools/sky/sky.h"
#include "tools/terrain/terrain.h"

namespace {

// Each command's work prints what it returns; it throws UsageError (exit 2) or ToolError (exit 1).
struct Command {
  const CommandSpec* spec;
  int (*run)(const Args&);
};

int Printed(const std::string& line) {
  std::printf("%s\n", line.c_str());
  return 0;
}

const Command kCommands[] = {
    {&kNewCommand, [](const Args& args) { return Printed(MakeNew(args)); }},
    {&kTerrainCommand, [](const Args& args) { return Printed(MakeTerrain(args)); }},
    {&kObjectCommand, [](const Args& args) { return Printed(MakeObject(args)); }},
    {&kSkyCommand, [](const Args& args) { return Printed(MakeSky(args)); }},
    {&kCheckCommand,
     [](const Args& args) {
       const CheckReport report = CheckScene(args);
       std::fputs(report.text.c_str(), stdout);
       return report.status;
     }},
};

void Usage(std::FILE* to) {
  std::fprintf(to, "usage: glide-scene COMMAND ARGS...   (glide-scene COMMAND --help for more)\n");
  for (const Command& c : kCommands)
    std::fprintf(to, "  glide-scene %-26s %s\n", Synopsis(*c.spec).c_str(), c.spec->summary.c_str());
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
    if (name != c.spec->name) continue;
    if (c.spec->reads && !IsWatchedChild()) return RunWatched(argv, c.spec->name.c_str());
    try {
      const std::optional<Args> args = ParseCommand(std::vector<std::string>(argv + 2, argv + argc), *c.spec);
      if (!args) {
        std::fputs(HelpText(*c.spec).c_str(), stdout);
        return 0;
      }
      return c.run(*args);
    } catch (const UsageError& e) {
      std::fprintf(stderr, "glide-scene %s: %s (see glide-scene %s --help)\n", name.c_str(),
                   Printable(e.what()).c_str(), name.c_str());
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "glide-scene %s: %s\n", name.c_str(), Printable(e.what()).c_str());
      return 1;
    }
  }
  std::fprintf(stderr, "glide-scene: unknown command '%s'\n", name.c_str());
  Usage(stderr);
  return 2;
}
