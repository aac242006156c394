// glide-scene terrain: not built yet.
#include "tools/cli.h"
#include "tools/commands.h"

int RunTerrain(const std::vector<std::string>&) { throw ToolError("terrain is not built yet"); }
