// The small desktop layer the program stands on: window, message queue, GL context, message box, file mapping, glyphs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = int32_t;
using HINSTANCE = void*;
using HGLRC = void*;
struct PlatformWindow;
using HWND = PlatformWindow*;
using HDC = PlatformWindow*;  // a window's device context is the window itself
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
constexpr intptr_t IDI_APPLICATION = 32512, IDC_ARROW = 32512, COLOR_WINDOW = 5;
constexpr UINT MB_OK = 0;
constexpr uint32_t PFD_DOUBLEBUFFER = 0x01, PFD_DRAW_TO_WINDOW = 0x04, PFD_SUPPORT_OPENGL = 0x20;
constexpr uint8_t PFD_TYPE_RGBA = 0, PFD_MAIN_PLANE = 0;

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
  intptr_t hIcon, hCursor, hbrBackground;
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

// One glyph as a 1-bit bitmap: rows top to bottom, most significant bit leftmost, `pitch` bytes a row.
struct GlyphBitmap {
  int width, rows, pitch;
  int left, top;  // pen origin to the bitmap's left column and top row, in pixels (top is up)
  int advance;
  std::vector<uint8_t> bits;
};

// Set by app options (or the fuzzers): 0 shows message boxes, 1 writes them to stderr, 2 drops them.
extern int bBatchMode;
// Set by the scene tools: when set, every message box goes to it instead, whatever bBatchMode says.
extern void (*MessageSink)(const char* caption, const char* text);
// Indexed by virtual-key code, 1 while the key is down (app main: WinProc). It lives here, below both the
// window procedure that writes it and the glider controls that read it.
extern int keys[256];

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

int MessageBox(HWND owner, const char* text, const char* caption, UINT type);

// Whole-file read-only mapping; null for a missing, unreadable or empty file, and at once for anything but a
// regular file (a FIFO, a device, a socket or a folder).
const uint8_t* MapFile(const char* name, size_t* size);
// Appends to a regular file, made if missing; false, without waiting, where that cannot be done.
bool AppendFile(const char* name, const char* text, size_t size);
void UnmapFile(const uint8_t* view, size_t size);
// Memory for free(); blocks of some megabytes ask for huge pages, whose first touch costs far less.
void* AllocateBlock(size_t size);
// Keeps the C heap from handing large freed blocks back to the system: the GL driver allocates and frees
// copies of the client arrays in every draw, and a block handed back costs all its page faults again.
void TuneAllocator();

// Glyphs of codes first..first+count-1 of the best match for the face, bold or not, at an em of emPixels.
bool RenderGlyphBitmaps(const char* face, bool bold, int emPixels, int first, int count,
                        std::vector<GlyphBitmap>* glyphs);
