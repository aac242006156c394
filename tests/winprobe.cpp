// Finds the demo's window from another Windows process and reports on it or asks it to close:
//   winprobe size    prints the class, the title and the client size of the window
//   winprobe close   sends the close command of the window menu, as the close box does
//   winprobe error   prints the text of the message box titled "Error"
#include <windows.h>

#include <cstdio>
#include <cstring>

static HWND WaitForWindow(const char* className, const char* title) {
  for (int i = 0; i < 600; ++i) {
    if (HWND window = FindWindowA(className, title)) return window;
    Sleep(50);
  }
  return nullptr;
}

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "size";
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
