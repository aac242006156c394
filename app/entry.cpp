// Process entry: the automation options, then the program proper.
#include "app/app.h"

int main(int argc, char** argv) {
  const int code = ParseOptions(argc, argv);
  if (code >= 0) return code;
  TuneAllocator();
  const int result = WinMain(nullptr, nullptr, argc > 0 ? argv[0] : nullptr, SW_SHOWNORMAL);
  return bSaveFailed && result == 0 ? 1 : result;
}
