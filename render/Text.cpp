// The bitmap font built from a system font into display lists, formatted printing with it, and the overlay.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "platform/platform.h"
#include "render/render.h"

unsigned int base;

// Each list draws its glyph with the bitmap origin on the pen position and then advances the pen.
void BuildFont() {
  base = glGenLists(96);
  std::vector<GlyphBitmap> glyphs;
  if (!RenderGlyphBitmaps("Courier New", true, 16, 32, 96, &glyphs)) glyphs.assign(96, GlyphBitmap{});
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 96; ++i) {
    GlyphBitmap& g = glyphs[i];
    // glBitmap takes its rows bottom to top.
    std::vector<uint8_t> flipped(g.bits.size());
    for (int r = 0; r < g.rows; ++r)
      std::memcpy(&flipped[static_cast<size_t>(r) * g.pitch], &g.bits[static_cast<size_t>(g.rows - 1 - r) * g.pitch],
                  g.pitch);
    glNewList(base + i, GL_COMPILE);
    glBitmap(g.width, g.rows, static_cast<GLfloat>(-g.left), static_cast<GLfloat>(g.rows - g.top),
             static_cast<GLfloat>(g.advance), 0.0f, flipped.empty() ? nullptr : flipped.data());
    glEndList();
  }
  if (LogLevel > 0) WriteLog("Text   BuildFont(GLvoid)  base", static_cast<float>(base));
}

void PrintText(const char* format, ...) {
  if (format == nullptr) return;
  char text[256];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  glPushAttrib(GL_LIST_BIT);
  glListBase(base - 32u);
  glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
  glPopAttrib();
}
