// All-or-nothing writing of scene files, and the settings, link file and texture formats the program reads.
#include "tools/scene_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "config/config.h"
#include "image/image.h"
#include "platform/platform.h"
#include "tools/cli.h"

namespace fs = std::filesystem;

void EnterScene(const std::string& dir, bool create) {
  std::error_code error;
  if (create) fs::create_directories(dir, error);
  if (!fs::is_directory(dir, error))
    throw ToolError(dir + ": no such scene folder" + (create ? " and it cannot be made" : "; make one with 'glide-scene new " + dir + "'"));
  if (chdir(dir.c_str()) != 0) throw ToolError(dir + ": cannot enter the folder: " + std::strerror(errno));
}

void EnterMadeScene(const std::string& dir) {
  EnterScene(dir, false);
  if (!fs::exists(SettingsFile))
    throw ToolError(dir + ": not a scene, it has no " + SettingsFile + "; make one with 'glide-scene new " + dir + "'");
}

SceneWrite::~SceneWrite() {
  if (committed_) return;
  std::error_code error;
  for (const std::string& temporary : temporaries_) fs::remove(temporary, error);
}

void SceneWrite::Put(const std::string& relative, std::string_view bytes) {
  const fs::path place(relative);
  std::error_code error;
  if (place.has_parent_path()) fs::create_directories(place.parent_path(), error);
  const std::string temporary = relative + ".tmp-" + std::to_string(getpid());
  temporaries_.push_back(temporary);
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0 &&
                  fsync(fileno(f)) == 0;
  const int saved = errno;
  if ((f && std::fclose(f) != 0) || !ok)
    throw ToolError(relative + ": cannot write the file: " + std::strerror(saved ? saved : errno) +
                    "; check the folder's permissions and free space");
  names_.push_back(relative);
}

void SceneWrite::Commit() {
  for (size_t i = 0; i < names_.size(); ++i)
    if (std::rename(temporaries_[i].c_str(), names_[i].c_str()) != 0)
      throw ToolError(names_[i] + ": cannot put the file in place: " + std::strerror(errno));
  committed_ = true;
}

std::string TextureBytes(int width, int height, const std::vector<uint8_t>& rgb) {
  RGBImage image{width, height, const_cast<uint8_t*>(rgb.data())};
  const std::vector<uint8_t> bytes = EncodeDIBImage(&image);
  return std::string(bytes.begin(), bytes.end());
}

Settings ReadSettings() {
  LogLevel = 0;
  strLinkFile[0] = '\0';
  MoveStep = TurnStep = GroundClearance = CameraDistance = CameraYawStep = CameraPitchStep = GridDivisions = 0;
  LoadSetting();
  Settings s{LogLevel, strLinkFile, MoveStep, TurnStep, GroundClearance,
             CameraDistance, CameraYawStep, CameraPitchStep, GridDivisions};
  // The tools never write the scene's trace log.
  LogLevel = 0;
  return s;
}

std::string SettingsText(const Settings& s) {
  std::ostringstream out;
  out << s.logLevel << "  log level: 0 quiet, 1 start-up and loading, 2 every list insertion, 4 every window message\n"
      << s.linkFile << "  the scene link file\n"
      << FloatText(s.moveStep) << "  move step: distance travelled per frame while W or S is held\n"
      << FloatText(s.turnStep) << "  turn step: radians of turn or pitch per frame\n"
      << FloatText(s.groundClearance) << "  ground clearance: least height above the terrain\n"
      << FloatText(s.cameraDistance) << "  camera distance behind the glider\n"
      << FloatText(s.cameraYawStep) << "  camera yaw step: how fast the camera swings after the heading\n"
      << FloatText(s.cameraPitchStep) << "  camera pitch step: how fast the camera follows the pitch\n"
      << FloatText(s.gridDivisions) << "  grid divisions: face-grid cells across the terrain, 1 to 253\n";
  return out.str();
}

std::string LinkFileOf(const Settings& settings) {
  return settings.linkFile.empty() ? Settings{}.linkFile : settings.linkFile;
}

std::optional<std::string> ReadSceneText(const std::string& file) {
  size_t size = 0;
  const uint8_t* view = MapFile(file.c_str(), &size);
  // An empty file cannot be mapped; it reads as no text.
  if (!view) {
    std::error_code error;
    if (!fs::is_regular_file(file, error) || access(file.c_str(), R_OK) != 0) return std::nullopt;
    return std::string();
  }
  std::string text(reinterpret_cast<const char*>(view), size);
  UnmapFile(view, size);
  return text;
}

