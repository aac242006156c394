// glide-scene check: not built yet.
#include "tools/cli.h"
#include "tools/commands.h"

int RunCheck(const std::vector<std::string>&) { throw ToolError("check is not built yet"); }
