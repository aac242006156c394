// glide-scene object, a model file placed in the scene as an Objects entry: its declaration and its work.
#pragma once

#include <string>

#include "tools/scene/cli.h"

extern const CommandSpec kObjectCommand;
// Writes the model and its entry and returns the line that says what it wrote.
std::string MakeObject(const Args& args);
