// glide-scene terrain, a heightmap or elevation raster made the scene's terrain: its declaration and its work.
#pragma once

#include <string>

#include "tools/scene/cli.h"

extern const CommandSpec kTerrainCommand;
// Writes the terrain and the settings fitted to it and returns the line that says what it wrote.
std::string MakeTerrain(const Args& args);
