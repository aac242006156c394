// glide-scene new: a flyable empty scene with settings, link file, the glider and a sky.
#include <filesystem>

#include "tools/new/new.h"
#include "tools/scene/sky_dome.h"

namespace {

const char* const kGliderName = "Glader/glader01";

// A glider facing +X: long wings along Y, a slim fuselage and a tail with fin.
MeshBuilder Glider() {
  MeshBuilder mesh;
  auto quad = [&](const float c[4][3], float s0, float s1) {
    const int a = mesh.AddVertex(c[0][0], c[0][1], c[0][2], s0, 0.1f);
    mesh.AddVertex(c[1][0], c[1][1], c[1][2], s1, 0.1f);
    mesh.AddVertex(c[2][0], c[2][1], c[2][2], s1, 0.9f);
    mesh.AddVertex(c[3][0], c[3][1], c[3][2], s0, 0.9f);
    mesh.AddQuad(a, a + 1, a + 2, a + 3);
  };
  const float wing[4][3] = {{1.2f, -9, 0.4f}, {1.2f, 9, 0.4f}, {-0.6f, 9, 0.5f}, {-0.6f, -9, 0.5f}};
  const float bodyTop[4][3] = {{4, 0, 0.3f}, {4, 0, 0.3f}, {-6, 0.25f, 0.5f}, {-6, -0.25f, 0.5f}};
  const float bodyLeft[4][3] = {{4, 0, 0.3f}, {-6, -0.25f, 0.5f}, {-6, -0.2f, -0.1f}, {4, 0, -0.2f}};
  const float bodyRight[4][3] = {{4, 0, 0.3f}, {-6, 0.25f, 0.5f}, {-6, 0.2f, -0.1f}, {4, 0, -0.2f}};
  const float tail[4][3] = {{-5.2f, -2.5f, 0.5f}, {-5.2f, 2.5f, 0.5f}, {-6.2f, 2.5f, 0.5f}, {-6.2f, -2.5f, 0.5f}};
  const float fin[4][3] = {{-5, 0, 0.5f}, {-6.2f, 0, 0.5f}, {-6.4f, 0, 2.2f}, {-5.8f, 0, 2.2f}};
  quad(wing, 0.0f, 0.45f);
  quad(bodyTop, 0.55f, 1.0f);
  quad(bodyLeft, 0.55f, 1.0f);
  quad(bodyRight, 0.55f, 1.0f);
  quad(tail, 0.0f, 0.45f);
  quad(fin, 0.55f, 1.0f);
  return mesh;
}

// White wings with orange tips on the left half, an orange fuselage on the right.
std::vector<uint8_t> GliderColours(int side) {
  std::vector<uint8_t> rgb;
  for (int t = 0; t < side; ++t)
    for (int s = 0; s < side; ++s) {
      const bool wingSide = s < side / 2, tip = wingSide && (t < 10 || t > side - 10);
      rgb.push_back(tip ? 230 : wingSide ? 245 : 235);
      rgb.push_back(tip ? 90 : wingSide ? 245 : 120);
      rgb.push_back(tip ? 20 : wingSide ? 240 : 30);
    }
  return rgb;
}

}  // namespace

const CommandSpec kNewCommand{
    .name = "new",
    .positional = {kSceneFolder},
    .summary = "a flyable empty scene: settings, link file, glider, sky",
    .description = R"(Makes DIR a flyable empty scene: dbIlm/setting.ini, the link file dbIlm/scene.txt, the glider
(Glader/glader01.obj and .bmp) and a gradient sky (Horizon/sky.obj and .bmp). Then add a terrain
with 'glide-scene terrain DIR INPUT' and fly it with 'glide -C DIR'.
)",
    .options = {Option(OptionKind::kFlag, "--force", "",
                       "overwrite those files where DIR already holds a scene (other files stay)")}};

std::string MakeNew(const Args& args) {
  const std::string dir = args.positional[0];
  EnterScene(dir, SceneUse::kCreate);
  const Settings settings;
  const std::string glider = kGliderName;
  if (!args.Has("--force"))
    for (const std::string& file : {std::string(SettingsFile), settings.linkFile, glider + ".obj", glider + ".bmp",
                                    std::string("Horizon/sky.obj"), std::string("Horizon/sky.bmp")})
      if (std::filesystem::exists(file))
        throw ToolError(dir + "/" + file + ": already there, so " + dir +
                        " holds a scene; give another folder, or add --force to overwrite its settings, link file, "
                        "glider and sky");
  SceneWrite files;
  LinkDoc doc;
  doc.sections[kHorizon].push_back(PutSky(&files, std::nullopt));
  const int side = 64;
  files.Put(glider + ".obj", MeshText(Glider()));
  files.Put(glider + ".bmp", TextureBytes(side, side, GliderColours(side)));
  files.Put(settings.linkFile, LinkText(doc));
  files.Put(SettingsFile, SettingsText(settings));
  files.Commit();
  return "wrote an empty scene in " + dir + ": " + SettingsFile + ", " + settings.linkFile + ", " + kGliderName +
         ".obj and .bmp, Horizon/sky.obj and .bmp";
}
