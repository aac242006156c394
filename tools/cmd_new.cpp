// glide-scene new: not built yet.
#include "tools/cli.h"
#include "tools/commands.h"

int RunNew(const std::vector<std::string>&) { throw ToolError("new is not built yet"); }
