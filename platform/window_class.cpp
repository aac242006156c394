// The window class, icon and cursor, painting and pixel format of the backends that imitate Win32.
#include "platform/imitation.h"

#include <string>

static WNDPROC registeredProc;
static std::string registeredName;

// The system's icon and cursor are the backend's own; the names only need to be known.
HICON LoadIcon(HINSTANCE, const char* name) { return name; }

HCURSOR LoadCursor(HINSTANCE, const char* name) { return name; }

bool RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || registeredProc) return false;
  registeredProc = wc->lpfnWndProc;
  registeredName = wc->lpszClassName;
  return true;
}

WNDPROC RegisteredProc(const char* className) {
  return registeredProc && className && registeredName == className ? registeredProc : nullptr;
}

bool ForgetClass(const char* className) {
  if (!RegisteredProc(className)) return false;
  registeredProc = nullptr;
  return true;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!ps) return nullptr;
  ps->hdc = hwnd;
  GetClientRect(hwnd, &ps->rcPaint);
  return hwnd;
}

bool EndPaint(HWND, const PAINTSTRUCT*) { return true; }

// The one format on offer: RGBA, double-buffered, with a depth buffer, for the open window's device context
// (the window itself); a request outside that fails.
int ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* pfd) {
  if (!hdc || GetDC(hdc) != hdc || !pfd || pfd->nSize != sizeof(PIXELFORMATDESCRIPTOR)) return 0;
  if (!(pfd->dwFlags & PFD_SUPPORT_OPENGL) || pfd->iPixelType != PFD_TYPE_RGBA) return 0;
  return 1;
}
