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

// One option of glide. The parser, the usage text, the manual page and the shell completion are all made from
// these declarations.
struct GlideOption {
  const char* name;
  const char* alias;    // another spelling, or null
  const char* metavar;  // the value's name, or null where the option takes none
  const char* help;     // lines after the first continue under it
  // Takes the value (null where there is none): -1 to go on, or the exit code that ends the run.
  int (*apply)(const char* value);
};
extern const GlideOption GlideOptions[];
extern const int CountGlideOptions;
// The usage line, the table of options and the closing note, as --help prints them.
std::string UsageText();

// Returns -1 to go on, or the exit code when the options end the run (help, a bad option or script).
int ParseOptions(int argc, char** argv);
// An installed glide started without -C where there is no scene flies the user's own copy of the bundled
// scene, made on the first such start: -1 to go on, or the exit code after the "Error" message box.
int EnterUsersScene();
void StartScript();
void FinishFrame();
void SaveLastFrame();
