// Process entry: the automation options, then the window, its context and the message loop.
#include "app/app.h"
#include "config/config.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int argc = 0;
  char** argv = CommandArguments(&argc);
  const int code = ParseOptions(argc, argv);
  if (code >= 0) return code;
  TuneAllocator();
  HWND window = CreateMyWindow("Game", 800, 600, instance);
  if (!window) return 1;
  Init(window);
  WriteLog("init   WINAPI WinMain(...) ", 0);
  const int result = MainLoop();
  return bSaveFailed && result == 0 ? 1 : result;
}
