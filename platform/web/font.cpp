// WGL's glyph lists from the glyphs rendered at build time (platform/web/atlas).
#include "platform/imitation.h"

#include <GL/gl.h>

#include "font_atlas.h"

// Each list draws its glyph with the bitmap origin on the pen position and then advances the pen; a code the
// atlas lacks gives an empty list. Only the face, weight and em height the atlas was rendered for have glyphs;
// any other font has none, as a face missing from the system.
bool wglUseFontBitmaps(HDC hdc, DWORD first, DWORD count, DWORD listBase) {
  if (!hdc || !selectedFont) return false;
  const bool built =
      selectedFont->face == AtlasFace && selectedFont->bold == AtlasBold && selectedFont->emPixels == AtlasEm;
  for (DWORD i = 0; i < count; ++i) {
    glNewList(listBase + i, GL_COMPILE);
    const DWORD code = first + i;
    const DWORD glyph = code - AtlasFirst;  // wraps below the first code
    if (built && glyph < static_cast<DWORD>(AtlasCount)) {
      const AtlasGlyph& g = atlasGlyphs[glyph];
      glBitmap(g.width, g.rows, static_cast<GLfloat>(-g.left), static_cast<GLfloat>(g.rows - g.top),
               static_cast<GLfloat>(g.advance), 0.0f, g.width ? &atlasBits[g.offset] : nullptr);
    }
    glEndList();
  }
  return built;
}
