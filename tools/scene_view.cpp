// Reading a scene through the program's loaders, the texture step without GL, and ground heights.
#include "tools/scene_view.h"

#include <algorithm>
#include <cfloat>

#include "config/config.h"
#include "physics/physics.h"
#include "platform/platform.h"

static std::vector<TextureLoad>* textureLoads;
static std::vector<std::string> pendingMessages;

static void CollectMessage(const char*, const char* text) { pendingMessages.push_back(text); }

// The tools' stand-in for the GL upload: the picture is kept, with the messages its decoding gave.
static uint32_t KeepTexture(const RGBImage* image) {
  const std::vector<uint32_t>* lists[5] = {nullptr, &LocationTexture, &HorizonTexture, &ObjectsTexture,
                                           &GladerTexture};
  const int index = NamSectionModel >= 1 && NamSectionModel <= 4 ? static_cast<int>(lists[NamSectionModel]->size()) : 0;
  textureLoads->push_back(
      TextureLoad{LoadFileName, NamSectionModel, index, const_cast<RGBImage*>(image), pendingMessages});
  pendingMessages.clear();
  return 0;
}

SceneLoad LoadSceneAsGlide() {
  SceneLoad load;
  MessageSink = CollectMessage;
  load.settings = ReadSettings();
  LoadLink();
  textureLoads = &load.textures;
  UploadTexture = KeepTexture;
  linkFile();
  UploadTexture = nullptr;
  textureLoads = nullptr;
  funEquationLinePolygon();
  return load;
}

static std::optional<float> FollowedHeight(float x, float y) {
  const CVertex3 glider = Glader;
  const float clearance = GroundClearance, step = MoveStep;
  void (*marker)(float, float, float, const CVertex3[3]) = DrawFaceMarker;
  // Coming from far below, every face under the point lifts the glider onto itself if it is higher.
  Glader = CVertex3{x, y, -FLT_MAX};
  GroundClearance = 0;
  MoveStep = 0;
  DrawFaceMarker = nullptr;
  FollowGround();
  const float z = Glader.z;
  Glader = glider;
  GroundClearance = clearance;
  MoveStep = step;
  DrawFaceMarker = marker;
  if (z == -FLT_MAX) return std::nullopt;
  return z;
}

std::optional<float> GroundHeight(float x, float y) {
  if (const std::optional<float> z = FollowedHeight(x, y)) return z;
  // Exactly on a corner or an edge the angle test fails for every face; a step aside finds the faces there.
  std::optional<float> highest;
  const float offsets[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
  for (const auto& o : offsets)
    if (const std::optional<float> z = FollowedHeight(x + o[0] * 1e-3f, y + o[1] * 1e-3f))
      highest = highest ? std::max(*highest, *z) : *z;
  return highest;
}

std::vector<int32_t> CellFilings(const CModel& terrain, float divisions) {
  std::vector<int32_t> counts(static_cast<size_t>(GridCells) * GridCells, 0);
  if (!(divisions > 0)) return counts;
  const float savedX = deltaMatrixX, savedY = deltaMatrixY;
  deltaMatrixX = static_cast<float>((static_cast<double>(maxX) - minX) / divisions);
  deltaMatrixY = static_cast<float>((static_cast<double>(maxY) - minY) / divisions);
  for (int32_t f = 0; f < terrain.CountFace; ++f) {
    const CFace& face = terrain.Face[f];
    bool known = true;
    for (int32_t index : face.Index) known = known && index >= 0 && index <= terrain.CountVertices;
    if (!known) continue;
    for (int32_t index : face.Index) {
      int column, row;
      if (FindCell(terrain.Vertices[index].x, terrain.Vertices[index].y, &column, &row))
        ++counts[static_cast<size_t>(row) * GridCells + static_cast<size_t>(column)];
    }
  }
  deltaMatrixX = savedX;
  deltaMatrixY = savedY;
  return counts;
}
