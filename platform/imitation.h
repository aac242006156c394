// What the backends that imitate Win32 (sdl/, web/) share: the window class, the message queue, GDI's fonts
// and the command line.
#pragma once

#include <string>

#include "platform/platform.h"

// The window procedure of the registered class called className; null where no class of that name is
// registered (window_class.cpp).
WNDPROC RegisteredProc(const char* className);
// Unregisters the class called className; false where it is not the one registered.
bool ForgetClass(const char* className);

// The window messages are queued for and dispatched to, and its procedure (set as the window is made).
void QueueWindow(HWND window, WNDPROC proc);
// One of the system's events for the window, behind those already queued.
void QueueEvent(UINT message, WPARAM wParam, LPARAM lParam);
// Whether a posted message or an event waits to be taken (the quit message aside).
bool MessageWaiting();
// PeekMessage's answer once the backend has queued its events: posted messages first, then the events, then
// the quit message once, only when both are drained; false with nothing to take.
bool TakeMessage(MSG* msg, UINT remove);

// A font as CreateFont asked for it; the backend's wglUseFontBitmaps finds its glyphs.
struct PlatformFont {
  std::string face;
  bool bold;
  int emPixels;
};

// The font selected into the one device context (font.cpp).
extern HFONT selectedFont;

// The command line the process entry got, kept for CommandArguments (posix/arguments.cpp).
void KeepArguments(int argc, char** argv);
