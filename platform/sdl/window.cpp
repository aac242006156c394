// The window, its events and its GL context over SDL2, with Win32's message numbers and key codes.
#include "platform/platform.h"
#include "platform/imitation.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xutil.h>

#include <cstdio>

struct PlatformWindow {
  SDL_Window* window;
  WNDPROC proc;
};

int keys[256];

static PlatformWindow theWindow;
static bool pixelFormatSet;
static Display* xDisplay;
static ::Window xWindow;
static bool windowGone;
static bool displayLost;
// The code each held key's key-down sent, so its key-up clears the same `keys` entry even when Num Lock or
// the layout changed in between.
static WPARAM sentForKey[SDL_NUM_SCANCODES];
// The client size the window procedure was last told, so that SDL's pairs of events for one change (a size
// change and a maximise or restore) give one WM_SIZE, as on Windows.
static LPARAM sentSize = -1;

// Keys whose Windows code follows the character the layout puts on them, found by that character first and
// by their place on a US keyboard otherwise.
struct OemKey {
  SDL_Keycode sym;
  SDL_Scancode place;
  WPARAM vk;
};
static const OemKey oemKeys[] = {
    {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, VK_OEM_1},  {SDLK_EQUALS, SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDLK_COMMA, SDL_SCANCODE_COMMA, VK_OEM_COMMA},      {SDLK_MINUS, SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDLK_PERIOD, SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},   {SDLK_SLASH, SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, VK_OEM_3},      {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH, VK_OEM_5},  {SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
};

// The keypad's digits and point give their navigation keys while Num Lock is off, as on Windows.
static WPARAM MapKeypad(SDL_Scancode place, bool numLock) {
  static const WPARAM navigation[10] = {VK_INSERT, VK_END,  VK_DOWN, VK_NEXT, VK_LEFT,
                                        VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
  if (place == SDL_SCANCODE_KP_PERIOD) return numLock ? VK_DECIMAL : VK_DELETE;
  const int digit = place == SDL_SCANCODE_KP_0 ? 0 : place - SDL_SCANCODE_KP_1 + 1;
  return numLock ? VK_NUMPAD0 + static_cast<WPARAM>(digit) : navigation[digit];
}

static WPARAM MapPlace(SDL_Scancode place, bool numLock) {
  if (place >= SDL_SCANCODE_A && place <= SDL_SCANCODE_Z) return 'A' + (place - SDL_SCANCODE_A);
  if (place >= SDL_SCANCODE_1 && place <= SDL_SCANCODE_9) return '1' + (place - SDL_SCANCODE_1);
  if (place >= SDL_SCANCODE_F1 && place <= SDL_SCANCODE_F12) return VK_F1 + (place - SDL_SCANCODE_F1);
  if (place >= SDL_SCANCODE_F13 && place <= SDL_SCANCODE_F24) return VK_F13 + (place - SDL_SCANCODE_F13);
  if (place >= SDL_SCANCODE_KP_1 && place <= SDL_SCANCODE_KP_PERIOD) return MapKeypad(place, numLock);
  for (const OemKey& key : oemKeys)
    if (key.place == place) return key.vk;
  switch (place) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_COMMA: return VK_SEPARATOR;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    case SDL_SCANCODE_MUTE: return VK_VOLUME_MUTE;
    case SDL_SCANCODE_VOLUMEDOWN: return VK_VOLUME_DOWN;
    case SDL_SCANCODE_VOLUMEUP: return VK_VOLUME_UP;
    case SDL_SCANCODE_AUDIONEXT: return VK_MEDIA_NEXT_TRACK;
    case SDL_SCANCODE_AUDIOPREV: return VK_MEDIA_PREV_TRACK;
    case SDL_SCANCODE_AUDIOSTOP: return VK_MEDIA_STOP;
    case SDL_SCANCODE_AUDIOPLAY: return VK_MEDIA_PLAY_PAUSE;
    default: return 0;
  }
}

// Letters, digits and punctuation by the layout's character, like Windows; every other key by its place.
static WPARAM MapKey(const SDL_Keysym& key) {
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) return 'A' + (key.sym - SDLK_a);
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return '0' + (key.sym - SDLK_0);
  for (const OemKey& oem : oemKeys)
    if (oem.sym == key.sym) return oem.vk;
  return MapPlace(key.scancode, (key.mod & KMOD_NUM) != 0);
}

