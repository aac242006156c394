// Window creation, the GL context and its fixed state, the projection on resize, and shutdown.
#include "app/app.h"
#include "config/config.h"
#include "image/image.h"
#include "scene/scene.h"
#include "render/render.h"
// Last: on Windows the GL headers need <windows.h>, which platform.h brings.
#include <GL/gl.h>
#include <GL/glu.h>

HINSTANCE hInstance;
HDC hDC;
HGLRC hRC;

static const char* const strClassName = "Pelican`s 3dPrimers";
static WNDCLASS wndclass;
static RECT rWindow;
static PIXELFORMATDESCRIPTOR pfd;

HWND CreateMyWindow(const char* title, int width, int height, HINSTANCE instance) {
  const uint32_t style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  wndclass = WNDCLASS{};
  wndclass.style = CS_HREDRAW | CS_VREDRAW;
  wndclass.lpfnWndProc = WinProc;
  wndclass.hInstance = instance;
  wndclass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wndclass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wndclass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wndclass.lpszClassName = strClassName;
  RegisterClass(&wndclass);
  hInstance = instance;
  rWindow = RECT{0, 0, width, height};
  AdjustWindowRect(&rWindow, style, false);
  HWND window = CreateWindowEx(0, strClassName, title, style, 0, 0, rWindow.right - rWindow.left,
                               rWindow.bottom - rWindow.top, nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  SetFocus(window);
  return window;
}

bool bSetupPixelFormat(HDC hdc) {
  pfd = PIXELFORMATDESCRIPTOR{};
  pfd.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 16;
  pfd.cDepthBits = 16;
  pfd.dwLayerMask = PFD_MAIN_PLANE;
  const int format = ChoosePixelFormat(hdc, &pfd);
  if (format == 0) {
    MessageBox(nullptr, "ChoosePixelFormat failed", "Error", MB_OK);
    return false;
  }
  if (!SetPixelFormat(hdc, format, &pfd)) {
    MessageBox(nullptr, "SetPixelFormat failed", "Error", MB_OK);
    return false;
  }
  WriteLog("init  bSetupPixelFormat(...)", 0);
  return true;
}

static uint32_t UploadGLTexture(const RGBImage* image) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows are packed without pad
  if (image) glTexImage2D(GL_TEXTURE_2D, 0, 3, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE, image->data);
  return texture;
}

void InitializeOpenGL(int width, int height) {
  UploadTexture = UploadGLTexture;
  WriteLog("init  START InitializeOpenGL(...) ", 0);
  hDC = GetDC(hWnd);
  if (!bSetupPixelFormat(hDC)) PostQuitMessage(0);
  hRC = wglCreateContext(hDC);
  wglMakeCurrent(hDC, hRC);
  // Motion is per frame, so the display's refresh sets the glider's speed; adaptive sync where there is one.
  if (bNoVsync)
    wglSwapIntervalEXT(0);
  else if (!wglSwapIntervalEXT(-1))
    wglSwapIntervalEXT(1);
  glClearColor(0.3f, 0.6f, 0.9f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LESS);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  SizeOpenGLScreen(width, height);
  BuildFont();
  WriteLog("init  OK InitializeOpenGL(...) ", 0);
}

void SizeOpenGLScreen(int width, int height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<GLdouble>(width) / static_cast<GLdouble>(height), 0.5, 500.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  WriteLog("init  SizeOpenGLScreen(...) ", 0);
}

void DeInit() {
  if (hRC) {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(hRC);
  }
  if (hDC) ReleaseDC(hWnd, hDC);
  UnregisterClass(strClassName, hInstance);
  WriteLog("init  DeInit() - Deinitialization OpenGL ", 0);
}
