// glide's manual page and bash completion, from its table of options: glide-manual OUTDIR DATE.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "linux/manual.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: glide-manual OUTDIR DATE\n");
    return 2;
  }
  ManProgram glide{
      .name = "glide",
      .version = GLIDE_VERSION,
      .date = argv[2],
      .summary = "fly a glider over a textured terrain",
      .description =
          "glide opens an 800 x 600 window titled \"Game\" in which a glider flies over a textured terrain. The scene\n"
          "is read at the first frame from the working folder (see -C): the settings file dbIlm/setting.ini, the\n"
          "scene link file it names, the meshes and textures the link file lists and the glider's files. A chase\n"
          "camera trails the glider, a three-line overlay shows its state, and a numbered trace log is appended to\n"
          "log.txt in the scene folder.\n"
          "\n"
          "The arrow keys turn the glider and pitch its nose, W and S move it forward and back, F1 puts it back at\n"
          "the origin, F2 switches ground following off and on, F3 rebuilds the terrain's face grid, Esc quits.\n"
          "All motion is per rendered frame.\n"
          "\n"
          "An installed glide started without -C in a folder that holds no scene (as from the desktop's menu)\n"
          "flies the user's own copy of the bundled scene: the first such start copies the bundled scene\n"
          "(share/glide beside the folder of the glide program: /usr/share/glide from the package) to\n"
          "$XDG_DATA_HOME/glide/scene (~/.local/share/glide/scene where XDG_DATA_HOME is unset), so that the\n"
          "trace log and any change stay the user's; later starts fly that copy. Delete the copy to get the\n"
          "bundled scene back.\n",
      .options = {},
      .commands = {},
      .files = {{"dbIlm/setting.ini", "the settings: nine lines, one value each"},
                {"log.txt", "the trace log, appended in the scene folder"},
                {"/usr/share/glide", "the bundled scene (PREFIX/share/glide where glide was installed in PREFIX)"},
                {"~/.local/share/glide/scene", "the user's copy of the bundled scene"}},
      .examples = {{"Fly the scene in the folder myworld:", "glide -C myworld"},
                   {"Replay a key script for 600 frames without a window's message boxes and save the last frame:",
                    "glide --batch --keys flight.keys --frames 600 --screenshot shot.png"}},
      .seeAlso = "glide-scene(1)"};
  for (int i = 0; i < CountGlideOptions; ++i) {
    const GlideOption& o = GlideOptions[i];
    glide.options.push_back({o.name, o.alias ? o.alias : "", o.metavar ? o.metavar : "", o.help});
  }
  return WriteManual(glide, argv[1]) ? 0 : 1;
}
