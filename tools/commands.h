// glide-scene's commands, one file each; each takes the words after its name and returns the exit code.
#pragma once

#include <string>
#include <vector>

int RunNew(const std::vector<std::string>& args);
int RunTerrain(const std::vector<std::string>& args);
int RunObject(const std::vector<std::string>& args);
int RunSky(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
