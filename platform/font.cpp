// GDI's fonts for the backends that imitate Win32: a font is what was asked for, until its glyphs are wanted.
#include "platform/imitation.h"

HFONT selectedFont;

// A negative height is the em height, as in GDI; a positive one (a cell height) is taken as the em all the same.
HFONT CreateFont(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                 const char* face) {
  if (!face || height == 0) return nullptr;
  return new PlatformFont{face, weight >= FW_BOLD, height < 0 ? -height : height};
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  if (!hdc) return nullptr;
  HFONT previous = selectedFont;
  selectedFont = static_cast<HFONT>(object);
  return previous;
}
