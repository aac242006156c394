// glide-scene sky, the sky dome with a gradient or a panorama: its declaration and its work.
#pragma once

#include <string>

#include "tools/scene/cli.h"

extern const CommandSpec kSkyCommand;
// Writes the dome and its entry and returns the line that says what it wrote.
std::string MakeSky(const Args& args);
