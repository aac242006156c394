// The Windows backend's part of the window: the key table, the swap-interval extension, the command line.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int keys[256];

// wglGetProcAddress answers some drivers' missing functions with small numbers instead of null.
static void* GetExtension(const char* name) {
  void* address = reinterpret_cast<void*>(wglGetProcAddress(name));
  const intptr_t value = reinterpret_cast<intptr_t>(address);
  return value >= -1 && value <= 3 ? nullptr : address;
}

// Adaptive sync (-1) only where the driver says it has it; otherwise the call could be taken as an error.
bool wglSwapIntervalEXT(int interval) {
  using SwapInterval = BOOL(WINAPI*)(int);
  using ExtensionsString = const char*(WINAPI*)(HDC);
  auto swapInterval = reinterpret_cast<SwapInterval>(GetExtension("wglSwapIntervalEXT"));
  if (!swapInterval) return false;
  if (interval < 0) {
    auto extensions = reinterpret_cast<ExtensionsString>(GetExtension("wglGetExtensionsStringARB"));
    const char* names = extensions ? extensions(wglGetCurrentDC()) : nullptr;
    if (!names || !std::strstr(names, "WGL_EXT_swap_control_tear")) return false;
  }
  return swapInterval(interval) != FALSE;
}

bool HasDisplay() { return true; }

static bool IsOpen(DWORD stream) {
  HANDLE handle = GetStdHandle(stream);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// A GUI program starts without a console: streams redirected by the caller are kept; the others are the
// console of the program that started this one, where there is one (cmd, PowerShell), else nowhere.
char** CommandArguments(int* count) {
  const bool out = IsOpen(STD_OUTPUT_HANDLE), err = IsOpen(STD_ERROR_HANDLE);
  if ((!out || !err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (!out) std::freopen("CONOUT$", "w", stdout);
    if (!err) std::freopen("CONOUT$", "w", stderr);
  }
  *count = __argc;
  return __argv;
}
