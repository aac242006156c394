// The window as the page's canvas, its events from the document's keys and focus, and its WebGL 2 context;
// each buffer swap hands the thread back to the browser until the next frame is due.
#include "platform/platform.h"
#include "platform/imitation.h"
#include "platform/web/web.h"

#include <emscripten.h>
#include <emscripten/html5.h>


struct PlatformWindow {
  WNDPROC proc;
};

int keys[256];

static PlatformWindow theWindow;
static bool windowOpen;
static bool closeSent;
static bool pixelFormatSet;
static EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
static int swapInterval = 1;
static int framesShown;
// While a message box is up its dialog has the keys, as a Win32 message box's own loop does.
static bool modalDialog;

// The keys the program reads: the page must not scroll, or open its help, on them.
static bool ProgramKey(WPARAM vk) {
  return (vk >= VK_LEFT && vk <= VK_DOWN) || (vk >= VK_F1 && vk <= VK_F3) || vk == 'W' || vk == 'S' ||
         vk == VK_ESCAPE;
}

// Where the focus is in a field that takes typing or in a dialog, the keys do there what they always do.
EM_JS(bool, KeysForFocused, (), {
  var focused = document.activeElement;
  if (!focused || !focused.closest) return false;
  if (focused.closest('dialog, textarea, select, [contenteditable]')) return true;
  var pressed = /^(button|submit|reset|checkbox|radio|file|image|range|color)$/;
  return focused.tagName == 'INPUT' && !pressed.test(focused.type);
});

// A message box takes the keyboard from the window while it is up, as on the desktop: the keys held when it
// opened are released, since their key-ups go to the dialog.
void ModalDialog(bool up) {
  modalDialog = up;
  if (windowOpen) QueueEvent(up ? WM_KILLFOCUS : WM_SETFOCUS, 0, 0);
}

// The browser's keyCode is the Windows virtual-key code: letters and digits by the layout's character, the
// other keys by their place.
static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
  const WPARAM vk = e->keyCode & 0xFF;
  if (modalDialog || vk == 0 || e->keyCode > 0xFF) return EM_FALSE;
  QueueEvent(type == EMSCRIPTEN_EVENT_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0);
  // With Ctrl, Alt or the system key held the browser's own shortcut (Ctrl+S, Alt+Left) still works.
  return ProgramKey(vk) && !e->ctrlKey && !e->altKey && !e->metaKey && !KeysForFocused();
}

// The page losing the focus (another tab, window or application) releases every key, as on the desktop.
static EM_BOOL OnFocus(int type, const EmscriptenFocusEvent*, void*) {
  QueueEvent(type == EMSCRIPTEN_EVENT_BLUR ? WM_KILLFOCUS : WM_SETFOCUS, 0, 0);
  return EM_FALSE;
}

static void Listen(bool on) {
  const char* document = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
  const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(document, nullptr, EM_TRUE, on ? OnKey : nullptr);
  emscripten_set_keyup_callback(document, nullptr, EM_TRUE, on ? OnKey : nullptr);
  // Not captured: captured, focus moving between the page's own controls (buttons, links) would arrive too.
  emscripten_set_blur_callback(window, nullptr, EM_FALSE, on ? OnFocus : nullptr);
  emscripten_set_focus_callback(window, nullptr, EM_FALSE, on ? OnFocus : nullptr);
}

// The page's canvas (Module.canvas) under a name the html5 calls know it by; false where the page gave none.
EM_JS(bool, NameCanvas, (int width, int height), {
  if (!Module.canvas) return false;
  Module.canvas.width = width;
  Module.canvas.height = height;
  specialHTMLTargets["!canvas"] = Module.canvas;
  return true;
});

EM_JS(bool, StopAsked, (), { return !!Module.glideStop; });

// Hands the thread to the browser: until the next display refresh, or, where the swap interval is 0, until the
// GPU has drawn the frame before this one (one frame queued behind the one being drawn, so that frames do not
// pile up in its queue and stall a later frame's GL calls for seconds). Records the frame count and, where the
// page asked for them by handing over an array, how long this frame held the thread; after the first frame is
// shown the page hears of it.
EM_ASYNC_JS(void, YieldToBrowser, (int frames, bool fast), {
  if (Array.isArray(Module.glideFrameMs)) Module.glideFrameMs.push(performance.now() - Module.glideResumed);
  Module.glideFrames = frames;
  if (fast) {
    var channel = Module.glideChannel = Module.glideChannel || new MessageChannel();
    var sync = Module.glideFence;
    Module.glideFence = GLctx && !GLctx.isContextLost() ? GLctx.fenceSync(GLctx.SYNC_GPU_COMMANDS_COMPLETE, 0) : null;
    if (Module.glideFence) GLctx.flush();
    await new Promise((resolve) => { channel.port1.onmessage = resolve; channel.port2.postMessage(0); });
    while (sync && !GLctx.isContextLost() && GLctx.getSyncParameter(sync, GLctx.SYNC_STATUS) != GLctx.SIGNALED)
      await new Promise((resolve) => setTimeout(resolve, 0));
    if (sync) GLctx.deleteSync(sync);
  } else {
    await new Promise(requestAnimationFrame);
  }
  if (frames == 1 && Module.onFirstFrame) Module.onFirstFrame();
  Module.glideResumed = performance.now();
});

