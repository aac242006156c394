// All-or-nothing writing of scene files, and the settings, link file and texture formats the program reads.
#include "tools/scene_files.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "config/config.h"
#include "image/image.h"
#include "tools/cli.h"

namespace fs = std::filesystem;

void EnterScene(const std::string& dir, bool create) {
  std::error_code error;
  if (create) fs::create_directories(dir, error);
  if (!fs::is_directory(dir, error))
    throw ToolError(dir + ": no such scene folder" + (create ? " and it cannot be made" : "; make one with 'glide-scene new " + dir + "'"));
  if (chdir(dir.c_str()) != 0) throw ToolError(dir + ": cannot enter the folder: " + std::strerror(errno));
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

LinkDoc ReadLinkDoc(const std::string& file) {
  LocationLinks.clear();
  HorizonLinks.clear();
  ObjectsLinks.clear();
  CountLocationLinks = CountHorizonLinks = CountObjectsLinks = CountSectionLinkInfo = 0;
  LinkInfo = CLinkInfo{};
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string bytes = text.str();
  ReadLinkText(bytes.data(), bytes.size());
  LinkDoc doc;
  const std::vector<CLinkInfo>* lists[3] = {&LocationLinks, &HorizonLinks, &ObjectsLinks};
  for (int s = 0; s < 3; ++s)
    for (const CLinkInfo& info : *lists[s])
      doc.sections[s].push_back(
          LinkEntry{info.NameModel, info.Text, std::vector<CVertex3>(info.Position, info.Position + info.CountPosition)});
  return doc;
}

std::string LinkText(const LinkDoc& doc) {
  static const char* const headers[3] = {"# Location: the terrain (the first entry is the one ground following uses)",
                                         "# Horizon: the sky, drawn around the eye", "# Objects"};
  std::string out;
  for (int s = 0; s < 3; ++s) {
    out += headers[s];
    out += '\n';
    for (const LinkEntry& e : doc.sections[s]) {
      out += e.name + '\n' + (e.text.empty() ? "-" : e.text) + '\n' + std::to_string(e.positions.size()) + '\n';
      for (const CVertex3& p : e.positions) out += FloatText(p.x) + '\n' + FloatText(p.y) + '\n' + FloatText(p.z) + '\n';
    }
  }
  return out;
}
