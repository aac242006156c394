// glide-scene terrain: a heightmap or elevation raster becomes the scene's terrain, with settings to fit it.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "physics/physics.h"
#include "tools/scene/progress.h"
#include "tools/scene/scene_files.h"
#include "tools/scene/scene_view.h"
#include "tools/scene/watchdog.h"
#include "tools/terrain/terrain.h"
#include "tools/terrain/terrain_mesh.h"
#include "tools/terrain/terrain_source.h"

namespace {

// The height grid is held at most this many samples a side; a generated texture as well.
constexpr int kGridSide = 2048;
constexpr int kMostTextureSide = 4096;
constexpr int kLeastShadedSide = 256;

}  // namespace

using enum OptionKind;

const CommandSpec kTerrainCommand{
    .name = "terrain",
    .positional = {kSceneFolder,
                   {"INPUT", "the INPUT file",
                    "a heightmap picture (PNG 8 or 16 bit, JPEG, TGA, BMP; black low, white high, the\n"
                    "full range a tenth of the longer side) or an elevation raster GDAL reads (GeoTIFF,\n"
                    "SRTM .hgt, ESRI ASCII grid, ...), cells at their true size in metres"}},
    .summary = "a heightmap or elevation raster becomes the terrain",
    .description =
        "Makes INPUT the terrain of the scene in DIR (the first Location entry, the one ground following uses)\n"
        "and fits the settings to it: a crossing takes about 90 s, clearance and camera distance in proportion,\n"
        "and grid divisions that let ground following find the ground everywhere.\n",
    .options = {Option(kText, "--texture", "IMAGE",
                       "the colour picture draped over it (default: colour by height, shaded by the sun)"),
                Option(kText, "--name", "NAME",
                       std::string("the files Location/NAME.obj and Location/NAME.bmp (default: INPUT's name)\n"
                                   "NAME: ") + kNameRule),
                Option(kNumber, "--size", "UNITS",
                       "the longer side in world units, {range} (default 1000, what the view shows)", 1000, 100, 100000,
                       "the glider is 18 units across and its camera sits 15 units above it, so a smaller terrain is "
                       "crossed before it can be seen"),
                Option(kNumber, "--exaggerate", "K", "heights times K (default 1)", 1, 0.01, 1000),
                Option(kWhole, "--faces", "N", "at most N triangles (default 500000)", 500000, 2, 5000000)},
    .notes =
        "The glider starts at the origin: the terrain is centred there, with the ground under the start one\n"
        "clearance below the glider, and moved as little as it takes to keep the glider and the chase camera's\n"
        "first view of it a clearance above the ground (the offset is printed). Objects move with the terrain\n"
        "and keep their height above the ground.\n",
    .reads = true};