namespace {

LinkDoc ParseLinkText(const std::string& bytes) {
  LocationLinks.clear();
  HorizonLinks.clear();
  ObjectsLinks.clear();
  CountLocationLinks = CountHorizonLinks = CountObjectsLinks = CountSectionLinkInfo = 0;
  LinkInfo = CLinkInfo{};
  ReadLinkText(bytes.data(), bytes.size());
  LinkDoc doc;
  const std::vector<CLinkInfo>* lists[3] = {&LocationLinks, &HorizonLinks, &ObjectsLinks};
  for (int s = 0; s < 3; ++s)
    for (const CLinkInfo& info : *lists[s])
      doc.sections[s].push_back(
          LinkEntry{info.NameModel, info.Text, std::vector<CVertex3>(info.Position, info.Position + info.CountPosition)});
  return doc;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// The free-text line as the loader reads it back: control characters (a line break would put every later line
// out of step) become blanks, and it is cut well inside the longest line the loader reads, on a character's
// start. A line starting with '#' or a blank would be skipped, an empty one too.
std::string TextLine(const std::string& text) {
  constexpr size_t kMostText = 200;
  std::string line = text;
  for (char& c : line)
    if (IsControl(c)) c = ' ';
  line.erase(0, std::min(line.size(), line.find_first_not_of(" #")));
  if (line.size() > kMostText) {
    size_t cut = kMostText;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80) --cut;
    line.resize(cut);
  }
  return line.empty() ? "-" : line;
}

// A name is the path of files written under it, so it is refused rather than changed.
void CheckName(const std::string& name) {
  if (name.empty() || name[0] == '#' || name[0] == ' ' || std::any_of(name.begin(), name.end(), IsControl) ||
      name.size() >= sizeof LinkInfo.NameModel)
    throw ToolError("'" + name.substr(0, 60) + "': cannot be a link entry's name, which must be 1 to " +
                    std::to_string(sizeof LinkInfo.NameModel - 1) + " characters, without line breaks or control "
                    "characters, not starting with '#' or a blank; choose a shorter plain name");
}

bool SameEntries(const LinkDoc& a, const LinkDoc& b) {
  for (int s = 0; s < 3; ++s) {
    if (a.sections[s].size() != b.sections[s].size()) return false;
    for (size_t i = 0; i < a.sections[s].size(); ++i) {
      const LinkEntry &x = a.sections[s][i], &y = b.sections[s][i];
      if (x.name != y.name || x.text != y.text || x.positions.size() != y.positions.size()) return false;
      for (size_t k = 0; k < x.positions.size(); ++k)
        for (float CVertex3::*axis : {&CVertex3::x, &CVertex3::y, &CVertex3::z})
          if (FloatText(x.positions[k].*axis) != FloatText(y.positions[k].*axis)) return false;
    }
  }
  return true;
}

}  // namespace

LinkDoc ReadLinkDoc(const std::string& file) { return ParseLinkText(ReadSceneText(file).value_or("")); }

std::string LinkText(const LinkDoc& doc) {
  static const char* const headers[3] = {"# Location: the terrain (the first entry is the one ground following uses)",
                                         "# Horizon: the sky, drawn around the eye", "# Objects"};
  std::string out;
  LinkDoc written;
  for (int s = 0; s < 3; ++s) {
    out += headers[s];
    out += '\n';
    for (const LinkEntry& e : doc.sections[s]) {
      CheckName(e.name);
      if (e.positions.empty() || e.positions.size() > 10)
        throw ToolError("'" + e.name + "': a link entry holds 1 to 10 places, not " + std::to_string(e.positions.size()) +
                        "; split the places between entries of the same name");
      const std::string text = TextLine(e.text);
      written.sections[s].push_back(LinkEntry{e.name, text, e.positions});
      out += e.name + '\n' + text + '\n' + std::to_string(e.positions.size()) + '\n';
      for (const CVertex3& p : e.positions) out += FloatText(p.x) + '\n' + FloatText(p.y) + '\n' + FloatText(p.z) + '\n';
    }
  }
  if (!SameEntries(ParseLinkText(out), written))
    throw ToolError("the link file glide-scene made would not read back as written; please report this with the "
                    "command line");
  return out;
}
