// The process entry on POSIX systems: the arguments are kept for CommandArguments, then the program starts.
#include "platform/platform.h"

static int argumentCount;
static char** arguments;

char** CommandArguments(int* count) {
  *count = argumentCount;
  return arguments;
}

int main(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
  return WinMain(nullptr, nullptr, argc > 0 ? argv[0] : nullptr, SW_SHOWNORMAL);
}
