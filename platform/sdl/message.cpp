// The modal message box, or a line on stderr when the program runs in batch mode or has no display.
#include "platform/platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int bBatchMode;
void (*MessageSink)(const char* caption, const char* text);

int MessageBox(HWND, const char* text, const char* caption, UINT) {
  if (!text) text = "";
  if (!caption) caption = "";
  if (MessageSink) {
    MessageSink(caption, text);
    return 1;
  }
  if (!bBatchMode) {
    if (SDL_ShowSimpleMessageBox(0, caption, text, nullptr) == 0) return 1;
  }
  if (bBatchMode == 2) return 1;
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  return 1;
}

bool HasDisplay() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}
