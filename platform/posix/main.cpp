// The process entry on POSIX systems: the arguments are kept for CommandArguments, then the program starts.
#include "platform/imitation.h"

int main(int argc, char** argv) {
  KeepArguments(argc, argv);
  return WinMain(nullptr, nullptr, argc > 0 ? argv[0] : nullptr, SW_SHOWNORMAL);
}
