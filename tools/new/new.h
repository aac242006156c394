// glide-scene new, a flyable empty scene: its declaration and its work.
#pragma once

#include <string>

#include "tools/scene/cli.h"

extern const CommandSpec kNewCommand;
// Writes the scene and returns the line that says what it wrote.
std::string MakeNew(const Args& args);
