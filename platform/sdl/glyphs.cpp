// Glyph bitmaps from the face fontconfig chooses, rendered by FreeType in one bit a pixel.
#include "platform/sdl/glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>

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

bool RenderGlyphBitmaps(const char* face, bool bold, int emPixels, int first, int count,
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