std::string MakeTerrain(const Args& args) {
  const double size = args.Number("--size"), exaggerate = args.Number("--exaggerate");
  const double faces = args.Number("--faces");
  const std::string name = args.Value("--name", EntryName(args.positional[1], "terrain"));
  CheckEntryName(name);
  const std::string input = std::filesystem::absolute(args.positional[1]).string();
  const std::string texture =
      args.Has("--texture") ? std::filesystem::absolute(args.Value("--texture", "")).string() : "";
  const ReadLimits limits = ReadLimitsOf(args);

  const std::string dir = args.positional[0];
  EnterMadeScene(dir);

  // Heights are read before anything of the scene changes, so a bad input leaves the scene as it was.
  const HeightGrid grid =
      ReadWatched(input, limits, "a heightmap or elevation file", [&] { return ReadHeights(input, kGridSide); });
  Picture shown = texture.empty() ? Picture{} : ReadWatched(texture, limits, "a picture", [&] {
    return ReadPicture(texture, HeaderOf(texture), kMostTextureSide, "a terrain texture");
  });

  LockMadeScene();
  std::optional<Step> step(std::in_place, "loading the scene", false);
  const SceneLoad old = LoadSceneAsGlide();
  const std::string linkFile = LinkFileOf(old.settings);
  LinkDoc doc = ReadLinkDoc(linkFile);
  Settings settings = FitSettings(old.settings, size);
  settings.linkFile = linkFile;
  step.emplace("making the terrain mesh", false);
  const Terrain terrain = BuildTerrain(grid, size, exaggerate, static_cast<int64_t>(faces), settings.groundClearance,
                                      settings.cameraDistance, input);
  settings.gridDivisions = static_cast<float>(terrain.layout.divisions);

  // Objects keep their place on the terrain, from the old terrain's centre to the new one's, and those on it
  // their height above the ground; a scene without ground under an object stands it on z = 0.
  const float oldX = LocationModel.empty() ? 0 : static_cast<float>((static_cast<double>(minX) + maxX) / 2);
  const float oldY = LocationModel.empty() ? 0 : static_cast<float>((static_cast<double>(minY) + maxY) / 2);
  const double halfX = terrain.layout.quadsX * terrain.layout.spacingX / 2;
  const double halfY = terrain.layout.quadsY * terrain.layout.spacingY / 2;
  for (LinkEntry& entry : doc.sections[kObjects])
    for (CVertex3& p : entry.positions) {
      CVertex3 moved{static_cast<float>(p.x - oldX + terrain.offsetX), static_cast<float>(p.y - oldY + terrain.offsetY),
                     p.z};
      if (std::fabs(moved.x - terrain.offsetX) <= halfX && std::fabs(moved.y - terrain.offsetY) <= halfY)
        moved.z = p.z - GroundHeight(p.x, p.y).value_or(0.0f) + terrain.HeightAt(moved.x, moved.y);
      // A place that is not a number stays as it was, for check to name.
      if (std::isfinite(moved.x) && std::isfinite(moved.y) && std::isfinite(moved.z)) p = moved;
    }
  const std::string base = "Location/" + name;
  doc.SetFirst(kLocation,
               {base, "terrain from " + std::filesystem::path(input).filename().string(), {CVertex3{0, 0, 0}}});

  const std::string mesh = MeshText(terrain.mesh);
  // The grid as glide builds it from the text it will read: the fullest cell must hold every filing.
  CountLocationFiles = 1;
  minX = maxX = minY = maxY = 0;
  ReadModelText(mesh.data(), mesh.size());
  int fullest = 0;
  for (int32_t count : CellFilings(Model, settings.gridDivisions)) fullest = std::max(fullest, count);
  if (fullest > kMostCellEntries)
    throw ToolError(input + ": the terrain's fullest face-grid cell would hold " + std::to_string(fullest) +
                    " faces; try a smaller --faces");

  if (shown.rgb.empty()) {
    step.emplace("shading the texture", false);
    shown.width = std::max(kLeastShadedSide, PowerOfTwoAtMost(grid.width, kGridSide));
    shown.height = std::max(kLeastShadedSide, PowerOfTwoAtMost(grid.height, kGridSide));
    shown.rgb = ShadedTexture(grid, exaggerate, shown.width, shown.height);
  }
  step.emplace("writing " + base, false);
  SceneWrite files;
  files.Put(base + ".obj", mesh);
  files.Put(base + ".bmp", TextureBytes(shown.width, shown.height, shown.rgb));
  files.Put(linkFile, LinkText(doc));
  files.Put(SettingsFile, SettingsText(settings));
  files.Commit();
  return Format("wrote %s.obj (%lld faces, %.0f x %.0f units, heights %.1f to %.1f) and %s.bmp, %s and %s: grid "
                "divisions %d, fullest cell %d of %d entries, move step %s; terrain and objects moved by (%s, %s, %s) "
                "so that the glider and its camera start above the ground",
                base.c_str(), static_cast<long long>(terrain.layout.Faces()),
                terrain.layout.quadsX * terrain.layout.spacingX, terrain.layout.quadsY * terrain.layout.spacingY,
                terrain.lowest, terrain.highest, base.c_str(), linkFile.c_str(), SettingsFile,
                terrain.layout.divisions, fullest, kMostCellEntries, FloatText(settings.moveStep).c_str(),
                FloatText(static_cast<float>(terrain.offsetX)).c_str(),
                FloatText(static_cast<float>(terrain.offsetY)).c_str(),
                FloatText(static_cast<float>(terrain.offsetZ)).c_str());
}
