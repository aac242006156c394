// A scene read as glide reads it at its first frame, through the program's own loaders, without a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "image/image.h"
#include "scene/scene.h"
#include "tools/scene/scene_files.h"

// One texture the loader asked for: its file, section (1 Location .. 4 glider), index in that section's
// lists, and the decoded picture or the messages the decoder gave instead.
struct TextureLoad {
  std::string file;
  int section;
  int index;
  RGBImage* image;  // null when the decoder refused the file
  std::vector<std::string> messages;
};

struct SceneLoad {
  Settings settings;
  std::vector<TextureLoad> textures;
};

// Holds the values of process-wide variables and puts them back when it goes: the tools borrow the program's
// own functions with inputs of their own.
template <typename... T>
class Restore {
 public:
  explicit Restore(T&... variables) : variables_(variables...), values_(variables...) {}
  ~Restore() { variables_ = values_; }
  Restore(const Restore&) = delete;
  Restore& operator=(const Restore&) = delete;

 private:
  std::tuple<T&...> variables_;
  std::tuple<T...> values_;
};

// Loads the scene in the working folder exactly as the program does at its first frame: settings, link
// file, every mesh and texture in the program's order, then the face grid from the first Location mesh.
// The program's process-wide lists hold the result, emptied first; message boxes are collected into the texture
// loads.
SceneLoad LoadSceneAsGlide();

// The ground height at (x, y) as ground following finds it over the grid the last load built: the highest
// face filed in the point's cell whose corners surround it. On a corner or close to an edge, where the
// program's angle test rounds to no face, the highest plane at the point of the faces filed within a hair of
// it. None where no filed face lies under the point.
std::optional<float> GroundHeight(float x, float y);

// How many filings each face-grid cell receives from the mesh under the grid's rule (three a face, one for
// each corner's cell, no cell limit), for the terrain bounds minX..maxY and the given divisions.
// Element [row * GridCells + column].
std::vector<int32_t> CellFilings(const CModel& terrain, float divisions);
