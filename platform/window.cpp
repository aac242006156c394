// The window, its message queue and its GL context over SDL2, with Win32's message numbers and key codes.
#include "platform/platform.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <deque>
#include <string>

struct PlatformWindow {
  SDL_Window* window;
  WNDPROC proc;
};

int keys[256];

static WNDCLASS registeredClass;
static std::string registeredName;
static bool classRegistered;
static PlatformWindow theWindow;
static std::deque<MSG> queue;
static bool quitPosted;
static int quitCode;
static bool pixelFormatSet;

// The window class name becomes the X11 WM_CLASS, which is what the desktop groups windows by.
static void SetClassHint(SDL_Window* window, const char* className) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  XClassHint hint = {const_cast<char*>("glide"), const_cast<char*>(className)};
  XSetClassHint(info.info.x11.display, info.info.x11.window, &hint);
}

static WPARAM MapKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  switch (key) {
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    default: return 0;
  }
}

static void Enqueue(UINT message, WPARAM wParam, LPARAM lParam) {
  queue.push_back(MSG{&theWindow, message, wParam, lParam});
}

static void TranslateEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: Enqueue(WM_CLOSE, 0, 0); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      WPARAM vk = MapKey(e.key.keysym.sym);
      if (vk) Enqueue(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0);
      break;
    }
    case SDL_MOUSEMOTION:
      Enqueue(WM_MOUSEMOVE, 0, (e.motion.x & 0xFFFF) | ((e.motion.y & 0xFFFF) << 16));
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          Enqueue(WM_SIZE, 0, (e.window.data1 & 0xFFFF) | ((e.window.data2 & 0xFFFF) << 16));
          break;
        case SDL_WINDOWEVENT_MINIMIZED: Enqueue(WM_SIZE, 1, 0); break;
        case SDL_WINDOWEVENT_EXPOSED: Enqueue(WM_PAINT, 0, 0); break;
        case SDL_WINDOWEVENT_CLOSE: Enqueue(WM_CLOSE, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: Enqueue(WM_SETFOCUS, 0, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: Enqueue(WM_KILLFOCUS, 0, 0); break;
        default: break;
      }
      break;
    default: break;
  }
}

bool RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || classRegistered) return false;
  registeredClass = *wc;
  registeredName = wc->lpszClassName;
  classRegistered = true;
  return true;
}

bool UnregisterClass(const char* className, HINSTANCE) {
  if (!classRegistered || !className || registeredName != className) return false;
  classRegistered = false;
  if (theWindow.window) SDL_DestroyWindow(theWindow.window);
  theWindow.window = nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return true;
}

// SDL sizes windows by their client area, so the frame adds nothing.
bool AdjustWindowRect(RECT* rect, uint32_t, bool) { return rect != nullptr; }

HWND CreateWindowEx(uint32_t, const char* className, const char* title, uint32_t, int x, int y, int width,
                    int height, HWND, void*, HINSTANCE, void*) {
  if (!classRegistered || !className || registeredName != className || theWindow.window) return nullptr;
  // Only drivers that show a window: when the display cannot be reached SDL would otherwise fall back to
  // drawing off screen, and the program would run on unseen. SDL_VIDEODRIVER set by the user still wins.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland,KMSDRM");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "Cannot open the window: %s\n", SDL_GetError());
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  theWindow.window = SDL_CreateWindow(title, x, y, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!theWindow.window) {
    std::fprintf(stderr, "Cannot open the window: %s\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  theWindow.proc = registeredClass.lpfnWndProc;
  SetClassHint(theWindow.window, className);
  return &theWindow;
}

// Like Win32, showing the window sends it its size at once, before the caller goes on.
bool ShowWindow(HWND hwnd, int) {
  if (hwnd != &theWindow || !theWindow.window) return false;
  SDL_ShowWindow(theWindow.window);
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(theWindow.window, &w, &h);
  theWindow.proc(hwnd, WM_SIZE, 0, (w & 0xFFFF) | ((h & 0xFFFF) << 16));
  return true;
}

bool UpdateWindow(HWND hwnd) {
  if (hwnd != &theWindow || !theWindow.window) return false;
  theWindow.proc(hwnd, WM_PAINT, 0, 0);
  return true;
}

HWND SetFocus(HWND hwnd) {
  if (hwnd == &theWindow && theWindow.window) {
    SDL_RaiseWindow(theWindow.window);
    SDL_SetWindowInputFocus(theWindow.window);
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

// Posted messages come first, then the window's own events; the quit message only once both are drained.
bool PeekMessage(MSG* msg, HWND, UINT, UINT, UINT remove) {
  if (queue.empty() && theWindow.window) {
    SDL_Event e;
    while (queue.empty() && SDL_PollEvent(&e)) TranslateEvent(e);
  }
  if (!queue.empty()) {
    *msg = queue.front();
    if (remove & PM_REMOVE) queue.pop_front();
    return true;
  }
  if (quitPosted) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0};
    if (remove & PM_REMOVE) quitPosted = false;
    return true;
  }
  return false;
}

bool TranslateMessage(const MSG* msg) { return msg && msg->message == WM_KEYDOWN; }

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg || msg->hwnd != &theWindow || !theWindow.proc) return 0;
  return theWindow.proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd != &theWindow) return false;
  Enqueue(message, wParam, lParam);
  return true;
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  ps->hdc = hwnd;
  GetClientRect(hwnd, &ps->rcPaint);
  return hwnd;
}

bool EndPaint(HWND, const PAINTSTRUCT*) { return true; }

HDC GetDC(HWND hwnd) { return hwnd == &theWindow && theWindow.window ? hwnd : nullptr; }

int ReleaseDC(HWND hwnd, HDC hdc) { return hwnd == hdc && hdc == &theWindow ? 1 : 0; }

// The one format on offer: RGBA, double-buffered, with SDL's depth buffer; a request outside that fails.
int ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* pfd) {
  if (hdc != &theWindow || !theWindow.window || !pfd || pfd->nSize != sizeof(PIXELFORMATDESCRIPTOR)) return 0;
  if (!(pfd->dwFlags & PFD_SUPPORT_OPENGL) || pfd->iPixelType != PFD_TYPE_RGBA) return 0;
  return 1;
}

bool SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
  if (hdc != &theWindow || format != 1 || !pfd || pixelFormatSet) return false;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (pfd->dwFlags & PFD_DOUBLEBUFFER) ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, pfd->cDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, pfd->cStencilBits);
  pixelFormatSet = true;
  return true;
}

HGLRC wglCreateContext(HDC hdc) {
  if (hdc != &theWindow || !theWindow.window) return nullptr;
  return SDL_GL_CreateContext(theWindow.window);
}

bool wglMakeCurrent(HDC hdc, HGLRC context) {
  if (!hdc || !context) return SDL_GL_MakeCurrent(theWindow.window, nullptr) == 0;
  return hdc == &theWindow && SDL_GL_MakeCurrent(theWindow.window, context) == 0;
}

bool wglDeleteContext(HGLRC context) {
  if (!context) return false;
  SDL_GL_DeleteContext(context);
  return true;
}

bool SwapBuffers(HDC hdc) {
  if (hdc != &theWindow || !theWindow.window) return false;
  SDL_GL_SwapWindow(theWindow.window);
  return true;
}
