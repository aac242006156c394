// Init, the render-when-idle message loop and the window procedure with the key-state table.
#include <cstring>

#include "app/app.h"
#include "config/config.h"
#include "render/render.h"

HWND hWnd;
RECT rRect;

void Init(HWND window) {
  if (LogLevel > 0) WriteLog("main  START Init(...) ", 0);
  hWnd = window;
  GetClientRect(hWnd, &rRect);
  InitializeOpenGL(rRect.right, rRect.bottom);
  if (LogLevel > 0) WriteLog("main  END Init(...) ", 0);
}

int MainLoop() {
  MSG msg;
  StartScript();
  for (;;) {
    if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessage(&msg);
    } else {
      RenderScene();
      FinishFrame();
      SwapBuffers(hDC);
    }
  }
  SaveLastFrame();
  DeInit();
  if (LogLevel > 0) WriteLog("main  WPARAM MainLoop() ", 0);
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK WinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  PAINTSTRUCT ps;
  switch (message) {
    case WM_SIZE:
      SizeOpenGLScreen(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      break;
    case WM_PAINT:
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      break;
    case WM_CLOSE:
      PostQuitMessage(0);
      break;
    // Keys let go while another window has the keyboard send their key-up there: none is held from here on.
    case WM_KILLFOCUS:
      std::memset(keys, 0, sizeof keys);
      result = DefWindowProc(window, message, wParam, lParam);
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostQuitMessage(0);
      keys[wParam & 0xFF] = 1;
      break;
    case WM_KEYUP:
      keys[wParam & 0xFF] = 0;
      break;
    default:
      result = DefWindowProc(window, message, wParam, lParam);
      break;
  }
  if (LogLevel > 3) WriteLog("main  LRESULT CALLBACK WinProc(...) ", 0);
  return result;
}
