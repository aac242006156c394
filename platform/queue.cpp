// The message queue of the backends that imitate Win32: posted messages, the system's events and the quit message.
#include "platform/imitation.h"

#include <deque>

static HWND queueWindow;
static WNDPROC queueProc;
static std::deque<MSG> posted, events;
static bool quitPosted;
static int quitCode;

void QueueWindow(HWND window, WNDPROC proc) {
  queueWindow = window;
  queueProc = proc;
}

void QueueEvent(UINT message, WPARAM wParam, LPARAM lParam) {
  events.push_back(MSG{queueWindow, message, wParam, lParam});
}

bool MessageWaiting() { return !posted.empty() || !events.empty(); }

bool TakeMessage(MSG* msg, UINT remove) {
  std::deque<MSG>& queue = posted.empty() ? events : posted;
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
  if (!msg || !queueProc || msg->hwnd != queueWindow) return 0;
  return queueProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd || hwnd != queueWindow) return false;
  posted.push_back(MSG{hwnd, message, wParam, lParam});
  return true;
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}
