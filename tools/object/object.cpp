// glide-scene object: a model file becomes an Objects entry, upright, to scale, coloured and standing on the ground.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tools/object/object.h"
#include "tools/object/object_bake.h"
#include "tools/object/object_model.h"
#include "tools/scene/progress.h"
#include "tools/scene/scene_files.h"
#include "tools/scene/scene_view.h"
#include "tools/scene/watchdog.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMostPositions = 10;
constexpr size_t kManyFaces = 1000000;

struct Place {
  float x, y;
  std::optional<float> z;
};

std::vector<Place> Places(const Args& args) {
  std::vector<Place> places;
  const auto it = args.options.find("--at");
  if (it == args.options.end()) return places;
  if (it->second.size() > kMostPositions)
    throw UsageError(std::to_string(it->second.size()) + " places given with --at, but one entry holds at most " +
                     std::to_string(kMostPositions) + "; put the others in a second entry with another --name");
  for (const std::vector<std::string>& values : it->second) {
    auto number = [&](size_t k) { return static_cast<float>(std::strtod(values[k].c_str(), nullptr)); };
    places.push_back(Place{number(0), number(1), values.size() > 2 ? std::optional(number(2)) : std::nullopt});
  }
  return places;
}

// The world positions of the places; heights left open are read from the terrain as ground following would.
std::vector<CVertex3> Positions(const std::vector<Place>& places, const std::string& dir) {
  std::vector<CVertex3> positions;
  const bool needGround = std::any_of(places.begin(), places.end(), [](const Place& p) { return !p.z; });
  if (needGround) {
    const Step loading("loading the scene", false);
    LoadSceneAsGlide();
  }
  for (const Place& p : places) {
    std::optional<float> z = p.z;
    if (!z) z = GroundHeight(p.x, p.y);
    if (!z && LocationModel.empty())
      throw ToolError(dir + ": the scene has no terrain to stand on; give the height as --at X Y Z");
    if (!z)
      throw ToolError(dir + ": ground following finds no terrain under (" + FloatText(p.x) + ", " + FloatText(p.y) +
                      ") (the terrain spans X " + FloatText(minX) + " to " + FloatText(maxX) + ", Y " +
                      FloatText(minY) + " to " + FloatText(maxY) +
                      "); choose a place on it, or give the height as --at X Y Z");
    positions.push_back({p.x, p.y, *z});
  }
  return positions;
}

}  // namespace

using enum OptionKind;

const CommandSpec kObjectCommand{
    .name = "object",
    .positional = {kSceneFolder, {"INPUT", "the model file INPUT"}},
    .summary = "a model (glTF, FBX, OBJ, PLY, STL, ...) placed in the scene",
    .description =
        "Reads a model (glTF 2.0 .gltf/.glb, FBX, OBJ with MTL, COLLADA, PLY, STL, 3DS) and writes it into the\n"
        "scene in DIR as Objects/NAME.obj and Objects/NAME.bmp, with the link file's Objects entry NAME placing it.\n",
    .options = {Option(kText, "--name", "NAME",
                       std::string("the entry's name; default: the file's name\nNAME: ") + kNameRule),
                Option(kNumber, "--size", "UNITS",
                       "scale the longest side to UNITS; default: the file's units are taken as metres", 0, 1e-3, 1e5),
                Option(kChoice, "--up", "y|z",
                       "the file's up axis; default: the one the file records (FBX), Y otherwise"),
                Option(kPoint, "--at", "X Y [Z]",
                       "a place for the model, up to 10; without Z it stands on the terrain at (X, Y).\n"
                       "Without --at, an entry that exists keeps its places.",
                       0, -1e6, 1e6),
                Option(kNumber, "--faces", "N", "simplify the model to about N faces", 0, 1, 1e8)},
    .notes =
        "The model's placement point is the centre of the bottom of its bounding box. Its pictures, colours and\n"
        "vertex colours are baked into one texture with a fixed sun from the south-west, since glide draws\n"
        "without lighting; emissive colours and unlit materials show unshaded.\n",
    .reads = true};

std::string MakeObject(const Args& args) {
  const std::string dir = args.positional[0];
  const std::string input = fs::absolute(args.positional[1]).lexically_normal().string();
  const std::string name = args.Value("--name", EntryName(input, "model"));
  CheckEntryName(name);
  const std::string up = args.Value("--up", "");
  const double size = args.Number("--size");
  const size_t faces = static_cast<size_t>(args.Number("--faces"));
  const std::vector<Place> places = Places(args);
  const ReadLimits limits = ReadLimitsOf(args);

  EnterMadeScene(dir);
  const std::string entry = "Objects/" + name;
  std::error_code error;
  for (const char* extension : {".obj", ".bmp"})
    if (fs::equivalent(input, entry + extension, error))
      throw ToolError(input + ": this is the file the entry " + entry + " would be written to; keep your model " +
                      "outside the scene's Objects folder, or give the entry another --name");
  // The model read is let go once baked, before the text of the mesh is made.
  const BakedModel baked = [&] {
    ImportedModel model = ReadWatched(input, limits, "a model file", [&] {
      return ReadModel(input, up == "z" ? UpAxis::kZ : up == "y" ? UpAxis::kY : UpAxis::kFromFile, faces);
    });
    if (faces == 0 && model.sourceFaces > kManyFaces)
      Warn("object", input + " has " + std::to_string(model.sourceFaces) +
                     " faces, which slows every frame; simplify it with --faces 200000");
    const Step baking(OnFile("baking", input), false);
    PutOnOrigin(&model, size, input);
    return Bake(model, input);
  }();

  LockMadeScene();
  const Settings settings = ReadSettings();
  if (!fs::is_regular_file(settings.linkFile, error))
    throw ToolError(dir + "/" + settings.linkFile +
                    ": the scene's link file is missing; make the scene again with 'glide-scene new " + dir + "'");

  LinkDoc doc = ReadLinkDoc(settings.linkFile);
  std::vector<LinkEntry>& objects = doc.sections[kObjects];
  auto found = std::find_if(objects.begin(), objects.end(), [&](const LinkEntry& e) { return e.name == entry; });
  if (found == objects.end()) {
    if (places.empty()) throw UsageError("a new entry needs at least one --at X Y [Z] to stand at");
    found = objects.insert(objects.end(),
                           LinkEntry{entry, "model from " + fs::path(input).filename().string().substr(0, 200), {}});
  }
  if (!places.empty()) found->positions = Positions(places, dir);

  const Step writing("writing " + entry, false);
  SceneWrite write;
  write.Put(entry + ".obj", MeshText(baked.mesh));
  write.Put(entry + ".bmp", TextureBytes(baked.width, baked.height, baked.rgb));
  write.Put(settings.linkFile, LinkText(doc));
  write.Commit();
  return Format("wrote %s.obj (%zu faces), %s.bmp (%dx%d) and %zu place%s of %s in %s", entry.c_str(),
                baked.mesh.faces.size(), entry.c_str(), baked.width, baked.height, found->positions.size(),
                found->positions.size() == 1 ? "" : "s", entry.c_str(), settings.linkFile.c_str());
}
