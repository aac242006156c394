// The program's message box: the system's, or a line on stderr in batch mode or where the system shows none.
#include "platform/platform.h"

#include <cstdio>

int bBatchMode;
void (*MessageSink)(const char* caption, const char* text);

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  if (!text) text = "";
  if (!caption) caption = "";
  if (MessageSink) {
    MessageSink(caption, text);
    return 1;
  }
  if (!bBatchMode) {
    const int answer = SystemMessageBox(owner, text, caption, type);
    if (answer != 0) return answer;
  }
  if (bBatchMode == 2) return 1;
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  return 1;
}
