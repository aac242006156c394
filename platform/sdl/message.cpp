// The modal message box over SDL, and whether there is a display to show it on.
#include "platform/platform.h"

#include <SDL.h>

#include <cstdlib>

int SystemMessageBox(HWND, const char* text, const char* caption, UINT) {
  return SDL_ShowSimpleMessageBox(0, caption, text, nullptr) == 0 ? 1 : 0;
}

bool HasDisplay() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}
