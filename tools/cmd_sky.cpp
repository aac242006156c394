// glide-scene sky: the sky dome around the viewer, with a gradient or an equirectangular panorama.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/scene_files.h"
#include "tools/terrain_source.h"
#include "tools/watchdog.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMostPanoramaSide = 2048;
const char* const kSkyName = "Horizon/sky";

const char* const kHelp =
    "usage: glide-scene sky DIR [IMAGE] [--memory-limit MB] [--time-limit SECONDS]\n"
    "Writes the sky dome of the scene in DIR (Horizon/sky.obj and .bmp) and makes it the scene's first\n"
    "Horizon entry. Without IMAGE the sky is a gradient, pale at the horizon and deep blue above; with\n"
    "IMAGE (JPEG or PNG), an equirectangular panorama, 360 degrees across and 180 from bottom to top,\n"
    "is mapped onto the dome; a picture of another shape is stretched to it, with a warning.\n";

// A dome around the viewer, inside out, from 45 degrees below the horizon to the zenith. Texture rows run
// over latitude from -90 to 90 degrees and columns over the compass, as in an equirectangular panorama
// seen from inside: its middle column ahead of the glider's start (+X), its left quarter on the left (+Y).
// The coordinates run from 1.5 down to 0.5 and the texture repeats, so the picture's seam lies behind.
MeshBuilder Dome() {
  MeshBuilder mesh;
  const int rings = 12, segments = 32;
  const float radius = 900;
  for (int r = 0; r <= rings; ++r) {
    const double lat = -0.25 * kPi + r * (0.75 * kPi) / rings;
    for (int s = 0; s <= segments; ++s) {
      const double lon = s * 2 * kPi / segments;
      mesh.AddVertex(static_cast<float>(radius * std::cos(lat) * std::cos(lon)),
                     static_cast<float>(radius * std::cos(lat) * std::sin(lon)),
                     static_cast<float>(radius * std::sin(lat)), 1.5f - static_cast<float>(s) / segments,
                     static_cast<float>(lat / kPi + 0.5));
    }
  }
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const int a = r * (segments + 1) + s + 1;
      mesh.AddQuad(a, a + 1, a + 2 + segments, a + 1 + segments);
    }
  return mesh;
}

uint8_t Channel(double value) { return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0)); }

// Pale haze low down, deepening blue upward. The chase camera looks down at the glider, so the visible sky
// lies mostly just below the dome's own horizon.
Picture Gradient() {
  Picture picture{8, 256, {}};
  for (int t = 0; t < picture.height; ++t) {
    const double latitude = -90 + 180 * ((t + 0.5) / picture.height);
    const double k = std::pow(std::clamp((latitude + 30) / 75, 0.0, 1.0), 0.7);
    for (int s = 0; s < picture.width; ++s) {
      picture.rgb.push_back(Channel(215 - 150 * k));
      picture.rgb.push_back(Channel(230 - 95 * k));
      picture.rgb.push_back(Channel(245 - 25 * k));
    }
  }
  return picture;
}

// A panorama spans 360 degrees across and 180 high; another shape is stretched over the dome.
void WarnUnlessPanorama(const std::string& image) {
  int width = 0, height = 0, channels = 0;
  if (!stbi_info(image.c_str(), &width, &height, &channels)) return;
  height = std::abs(height);
  if (std::fabs(width / (2.0 * height) - 1) <= 0.1) return;
  Warn("sky", image + " is " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels, not 2:1 as a panorama of 360 by 180 degrees is; it is stretched over the dome (crop it "
                   "or pad it to twice as wide as high)");
}

}  // namespace

std::string PutSky(SceneWrite* files, const std::optional<Picture>& panorama) {
  const Picture picture = panorama ? *panorama : Gradient();
  files->Put(std::string(kSkyName) + ".obj", MeshText(Dome()));
  files->Put(std::string(kSkyName) + ".bmp", TextureBytes(picture.width, picture.height, picture.rgb));
  return kSkyName;
}

int RunSky(const std::vector<std::string>& argv) {
  const std::optional<Args> parsed = ParseReadingCommand(argv, {}, kHelp);
  if (!parsed) return 0;
  const Args& args = *parsed;
  if (args.positional.empty() || args.positional.size() > 2) throw UsageError("needs the scene folder DIR and at most one IMAGE");
  const std::string image = args.positional.size() == 2 ? std::filesystem::absolute(args.positional[1]).string() : "";
  const ReadLimits limits = ReadLimitsOf(args);
  const std::string dir = args.positional[0];
  EnterMadeScene(dir);
  std::optional<Picture> panorama;
  if (!image.empty()) {
    panorama = ReadWatched(image, limits, "a picture",
                           [&] { return ReadPicture(image, kMostPanoramaSide, "a sky panorama"); });
    WarnUnlessPanorama(image);
  }
  LockMadeScene();
  const Settings settings = ReadSettings();
  const std::string linkFile = LinkFileOf(settings);
  LinkDoc doc = ReadLinkDoc(linkFile);
  SceneWrite files;
  const LinkEntry sky{PutSky(&files, panorama), image.empty() ? "sky dome, gradient" : "sky dome, panorama", {CVertex3{0, 0, 0}}};
  if (doc.sections[kHorizon].empty())
    doc.sections[kHorizon].push_back(sky);
  else
    doc.sections[kHorizon].front() = sky;
  files.Put(linkFile, LinkText(doc));
  files.Commit();
  std::printf("wrote %s.obj and %s.bmp (%s) and %s\n", kSkyName, kSkyName,
              image.empty() ? "gradient" : std::filesystem::path(image).filename().c_str(), linkFile.c_str());
  return 0;
}
