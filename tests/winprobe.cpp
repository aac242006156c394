// Finds the demo's window from another Windows process and reports on it or asks it to close:
//   winprobe size    prints the class, the title and the client size of the window
//   winprobe close   sends the close command of the window menu, as the close box does
//   winprobe error   prints the text of the message box titled "Error"
//   winprobe font    builds the overlay's glyph lists as the program does, in a window of its own, and prints
//                    "BLANK_ADVANCE BLANK_MOVE LETTER_MOVE GL_ERROR": the blank's advance as GDI reports it, how far
//                    the blank's and the letter G's lists move the raster position, and the GL error of the build
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "render/render.h"

static HWND WaitForWindow(const char* className, const char* title) {
  for (int i = 0; i < 600; ++i) {
    if (HWND window = FindWindowA(className, title)) return window;
    Sleep(50);
  }
  return nullptr;
}

static float ListMove(unsigned char c) {
  GLfloat before[4], after[4];
  glRasterPos2f(10, 50);
  glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
  glCallList(base + c - 32);
  glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
  return after[0] - before[0];
}

static int Font() {
  WNDCLASSA windowClass{};
  windowClass.style = CS_OWNDC;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "winprobe";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("winprobe", "winprobe", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  HDC dc = GetDC(window);
  PIXELFORMATDESCRIPTOR format{};
  format.nSize = sizeof format;
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.cColorBits = 24;
  if (!SetPixelFormat(dc, ChoosePixelFormat(dc, &format), &format)) return 1;
  if (!wglMakeCurrent(dc, wglCreateContext(dc))) return 1;
  glMatrixMode(GL_PROJECTION);
  glOrtho(0, 300, 0, 200, -1, 1);
  glGetError();  // an error from before the build is not the build's
  BuildFont();
  const GLenum error = glGetError();
  static const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  GLYPHMETRICS blank{};
  if (GetGlyphOutlineA(dc, ' ', GGO_METRICS, &blank, 0, nullptr, &identity) == GDI_ERROR) return 1;
  std::printf("%d %g %g %#x\n", blank.gmCellIncX, ListMove(' '), ListMove('G'), error);
  return 0;
}

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "size";
  if (std::strcmp(what, "font") == 0) return Font();
  if (std::strcmp(what, "error") == 0) {
    HWND box = WaitForWindow("#32770", "Error");  // the system's dialog class
    if (!box) return 1;
    char text[512] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the static control of a message box's text
    std::printf("%s\n", text);
    return 0;
  }
  HWND window = WaitForWindow("Pelican`s 3dPrimers", "Game");
  if (!window) return 1;
  if (std::strcmp(what, "close") == 0) return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  RECT client{};
  char className[256] = "", title[256] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  GetClientRect(window, &client);
  std::printf("%s|%s|%ld %ld\n", className, title, client.right - client.left, client.bottom - client.top);
  return 0;
}