static LPARAM PackSize(int width, int height) { return (width & 0xFFFF) | ((height & 0xFFFF) << 16); }

static LPARAM ClientSize() {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(theWindow.window, &w, &h);
  return PackSize(w, h);
}

// The window destroyed by someone else, or the display gone: one close request, as if the user had asked.
static void WindowGone() {
  if (windowGone) return;
  windowGone = true;
  QueueEvent(WM_CLOSE, 0, 0);
}

// Xlib's own handler ends the process on any error. Errors here come from requests on a window that another
// client destroyed, or from drawing after the fact; none of them is worth the process.
static int OnXError(Display*, XErrorEvent* error) {
  if ((error->error_code == BadWindow || error->error_code == BadDrawable) && error->resourceid == xWindow)
    WindowGone();
  return 0;
}

// Called instead of exit() once the connection is lost; Xlib then turns every further request on it into a
// no-op, so the loop can take the close request and shut down as usual. SDL keeps a second connection of
// its own whose loss would still end the process, so from here on SDL is not called again.
// Xlib's own handler would end the process at once; this one leaves that to the exit handler of the connection.
static int OnXConnectionError(Display* display) {
  std::fprintf(stderr, "Lost the connection to the display %s\n", DisplayString(display));
  return 0;
}

static void OnXConnectionLost(Display*, void*) {
  displayLost = true;
  WindowGone();
}

// Asks the server whether the window is still there; one destroyed by another client is gone from here on.
static bool WindowThere() {
  if (windowGone) return false;
  XWindowAttributes attributes;
  if (!xDisplay || XGetWindowAttributes(xDisplay, xWindow, &attributes)) return true;
  WindowGone();
  return false;
}

static void ReleaseWindow() {
  if (!xDisplay) return;
  XUngrabServer(xDisplay);
  XFlush(xDisplay);
}

// SDL asks for the window's attributes without looking at whether the request failed, and goes on with what
// the stack held: a stale visual pointer when it makes the GL context, a stale mapped state when it raises or
// focuses the window. So those calls run only while the server is held, once the window is known to be
// there: no other client can destroy it in between.
static bool HoldWindow() {
  if (xDisplay) XGrabServer(xDisplay);
  if (WindowThere()) return true;
  ReleaseWindow();
  return false;
}

// The window class name becomes the X11 WM_CLASS, which is what the desktop groups windows by. The window's
// X id is kept to know it in destroy notices and errors.
static void AttachX11(SDL_Window* window, const char* className) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  xDisplay = info.info.x11.display;
  xWindow = info.info.x11.window;
  XClassHint hint = {const_cast<char*>("glide"), const_cast<char*>(className)};
  XSetClassHint(xDisplay, xWindow, &hint);
  XSetIOErrorExitHandler(xDisplay, OnXConnectionLost, nullptr);
}

static void QueueSize(WPARAM type, LPARAM size) {
  if (size == sentSize) return;
  sentSize = size;
  QueueEvent(WM_SIZE, type, size);
}

