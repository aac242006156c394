// Reading a scene through the program's loaders, the texture step without GL, and ground heights.
#include "tools/scene/scene_view.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

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
  ClearScene();
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
  const Restore restore(Glader, GroundClearance, MoveStep, DrawFaceMarker);
  // Coming from far below, every face under the point lifts the glider onto itself if it is higher.
  Glader = CVertex3{x, y, -FLT_MAX};
  GroundClearance = 0;
  MoveStep = 0;
  DrawFaceMarker = nullptr;
  FollowGround();
  if (Glader.z == -FLT_MAX) return std::nullopt;
  return Glader.z;
}

// The highest face filed in the cells around (x, y) whose edges come within `hair` of the point, at the point
// itself: on an edge or a corner the faces there meet at one height, which the hair only serves to find.
static std::optional<float> NearbyHeight(float x, float y, double hair) {
  if (!FaceGrid || LocationModel.empty() || FacePlaneTable.empty()) return std::nullopt;
  const CModel& terrain = LocationModel[0];
  std::optional<float> highest;
  const float nudges[9][2] = {{0, 0}, {1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  for (const auto& n : nudges) {
    int column, row;
    if (!FindCell(static_cast<float>(x + n[0] * hair), static_cast<float>(y + n[1] * hair), &column, &row)) continue;
    const int32_t* cell = FaceGrid[row][column];
    for (int32_t k = 1; k <= cell[0]; ++k) {
      const int32_t f = cell[k];
      const CVertex3* v[3];
      for (int i = 0; i < 3; ++i) v[i] = &terrain.Vertices[terrain.Face[f].Index[i]];
      const double area = (v[1]->x - v[0]->x) * static_cast<double>(v[2]->y - v[0]->y) -
                          (v[2]->x - v[0]->x) * static_cast<double>(v[1]->y - v[0]->y);
      bool near = std::fabs(area) > 0;
      for (int i = 0; i < 3 && near; ++i) {
        const CVertex3 &a = *v[i], &b = *v[(i + 1) % 3];
        const double inside = ((b.x - a.x) * (y - static_cast<double>(a.y)) - (x - static_cast<double>(a.x)) * (b.y - a.y)) *
                              (area > 0 ? 1 : -1);
        near = inside >= -hair * std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
      }
      if (!near) continue;
      const FacePlane& plane = FacePlaneTable[static_cast<size_t>(f)];
      const float h = static_cast<float>(-(plane.planeA * static_cast<double>(x) + plane.planeB * static_cast<double>(y) +
                                           plane.planeD) / plane.planeC);
      if (std::isfinite(h)) highest = highest ? std::max(*highest, h) : h;
    }
  }
  return highest;
}

std::optional<float> GroundHeight(float x, float y) {
  if (const std::optional<float> z = FollowedHeight(x, y)) return z;
  // On a corner or close to an edge the program's angle test rounds to no face; the faces there are found
  // a hair aside, a millionth of the face grid's extent, and their planes give the height at the point.
  const double extent = std::max({1.0, static_cast<double>(maxX) - minX, static_cast<double>(maxY) - minY});
  if (!std::isfinite(extent)) return std::nullopt;
  return NearbyHeight(x, y, extent * 1e-6);
}

std::vector<int32_t> CellFilings(const CModel& terrain, float divisions) {
  std::vector<int32_t> counts(static_cast<size_t>(GridCells) * GridCells, 0);
  if (!(divisions > 0)) return counts;
  const Restore restore(deltaMatrixX, deltaMatrixY);
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
  return counts;
}