// The flight is over: the page's keys are its own again.
bool UnregisterClass(const char* className, HINSTANCE) {
  if (!ForgetClass(className)) return false;
  if (windowOpen) Listen(false);
  windowOpen = false;
  return true;
}

// The canvas has no frame: its size is the client area's.
bool AdjustWindowRect(RECT* rect, uint32_t, bool) { return rect != nullptr; }

HWND CreateWindowEx(uint32_t, const char* className, const char*, uint32_t, int, int, int width, int height, HWND,
                    void*, HINSTANCE, void*) {
  const WNDPROC proc = RegisteredProc(className);
  if (!proc || windowOpen) return nullptr;
  if (!NameCanvas(width, height)) return nullptr;
  theWindow.proc = proc;
  QueueWindow(&theWindow, theWindow.proc);
  windowOpen = true;
  Listen(true);
  return &theWindow;
}

// Like Win32, showing the window sends it its size at once, before the caller goes on.
bool ShowWindow(HWND hwnd, int) {
  RECT client;
  if (!GetClientRect(hwnd, &client)) return false;
  theWindow.proc(hwnd, WM_SIZE, SIZE_RESTORED, (client.right & 0xFFFF) | ((client.bottom & 0xFFFF) << 16));
  return true;
}

bool UpdateWindow(HWND hwnd) {
  if (hwnd != &theWindow || !windowOpen) return false;
  theWindow.proc(hwnd, WM_PAINT, 0, 0);
  return true;
}

// Keys come from the whole document, so the window has them whenever the page has the focus.
HWND SetFocus(HWND hwnd) { return hwnd == &theWindow && windowOpen ? hwnd : nullptr; }

HWND GetFocus() { return windowOpen ? &theWindow : nullptr; }

bool GetClientRect(HWND hwnd, RECT* rect) {
  if (hwnd != &theWindow || !windowOpen || !rect) return false;
  int width = 0, height = 0;
  emscripten_get_canvas_element_size("!canvas", &width, &height);
  *rect = RECT{0, 0, width, height};
  return true;
}

// The page asking the flight to stop (Module.glideStop) is a close request, as closing the window is on the
// desktop; it is heard once the posted messages and the page's events are drained.
bool PeekMessage(MSG* msg, HWND, UINT, UINT, UINT remove) {
  if (!MessageWaiting() && windowOpen && !closeSent && StopAsked()) {
    closeSent = true;
    QueueEvent(WM_CLOSE, 0, 0);
  }
  return TakeMessage(msg, remove);
}

HDC wglGetCurrentDC() { return context ? &theWindow : nullptr; }

HDC GetDC(HWND hwnd) { return hwnd == &theWindow && windowOpen ? hwnd : nullptr; }

int ReleaseDC(HWND hwnd, HDC hdc) { return hwnd == hdc && hdc == &theWindow ? 1 : 0; }

bool SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* pfd) {
  if (hdc != &theWindow || format != 1 || !pfd || pixelFormatSet) return false;
  pixelFormatSet = true;
  return true;
}

// Opaque and not antialiased, as the desktop window's pixel format; the buffer need not outlive the frame,
// as the program reads its pixels back before the swap.
HGLRC wglCreateContext(HDC hdc) {
  if (hdc != &theWindow || !windowOpen || !pixelFormatSet) return nullptr;
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_TRUE;
  attributes.stencil = EM_FALSE;
  attributes.antialias = EM_FALSE;
  attributes.preserveDrawingBuffer = EM_FALSE;
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  context = emscripten_webgl_create_context("!canvas", &attributes);
  return context > 0 ? reinterpret_cast<HGLRC>(context) : nullptr;
}

// A context is known to the program by the html5 calls' handle for it.
static EMSCRIPTEN_WEBGL_CONTEXT_HANDLE Handle(HGLRC rc) { return reinterpret_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(rc); }

bool wglMakeCurrent(HDC hdc, HGLRC rc) {
  if (!hdc || !rc) return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS;
  return hdc == &theWindow && emscripten_webgl_make_context_current(Handle(rc)) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool wglDeleteContext(HGLRC rc) {
  if (!rc) return false;
  emscripten_webgl_destroy_context(Handle(rc));
  if (Handle(rc) == context) context = 0;
  return true;
}

// The browser shows what was drawn once it has the thread back.
bool SwapBuffers(HDC hdc) {
  if (hdc != &theWindow || !windowOpen) return false;
  YieldToBrowser(++framesShown, swapInterval == 0);
  return true;
}

// Display refreshes only: there is no adaptive sync to ask for.
bool wglSwapIntervalEXT(int interval) {
  if (interval < 0) return false;
  swapInterval = interval;
  return true;
}
