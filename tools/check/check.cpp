// glide-scene check: the scene read as glide reads it, every problem named with its fix, and a map on request.
#include <algorithm>
#include <filesystem>

#include "config/config.h"
#include "tools/check/check.h"
#include "tools/scene/scene_files.h"

namespace fs = std::filesystem;

namespace {


// What in a name the user may not see: glide keeps a name's blanks, and its folders are split at '/'.
std::string NameHint(const std::string& name) {
  const char blanks[] = " \t";
  if (name.find_first_of(blanks) == 0 || name.find_last_of(blanks) == name.size() - 1)
    return "; glide keeps the blank or tab at the name's start or end";
  if (name.find('\\') != std::string::npos) return "; write '/' between folders, not '\\'";
  return "";
}

// The textures the program asked for in one section, by index.
const TextureLoad* FindTexture(const SceneLoad& load, int section, size_t index) {
  for (const TextureLoad& t : load.textures)
    if (t.section == section && t.index == static_cast<int>(index)) return &t;
  return nullptr;
}

void CheckFiles(Findings& out, const SceneLoad& load, const LinkScan& link, const std::string& linkFile) {
  const std::vector<CModel>* models[3] = {&LocationModel, &HorizonModel, &ObjectsModel};
  std::vector<std::string> seen;
  auto once = [&seen](const std::string& file) {
    if (std::find(seen.begin(), seen.end(), file) != seen.end()) return false;
    seen.push_back(file);
    return true;
  };
  for (int s = 0; s < 3; ++s)
    for (size_t i = 0; i < link.sections[s].size() && i < models[s]->size(); ++i) {
      const LinkedEntry& entry = link.sections[s][i];
      for (const std::string& file : {entry.name + ".obj", entry.name + ".bmp"}) {
        if (!once(file)) continue;
        if (!fs::is_regular_file(file)) {
          out.Error(linkFile, entry.nameLine, "'" + file + "' does not exist as a file; put it there, or correct the "
                                                           "entry's name (the path of its .obj and .bmp without the "
                                                           "extension" + NameHint(entry.name) + ")");
        } else if (file.back() == 'j') {
          CheckMesh(out, file, (*models[s])[i]);
        } else if (const TextureLoad* texture = FindTexture(load, s + 1, i)) {
          CheckTexture(out, *texture);
        }
      }
    }
  const std::string glider = "Glader/glader01";
  for (const std::string& file : {glider + ".obj", glider + ".bmp"}) {
    if (!fs::is_regular_file(file)) out.Error(file, 0, "the glider's file is missing; 'glide-scene new DIR' writes it");
    else if (file.back() == 'j' && !GladerModel.empty()) CheckMesh(out, file, GladerModel[0]);
    else if (const TextureLoad* texture = FindTexture(load, 4, 0)) CheckTexture(out, *texture);
  }
}

std::string Count(int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

}  // namespace

const CommandSpec kCheckCommand{
    .name = "check",
    .positional = {kSceneFolder},
    .summary = "every problem of a scene, with its fix",
    .description =
        "\n"
        "Reads the scene in DIR exactly as glide does (settings, link file, meshes, textures, face grid) and prints\n"
        "one line for every problem: 'error: FILE:LINE: what is wrong; how to fix it', or 'warning: ...'.\n"
        "Errors are what glide misreads or drops, or what stops flying; warnings are what looks wrong.\n"
        "Exit status: 0 without errors, 1 with errors, 2 for a bad command line, 3 when the map cannot be\n"
        "written (the findings are printed all the same).\n"
        "\n",
    .options = {Option(OptionKind::kText, "--map", "FILE.png",
                     "also draw the scene from above: the terrain in its texture, shaded; face-grid cells\n"
                     "too full for ground following in red, cells where it finds no face in blue; objects\n"
                     "ringed in yellow; the glider's start as a white arrow along its heading"),
                Option(OptionKind::kFlag, "--recover", "",
                     "first finish or roll back the writing of a command that was interrupted (killed, or\n"
                     "the machine stopped), as every command that writes the scene does; check alone\n"
                     "changes nothing")}};

CheckReport CheckScene(const Args& args) {
  std::string map = args.Value("--map", "");
  if (!map.empty()) {
    if (fs::path(map).extension() != ".png") throw UsageError("--map writes a PNG; give a name ending in .png");
    map = fs::absolute(map).string();
  }
  EnterScene(args.positional[0], args.Has("--recover") ? SceneUse::kWrite : SceneUse::kRead);
  const SceneLoad load = LoadSceneAsGlide();
  Findings out;
  if (const std::optional<std::string> unfinished = UnfinishedCommit()) out.Error(CommitJournal, 0, *unfinished);
  CheckSettings(out, load.settings);
  const std::string linkFile = strLinkFile;
  const LinkScan link = CheckLink(out, linkFile);
  CheckFiles(out, load, link, linkFile);
  CheckFlight(out, link, linkFile);
  CheckReport report{"", "", "", 0};
  for (const Finding& f : out.All()) report.findings += FindingLine(f) + "\n";
  if (!map.empty()) {
    const TextureLoad* texture = FindTexture(load, 1, 0);
    try {
      report.map = WriteMap(map, texture ? texture->image : nullptr);
    } catch (const ToolError& e) {
      report.map = e.what();
      report.status = kMapNotWritten;
    }
  }
  const int errors = out.Errors(), warnings = static_cast<int>(out.All().size()) - errors;
  report.summary = out.All().empty() ? "scene OK" : Count(errors, "error") + ", " + Count(warnings, "warning");
  if (report.status == 0 && errors) report.status = 1;
  return report;
}