static void TranslateEvent(const SDL_Event& e) {
  switch (e.type) {
    // With quitting on the last window's close turned off, SDL's quit event means a signal (Ctrl+C, kill).
    case SDL_QUIT: QueueEvent(WM_CLOSE, 0, 0); break;
    // Losing the focus, SDL releases every key still down: the key-ups clear `keys`, so a held key cannot
    // keep the glider going while another window has the keyboard.
    case SDL_KEYDOWN: {
      const WPARAM vk = MapKey(e.key.keysym);
      if (vk) QueueEvent(WM_KEYDOWN, vk, 0);
      if (vk && e.key.keysym.scancode < SDL_NUM_SCANCODES) sentForKey[e.key.keysym.scancode] = vk;
      break;
    }
    case SDL_KEYUP: {
      WPARAM vk = MapKey(e.key.keysym);
      if (e.key.keysym.scancode < SDL_NUM_SCANCODES && sentForKey[e.key.keysym.scancode]) {
        vk = sentForKey[e.key.keysym.scancode];
        sentForKey[e.key.keysym.scancode] = 0;
      }
      if (vk) QueueEvent(WM_KEYUP, vk, 0);
      break;
    }
    case SDL_MOUSEMOTION:
      QueueEvent(WM_MOUSEMOVE, 0, PackSize(e.motion.x, e.motion.y));
      break;
    case SDL_SYSWMEVENT:
      if (e.syswm.msg->subsystem == SDL_SYSWM_X11 && e.syswm.msg->msg.x11.event.type == DestroyNotify &&
          e.syswm.msg->msg.x11.event.xdestroywindow.window == xWindow)
        WindowGone();
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: QueueSize(SIZE_RESTORED, PackSize(e.window.data1, e.window.data2)); break;
        case SDL_WINDOWEVENT_MINIMIZED: QueueSize(SIZE_MINIMIZED, 0); break;
        // Coming back from the minimised state the size is unchanged, so SDL reports no size; Windows does.
        case SDL_WINDOWEVENT_RESTORED: QueueSize(SIZE_RESTORED, ClientSize()); break;
        case SDL_WINDOWEVENT_MAXIMIZED: QueueSize(SIZE_MAXIMIZED, ClientSize()); break;
        case SDL_WINDOWEVENT_EXPOSED: QueueEvent(WM_PAINT, 0, 0); break;
        case SDL_WINDOWEVENT_CLOSE: QueueEvent(WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: QueueEvent(WM_SETFOCUS, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: QueueEvent(WM_KILLFOCUS, 0, 0); break;
        default: break;
      }
      break;
    default: break;
  }
}

bool UnregisterClass(const char* className, HINSTANCE) {
  if (!ForgetClass(className)) return false;
  // A window gone from under the program leaves SDL as it is, as a lost display does (see wglMakeCurrent).
  if (!displayLost && !windowGone) {
    if (theWindow.window) SDL_DestroyWindow(theWindow.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  theWindow.window = nullptr;
  return true;
}

// SDL sizes windows by their client area, so the frame adds nothing.
bool AdjustWindowRect(RECT* rect, uint32_t, bool) { return rect != nullptr; }

HWND CreateWindowEx(uint32_t, const char* className, const char* title, uint32_t style, int x, int y, int width,
                    int height, HWND, void*, HINSTANCE, void*) {
  const WNDPROC proc = RegisteredProc(className);
  if (!proc || theWindow.window) return nullptr;
  // Only drivers that show a window: when the display cannot be reached SDL would otherwise fall back to
  // drawing off screen, and the program would run on unseen. SDL_VIDEODRIVER set by the user still wins.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland,KMSDRM");
  // The window's close event is the one close request; SDL's quit event then only stands for a signal.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Set before SDL opens the display, so that SDL keeps it as the handler it falls back on and restores.
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXConnectionError);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "Cannot open the window: %s\n", SDL_GetError());
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  const uint32_t sizing = (style & WS_THICKFRAME) ? SDL_WINDOW_RESIZABLE : 0;
  theWindow.window = SDL_CreateWindow(title, x, y, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | sizing);
  if (!theWindow.window) {
    std::fprintf(stderr, "Cannot open the window: %s\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  theWindow.proc = proc;
  QueueWindow(&theWindow, theWindow.proc);
  windowGone = false;
  AttachX11(theWindow.window, className);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  return &theWindow;
}

// Like Win32, showing the window sends it its size at once, before the caller goes on.
bool ShowWindow(HWND hwnd, int) {
  if (hwnd != &theWindow || !theWindow.window) return false;
  SDL_ShowWindow(theWindow.window);
  sentSize = ClientSize();
  theWindow.proc(hwnd, WM_SIZE, SIZE_RESTORED, sentSize);
  return true;
}

bool UpdateWindow(HWND hwnd) {
  if (hwnd != &theWindow || !theWindow.window) return false;
  theWindow.proc(hwnd, WM_PAINT, 0, 0);
  return true;
}

HWND SetFocus(HWND hwnd) {
  if (hwnd == &theWindow && theWindow.window && HoldWindow()) {
    SDL_RaiseWindow(theWindow.window);
    SDL_SetWindowInputFocus(theWindow.window);
    ReleaseWindow();
  }
  return GetFocus();
}

HWND GetFocus() {
  return theWindow.window && (SDL_GetWindowFlags(theWindow.window) & SDL_WINDOW_INPUT_FOCUS) ? &theWindow : nullptr;
}

bool GetClientRect(HWND hwnd, RECT* rect) {
  if (hwnd != &theWindow || !theWindow.window || !rect) return false;
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(theWindow.window, &w, &h);
  *rect = RECT{0, 0, w, h};
  return true;
}

// SDL is asked for the window's events only while nothing waits, one at a time, so that the program meets
// each in turn. Once the window is gone its last events (unmapping, focus) are not news to the program.
bool PeekMessage(MSG* msg, HWND, UINT, UINT, UINT remove) {
  const bool live = theWindow.window && !displayLost && !windowGone;
  SDL_Event e;
  while (live && !MessageWaiting() && SDL_PollEvent(&e)) TranslateEvent(e);
  // With nothing to take the caller draws a frame, whose first GL call has the driver read the window's size:
  // a window destroyed since the last frame is mostly found here, before that (see wglMakeCurrent).
  if (live && !TakeMessage(msg, 0)) WindowThere();
  return TakeMessage(msg, remove);
}

HDC wglGetCurrentDC() { return SDL_GL_GetCurrentContext() ? &theWindow : nullptr; }

HDC GetDC(HWND hwnd) { return hwnd == &theWindow && theWindow.window ? hwnd : nullptr; }

int ReleaseDC(HWND hwnd, HDC hdc) { return hwnd == hdc && hdc == &theWindow ? 1 : 0; }

bool SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
  if (hdc != &theWindow || format != 1 || !pfd || pixelFormatSet) return false;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (pfd->dwFlags & PFD_DOUBLEBUFFER) ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, pfd->cDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, pfd->cStencilBits);
  pixelFormatSet = true;
  return true;
}

HGLRC wglCreateContext(HDC hdc) {
  if (hdc != &theWindow || !theWindow.window || !HoldWindow()) return nullptr;
  HGLRC context = SDL_GL_CreateContext(theWindow.window);
  ReleaseWindow();
  return context;
}

// Once the window is gone the context is left as it is, current and undestroyed, until the process ends. The
// GL driver (Mesa's software rasteriser) reads the window's size at the first call of each frame; when the
// window has just been destroyed that read fails, and the frame is laid out for a size its buffers do not
// have. Releasing or destroying the context draws that frame: writes past the buffers, into shared memory
// or onto the heap. Shutting SDL's video down would do the same, as closing the display destroys every
// context on it.
bool wglMakeCurrent(HDC hdc, HGLRC context) {
  if (windowGone) return !context;
  if (!hdc || !context) return SDL_GL_MakeCurrent(theWindow.window, nullptr) == 0;
  return hdc == &theWindow && SDL_GL_MakeCurrent(theWindow.window, context) == 0;
}

bool wglDeleteContext(HGLRC context) {
  if (!context) return false;
  if (!windowGone) SDL_GL_DeleteContext(context);
  return true;
}

bool SwapBuffers(HDC hdc) {
  if (hdc != &theWindow || !theWindow.window || windowGone) return false;
  SDL_GL_SwapWindow(theWindow.window);
  return true;
}

bool wglSwapIntervalEXT(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }
