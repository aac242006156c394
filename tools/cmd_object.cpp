// glide-scene object: not built yet.
#include "tools/cli.h"
#include "tools/commands.h"

int RunObject(const std::vector<std::string>&) { throw ToolError("object is not built yet"); }
