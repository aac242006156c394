// glide-scene sky: not built yet.
#include "tools/cli.h"
#include "tools/commands.h"

int RunSky(const std::vector<std::string>&) { throw ToolError("sky is not built yet"); }
