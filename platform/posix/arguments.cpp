// The command line as the process entry got it, kept for CommandArguments.
#include "platform/imitation.h"

static int argumentCount;
static char** arguments;

void KeepArguments(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
}

char** CommandArguments(int* count) {
  *count = argumentCount;
  return arguments;
}
