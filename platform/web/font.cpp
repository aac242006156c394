// GDI's fonts and WGL's glyph lists from the glyphs rendered at build time (platform/web/atlas).
#include "platform/platform.h"

#include <GL/gl.h>

#include <cstring>

#include "font_atlas.h"

struct PlatformFont {
  bool built;  // the font the atlas holds
};

static HFONT selectedFont;

// Only the face, weight and em height the atlas was rendered for have glyphs; any other font has none, as a
// face missing from the system.
HFONT CreateFont(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                 const char* face) {
  if (!face || height == 0) return nullptr;
  const int em = height < 0 ? -height : height;
  return new PlatformFont{std::strcmp(face, AtlasFace) == 0 && (weight >= FW_BOLD) == AtlasBold && em == AtlasEm};
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  if (!hdc) return nullptr;
  HFONT previous = selectedFont;
  selectedFont = static_cast<HFONT>(object);
  return previous;
}

// Each list draws its glyph with the bitmap origin on the pen position and then advances the pen; a code the
// atlas lacks gives an empty list.
bool wglUseFontBitmaps(HDC hdc, DWORD first, DWORD count, DWORD listBase) {
  if (!hdc || !selectedFont) return false;
  for (DWORD i = 0; i < count; ++i) {
    glNewList(listBase + i, GL_COMPILE);
    const DWORD code = first + i;
    const DWORD glyph = code - AtlasFirst;  // wraps below the first code
    if (selectedFont->built && glyph < static_cast<DWORD>(AtlasCount)) {
      const AtlasGlyph& g = atlasGlyphs[glyph];
      glBitmap(g.width, g.rows, static_cast<GLfloat>(-g.left), static_cast<GLfloat>(g.rows - g.top),
               static_cast<GLfloat>(g.advance), 0.0f, g.width ? &atlasBits[g.offset] : nullptr);
    }
    glEndList();
  }
  return selectedFont->built;
}
