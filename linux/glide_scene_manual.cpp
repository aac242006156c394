// glide-scene's manual page and bash completion, from its table of commands: glide-scene-manual OUTDIR DATE.
#include <cstdio>
#include <string>

#include "linux/manual.h"
#include "tools/commands.h"

static ManOption ManOf(const OptionSpec& spec, const std::string& fallbackHelp) {
  const std::string help = OptionHelp(spec);
  return {spec.name, "", spec.metavar, help.empty() ? fallbackHelp : help};
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: glide-scene-manual OUTDIR DATE\n");
    return 2;
  }
  ManProgram tool{
      .name = "glide-scene",
      .version = GLIDE_VERSION,
      .date = argv[2],
      .summary = "make and check the scenes glide flies",
      .description =
          "glide-scene makes scenes for glide(1) from what users have: heightmaps and elevation rasters become the\n"
          "terrain, models (glTF, FBX, OBJ, COLLADA, PLY, STL, 3DS) become objects baked with their look, and a\n"
          "panorama becomes the sky. check reads a scene exactly as glide does and prints every problem with its fix.\n"
          "\n"
          "Every command writes all or nothing: a command that fails leaves the scene's files as they were. One\n"
          "command writes a scene at a time, under the lock DIR/.glide-scene/lock. Inputs are read in a watched\n"
          "child process under limits of memory, time and progress (a read that stalls); past a limit the command\n"
          "names the file and the option that raises the limit. On a terminal, terrain, object and sky show how far\n"
          "their work has come on one line. Exit status: 0 on success, 1 for a failure, 2 for a bad command line.\n",
      .options = {},
      .commands = {},
      .files = {{"DIR/dbIlm/setting.ini", "the scene's settings, fitted to the terrain by terrain"},
                {"DIR/dbIlm/scene.txt", "the scene link file new writes"},
                {"DIR/.glide-scene/", "the lock and the journal of an interrupted writing"}},
      .examples = {{"Make a scene from a heightmap and fly it:",
                    "glide-scene new myworld && glide-scene terrain myworld map.png && glide -C myworld"},
                   {"Put a model in it, 12 units long, at two places:",
                    "glide-scene object myworld cow.glb --size 12 --at 120 80 --at 200 140"},
                   {"Check the scene and draw its map:", "glide-scene check myworld --map myworld.png"}},
      .seeAlso = "glide(1)"};
  for (const OptionSpec& spec : ProgramOptions()) tool.options.push_back(ManOf(spec, ""));
  for (const CommandSpec* command : Commands()) {
    ManCommand man{command->name, {}, command->summary, command->description, command->notes, {}};
    for (const Positional& p : command->positional) man.arguments.push_back({p.name, p.optional, p.help});
    for (const OptionSpec& spec : AllOptions(*command)) man.options.push_back(ManOf(spec, "show the command's help"));
    tool.commands.push_back(man);
  }
  return WriteManual(tool, argv[1]) ? 0 : 1;
}
