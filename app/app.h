// The application shell: window, GL context, message loop, window procedure and the automation options.
#pragma once

#include <string>

#include "platform/platform.h"

extern HINSTANCE hInstance;  // the process instance (init: CreateMyWindow)
extern HWND hWnd;            // the window (main: Init)
extern RECT rRect;           // client rectangle read at start-up (main: Init)
extern HDC hDC;              // the window's device context (init: InitializeOpenGL)
extern HGLRC hRC;            // the GL rendering context (init: InitializeOpenGL)

extern int iFrameLimit;             // quit after this many frames, 0 for no limit (options)
extern std::string strKeyScript;    // per-frame key script to replay, empty for none (options)
extern std::string strScreenshot;   // file the last frame is saved to, empty for none (options)
extern std::string strOverlayFile;  // file the last overlay lines are written to, empty for none (options)
extern int iFramesDone;             // frames rendered so far (options: FinishFrame)
extern bool bSaveFailed;            // the screenshot or overlay file could not be written (options: SaveLastFrame)
extern bool bNoVsync;               // swap without waiting for the display, for benchmarks (options)

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
HWND CreateMyWindow(const char* title, int width, int height, HINSTANCE instance);
void Init(HWND window);
int MainLoop();
LRESULT CALLBACK WinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void DeInit();
bool bSetupPixelFormat(HDC hdc);
void InitializeOpenGL(int width, int height);
void SizeOpenGLScreen(int width, int height);

// Returns -1 to go on, or the exit code when the options end the run (help, a bad option or script).
int ParseOptions(int argc, char** argv);
void StartScript();
void FinishFrame();
void SaveLastFrame();
