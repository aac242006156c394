// glide-scene sky: the sky dome around the viewer, with a gradient or an equirectangular panorama.
#include "tools/sky/sky.h"

#include <cmath>
#include <filesystem>

#include "tools/scene/progress.h"
#include "tools/scene/sky_dome.h"
#include "tools/scene/watchdog.h"
#include "tools/terrain/terrain_source.h"

namespace {

constexpr int kMostPanoramaSide = 2048;

// A panorama spans 360 degrees across and 180 high; another shape is stretched over the dome.
void WarnUnlessPanorama(const std::string& image, PictureSize size) {
  if (std::fabs(size.width / (2.0 * size.height) - 1) <= 0.1) return;
  Warn("sky", image + " is " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                  " pixels, not 2:1 as a panorama of 360 by 180 degrees is; it is stretched over the dome (crop it "
                  "or pad it to twice as wide as high)");
}

}  // namespace

const CommandSpec kSkyCommand{
    .name = "sky",
    .positional = {kSceneFolder, {"IMAGE", "", "", true}},
    .summary = "the sky dome: a gradient, or a panorama",
    .description =
        "Writes the sky dome of the scene in DIR (Horizon/sky.obj and .bmp) and makes it the scene's first\n"
        "Horizon entry. Without IMAGE the sky is a gradient, pale at the horizon and deep blue above; with\n"
        "IMAGE (JPEG or PNG), an equirectangular panorama, 360 degrees across and 180 from bottom to top,\n"
        "is mapped onto the dome; a picture of another shape is stretched to it, with a warning.\n",
    .reads = true};

std::string MakeSky(const Args& args) {
  const std::string image = args.positional.size() == 2 ? std::filesystem::absolute(args.positional[1]).string() : "";
  const ReadLimits limits = ReadLimitsOf(args);
  EnterMadeScene(args.positional[0]);
  std::optional<Picture> panorama;
  if (!image.empty()) {
    const auto [picture, size] = ReadWatched(image, limits, "a picture", [&] {
      const PictureHeader header = HeaderOf(image);
      return std::pair{ReadPicture(image, header, kMostPanoramaSide, "a sky panorama"), header.size};
    });
    panorama = picture;
    WarnUnlessPanorama(image, size);
  }
  LockMadeScene();
  const Settings settings = ReadSettings();
  const std::string linkFile = LinkFileOf(settings);
  LinkDoc doc = ReadLinkDoc(linkFile);
  const Step writing(std::string("writing ") + kSkyName, false);
  SceneWrite files;
  doc.SetFirst(kHorizon, PutSky(&files, panorama));
  files.Put(linkFile, LinkText(doc));
  files.Commit();
  return "wrote " + std::string(kSkyName) + ".obj and " + kSkyName + ".bmp (" +
         (image.empty() ? "gradient" : std::filesystem::path(image).filename().string()) + ") and " + linkFile;
}
