// WGL's glyph lists, from the glyphs glyphs.cpp renders.
#include "platform/imitation.h"
#include "platform/sdl/glyphs.h"

#include <GL/gl.h>

#include <cstring>

// Each list draws its glyph with the bitmap origin on the pen position and then advances the pen; a glyph
// the font lacks, or every glyph when there is no font, gives an empty list.
bool wglUseFontBitmaps(HDC hdc, DWORD first, DWORD count, DWORD listBase) {
  if (!hdc || !selectedFont) return false;
  std::vector<GlyphBitmap> glyphs;
  const bool rendered = RenderGlyphBitmaps(selectedFont->face.c_str(), selectedFont->bold, selectedFont->emPixels,
                                           static_cast<int>(first), static_cast<int>(count), &glyphs);
  if (!rendered) glyphs.assign(count, GlyphBitmap{});
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (DWORD i = 0; i < count; ++i) {
    GlyphBitmap& g = glyphs[i];
    // glBitmap takes its rows bottom to top.
    std::vector<uint8_t> flipped(g.bits.size());
    for (int r = 0; r < g.rows; ++r)
      std::memcpy(&flipped[static_cast<size_t>(r) * g.pitch], &g.bits[static_cast<size_t>(g.rows - 1 - r) * g.pitch],
                  g.pitch);
    // A null bitmap in a list is lost whole by Mesa 22 (GL_OUT_OF_MEMORY), its advance too: an inkless glyph
    // gets one byte to point at.
    static const GLubyte inkless = 0;
    glNewList(listBase + i, GL_COMPILE);
    glBitmap(g.width, g.rows, static_cast<GLfloat>(-g.left), static_cast<GLfloat>(g.rows - g.top),
             static_cast<GLfloat>(g.advance), 0.0f, flipped.empty() ? &inkless : flipped.data());
    glEndList();
  }
  return rendered;
}
