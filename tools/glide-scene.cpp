// glide-scene: makes and checks the scenes glide flies, from what users have (heightmaps, elevation data, models).
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/scene/watchdog.h"

int main(int argc, char** argv) {
  // The progress line measures file names in the terminal's characters; numbers keep the C locale's point.
  std::setlocale(LC_CTYPE, "");
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
  const CommandSpec* command = FindCommand(name);
  if (command && command->reads && !IsWatchedChild()) return RunWatched(argv, argv[1]);
  return RunCommand(std::vector<std::string>(argv + 1, argv + argc));
}
