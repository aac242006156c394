// glide-scene check, its declaration and work, and its pieces: the findings, the text files read line by line
// as the program reads them, the meshes, textures and flight, and the map.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "tools/scene/cli.h"
#include "tools/scene/scene_view.h"

extern const CommandSpec kCheckCommand;
// What check prints, in this order: the findings, the map's line (on stderr where it could not be written), the
// summary; and its exit status: 0 without errors, 1 with errors, 3 when the map cannot be written.
inline constexpr int kMapNotWritten = 3;
struct CheckReport {
  std::string findings, map, summary;
  int status;
};
CheckReport CheckScene(const Args& args);

struct Finding {
  bool error;
  std::string file;
  int line;  // 0 where the finding has no line
  std::string text;
};

class Findings {
 public:
  void Error(const std::string& file, int line, const std::string& text) { all_.push_back({true, file, line, text}); }
  void Warning(const std::string& file, int line, const std::string& text) { all_.push_back({false, file, line, text}); }
  const std::vector<Finding>& All() const { return all_; }
  int Errors() const;

 private:
  std::vector<Finding> all_;
};

// "error: FILE:LINE: text" or "warning: FILE: text".
std::string FindingLine(const Finding& finding);

// The lines of a link or mesh file as the program splits them (a carriage return before the line feed is not
// part of the line) up to the first line over 254 characters, which ends the reading and is reported.
// False when such a line cut the file short.
bool ForEachLine(Findings& out, const std::string& file, const char* text, size_t size,
                 const std::function<void(int number, const char* line, size_t length)>& each);

// The settings file line by line; `glide` is what the program read, to catch the two readings drifting apart.
void CheckSettings(Findings& out, const Settings& glide);

// One stored link entry: its section (0 Location .. 2 Objects), its name and the lines it came from.
struct LinkedEntry {
  std::string name;
  int nameLine;
  struct Lines {
    int x, z;
  };
  std::vector<Lines> positionLines;  // of each kept position
};
struct LinkScan {
  bool read = false;
  std::vector<LinkedEntry> sections[3];
};
// The link file named in the settings, read by the program's rules; the entries must match what the
// program stored in LocationLinks, HorizonLinks and ObjectsLinks.
LinkScan CheckLink(Findings& out, const std::string& file);

// A mesh file line by line, against `loaded`, the model the program made of it.
void CheckMesh(Findings& out, const std::string& file, const CModel& loaded);
// A texture the program asked the decoder for: the decoder's refusal explained, or sides OpenGL 1.1 refuses.
void CheckTexture(Findings& out, const TextureLoad& texture);

// The face-grid cells (element [row * GridCells + column]) whose middle lies on the terrain but on no face filed
// in them: a face larger than a cell is filed only in the cells of its corners, so ground following finds
// nothing in the cells between.
std::vector<long> HoleCells(const CModel& terrain, float divisions);

// Ground following and placement: the face grid, the glider's start, the terrain's and the objects' places.
void CheckFlight(Findings& out, const LinkScan& link, const std::string& linkFile);

// The top-down map: the terrain in its texture, shaded, overfull face-grid cells in red and cells with holes in
// blue, objects ringed, the glider's start with its heading. Written to `path` whole or not at all; returns a
// line that says what.
std::string WriteMap(const std::string& path, const RGBImage* terrainTexture);
