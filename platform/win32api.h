// The Win32 window, message, GDI font and WGL calls the program uses, under their own names, for the backends
// that imitate them (sdl/, web/); see README.md here for what each call must do.
#pragma once

#include <cstdint>

#define WINAPI
#define CALLBACK

using UINT = uint32_t;
using DWORD = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = int32_t;
using LPSTR = char*;
using HINSTANCE = void*;
using HGLRC = void*;
struct PlatformWindow;
using HWND = PlatformWindow*;
using HDC = PlatformWindow*;  // a window's device context is the window itself
struct PlatformFont;
using HFONT = PlatformFont*;
using HGDIOBJ = void*;
using HICON = const void*;
using HCURSOR = const void*;
using HBRUSH = const void*;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_SIZE = 5;
constexpr UINT WM_SETFOCUS = 7;
constexpr UINT WM_KILLFOCUS = 8;
constexpr UINT WM_PAINT = 15;
constexpr UINT WM_CLOSE = 16;
constexpr UINT WM_QUIT = 18;
constexpr UINT WM_KEYDOWN = 256;
constexpr UINT WM_KEYUP = 257;
constexpr UINT WM_MOUSEMOVE = 0x200;

constexpr UINT SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;

constexpr WPARAM VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                 VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B,
                 VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
                 VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D,
                 VK_DELETE = 0x2E, VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60,
                 VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E,
                 VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72, VK_F13 = 0x7C, VK_NUMLOCK = 0x90,
                 VK_SCROLL = 0x91, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE, VK_VOLUME_UP = 0xAF,
                 VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1, VK_MEDIA_STOP = 0xB2,
                 VK_MEDIA_PLAY_PAUSE = 0xB3, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC,
                 VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB,
                 VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2;

constexpr UINT CS_VREDRAW = 1, CS_HREDRAW = 2;
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000, WS_THICKFRAME = 0x00040000, WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000;
constexpr int SW_SHOWNORMAL = 1;
constexpr UINT PM_REMOVE = 1;
// Resource names of the system's icon and cursor: numbers in a name's place, as Win32 has them.
inline const char* const IDI_APPLICATION = reinterpret_cast<const char*>(32512);
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(32512);
constexpr int COLOR_WINDOW = 5;
constexpr UINT MB_OK = 0;
constexpr uint32_t PFD_DOUBLEBUFFER = 0x01, PFD_DRAW_TO_WINDOW = 0x04, PFD_SUPPORT_OPENGL = 0x20;
constexpr uint8_t PFD_TYPE_RGBA = 0, PFD_MAIN_PLANE = 0;
constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0, OUT_TT_PRECIS = 4, CLIP_DEFAULT_PRECIS = 0, ANTIALIASED_QUALITY = 4,
                DEFAULT_PITCH = 0, FF_DONTCARE = 0;

struct RECT {
  int32_t left, top, right, bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct PAINTSTRUCT {
  HDC hdc;
  RECT rcPaint;
};

struct WNDCLASS {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra, cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

struct PIXELFORMATDESCRIPTOR {
  uint16_t nSize, nVersion;
  uint32_t dwFlags;
  uint8_t iPixelType, cColorBits, cRedBits, cRedShift, cGreenBits, cGreenShift, cBlueBits, cBlueShift,
      cAlphaBits, cAlphaShift, cAccumBits, cAccumRedBits, cAccumGreenBits, cAccumBlueBits, cAccumAlphaBits,
      cDepthBits, cStencilBits, cAuxBuffers, iLayerType, bReserved;
  uint32_t dwLayerMask, dwVisibleMask, dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

// The program's entry, which the process entry calls with no instance and the program's name.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

HICON LoadIcon(HINSTANCE instance, const char* name);
HCURSOR LoadCursor(HINSTANCE instance, const char* name);
bool RegisterClass(const WNDCLASS* wc);
bool UnregisterClass(const char* className, HINSTANCE instance);
bool AdjustWindowRect(RECT* rect, uint32_t style, bool menu);
HWND CreateWindowEx(uint32_t exStyle, const char* className, const char* title, uint32_t style, int x, int y,
                    int width, int height, HWND parent, void* menu, HINSTANCE instance, void* param);
bool ShowWindow(HWND hwnd, int command);
bool UpdateWindow(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
bool GetClientRect(HWND hwnd, RECT* rect);

bool PeekMessage(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove);
bool TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
int ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* pfd);
bool SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* pfd);
HGLRC wglCreateContext(HDC hdc);
bool wglMakeCurrent(HDC hdc, HGLRC context);
bool wglDeleteContext(HGLRC context);
bool SwapBuffers(HDC hdc);
// Buffer swaps wait for this many display refreshes; -1 asks for adaptive sync, refused where there is none.
bool wglSwapIntervalEXT(int interval);

// The font is only recorded; its glyphs are rendered when they are built into lists.
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, const char* face);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HDC wglGetCurrentDC();
// Display lists listBase.. draw the glyphs of codes first..first+count-1 of the font selected into hdc.
bool wglUseFontBitmaps(HDC hdc, DWORD first, DWORD count, DWORD listBase);
