// The system's modal message box.
#include "platform/platform.h"

int SystemMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return MessageBoxA(owner, text, caption, type);
}
