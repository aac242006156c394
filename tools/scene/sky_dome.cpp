// The sky dome of new and sky: rings of quads around the viewer, inside out, and its gradient texture.
#include "tools/scene/sky_dome.h"

#include <algorithm>
#include <cmath>


namespace {

constexpr double kPi = 3.14159265358979323846;

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

}  // namespace

LinkEntry PutSky(SceneWrite* files, const std::optional<Picture>& panorama) {
  const Picture picture = panorama ? *panorama : Gradient();
  files->Put(std::string(kSkyName) + ".obj", MeshText(Dome()));
  files->Put(std::string(kSkyName) + ".bmp", TextureBytes(picture.width, picture.height, picture.rgb));
  return {kSkyName, panorama ? "sky dome, panorama" : "sky dome, gradient", {CVertex3{0, 0, 0}}};
}

