// GDI's fonts and WGL's glyph lists: fontconfig finds the face, FreeType renders it in one bit a pixel.
#include "platform/platform.h"

#include <GL/gl.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>
#include <vector>

struct PlatformFont {
  std::string face;
  bool bold;
  int emPixels;
};

// The font selected into the one device context.
static HFONT selectedFont;

// One glyph as a 1-bit bitmap: rows top to bottom, most significant bit leftmost, `pitch` bytes a row.
struct GlyphBitmap {
  int width, rows, pitch;
  int left, top;  // pen origin to the bitmap's left column and top row, in pixels (top is up)
  int advance;
  std::vector<uint8_t> bits;
};

// Best installed match for the face; fontconfig's aliases send "Courier New" to Liberation Mono.
static std::string FindFontFile(const char* face, bool bold, int* index) {
  std::string path;
  if (!FcInit()) return path;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return path;
}

static bool RenderGlyphBitmaps(const char* face, bool bold, int emPixels, int first, int count,
                        std::vector<GlyphBitmap>* glyphs) {
  if (!face || !glyphs || count < 0 || emPixels <= 0) return false;
  int index = 0;
  std::string path = FindFontFile(face, bold, &index);
  if (path.empty()) return false;
  FT_Library library;
  if (FT_Init_FreeType(&library)) return false;
  FT_Face ftFace;
  if (FT_New_Face(library, path.c_str(), index, &ftFace) || FT_Set_Pixel_Sizes(ftFace, 0, emPixels)) {
    FT_Done_FreeType(library);
    return false;
  }
  glyphs->assign(count, GlyphBitmap{});
  for (int i = 0; i < count; ++i) {
    GlyphBitmap& g = (*glyphs)[i];
    if (FT_Load_Char(ftFace, first + i, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) continue;
    const FT_GlyphSlot slot = ftFace->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.width = bm.width;
    g.rows = bm.rows;
    g.pitch = (g.width + 7) / 8;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int>(slot->advance.x >> 6);
    g.bits.assign(static_cast<size_t>(g.pitch) * g.rows, 0);
    for (int r = 0; r < g.rows; ++r) {
      const int srcPitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        std::memcpy(&g.bits[static_cast<size_t>(r) * g.pitch], bm.buffer + static_cast<size_t>(r) * srcPitch, g.pitch);
      } else {
        for (int c = 0; c < g.width; ++c)
          if (bm.buffer[static_cast<size_t>(r) * srcPitch + c] >= 128) g.bits[r * g.pitch + c / 8] |= 0x80 >> (c % 8);
      }
    }
  }
  FT_Done_Face(ftFace);
  FT_Done_FreeType(library);
  return true;
}

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
    glNewList(listBase + i, GL_COMPILE);
    glBitmap(g.width, g.rows, static_cast<GLfloat>(-g.left), static_cast<GLfloat>(g.rows - g.top),
             static_cast<GLfloat>(g.advance), 0.0f, flipped.empty() ? nullptr : flipped.data());
    glEndList();
  }
  return rendered;
}
