// glide-scene's commands, one file each; each takes the words after its name and returns the exit code.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/picture.h"

int RunNew(const std::vector<std::string>& args);
int RunTerrain(const std::vector<std::string>& args);
int RunObject(const std::vector<std::string>& args);
int RunSky(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);

class SceneWrite;
// The sky dome, Horizon/sky.obj and Horizon/sky.bmp: a gradient, or the panorama when one is given (as
// ReadPicture returns it). Returns the link name of the dome.
std::string PutSky(SceneWrite* files, const std::optional<Picture>& panorama);
