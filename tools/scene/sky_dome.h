// The sky dome that new and sky write: its mesh, and its texture from a gradient or a panorama.
#pragma once

#include <optional>
#include <string>

#include "tools/scene/picture.h"
#include "tools/scene/scene_files.h"

inline constexpr const char* kSkyName = "Horizon/sky";
// Puts Horizon/sky.obj and Horizon/sky.bmp: a gradient, or the panorama when one is given (as ReadPicture returns
// it). Returns the dome's link entry.
LinkEntry PutSky(SceneWrite* files, const std::optional<Picture>& panorama);
