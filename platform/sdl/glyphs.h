// A font's glyphs in one bit a pixel, as fontconfig chooses the face and FreeType renders it; the Linux
// overlay's font, and the source of the web build's glyph atlas.
#pragma once

#include <cstdint>
#include <vector>

// One glyph as a 1-bit bitmap: rows top to bottom, most significant bit leftmost, `pitch` bytes a row.
struct GlyphBitmap {
  int width, rows, pitch;
  int left, top;  // pen origin to the bitmap's left column and top row, in pixels (top is up)
  int advance;
  std::vector<uint8_t> bits;
};

// The glyphs of codes first..first+count-1 of the best installed match for the face at emPixels; false when
// no face can be found or opened. A glyph the face lacks is left empty.
bool RenderGlyphBitmaps(const char* face, bool bold, int emPixels, int first, int count,
                        std::vector<GlyphBitmap>* glyphs);
