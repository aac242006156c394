// The BMP decoder: both classic header forms, with or without the file header, into packed RGB rows.
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/image.h"
#include "platform/platform.h"

namespace {

struct DibHeader {
  int32_t width, height;
  uint32_t bitCount, compression;
  uint32_t colorCount;
  const uint8_t* table;  // colour entries in the file
  uint32_t entrySize;    // 4 for the long form, 3 for the short form
  uint32_t masks[3];     // red, green, blue channel masks of bit-field files
};

uint32_t Get16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

void ShowError(const char* text) { MessageBox(GetFocus(), text, "Error", MB_OK); }

// Colour table as R, G, B, pad; indices beyond the table give black.
void BuildPalette(const DibHeader& h, uint8_t palette[256][4]) {
  std::memset(palette, 0, 256 * 4);
  const uint32_t n = h.colorCount < 256 ? h.colorCount : 256;
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* e = h.table + i * h.entrySize;
    palette[i][0] = e[2];
    palette[i][1] = e[1];
    palette[i][2] = e[0];
  }
}

void PutIndexed(uint8_t* dst, const uint8_t palette[256][4], uint32_t index) {
  std::memcpy(dst, palette[index], 3);
}

// A channel mask split into its shift and its widening table to 8 bits (rounded q * 255 / max).
struct Channel {
  uint32_t mask, shift, max;
};

bool MakeChannel(uint32_t mask, Channel* c) {
  if (mask == 0) return false;
  c->shift = static_cast<uint32_t>(std::countr_zero(mask));
  const uint32_t bits = mask >> c->shift;
  if (bits & (bits + 1)) return false;  // not one contiguous run
  c->mask = mask;
  c->max = bits;
  return true;
}

uint8_t Widen(uint32_t value, const Channel& c) {
  const uint64_t q = (value & c.mask) >> c.shift;
  return static_cast<uint8_t>((q * 255 + c.max / 2) / c.max);
}

void DecodeRowBgr24(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t width) {
  const size_t n = static_cast<size_t>(width) * 3;
  for (size_t i = 0; i < n; i += 3) {
    dst[i] = src[i + 2];
    dst[i + 1] = src[i + 1];
    dst[i + 2] = src[i];
  }
}

void DecodeRowBgr32(const uint8_t* src, uint8_t* dst, int32_t width) {
  for (int32_t x = 0; x < width; ++x, src += 4, dst += 3) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
  }
}

void DecodeRowIndexed(const uint8_t* src, uint8_t* dst, int32_t width, uint32_t bits, const uint8_t palette[256][4]) {
  if (bits == 8) {
    for (int32_t x = 0; x < width; ++x, dst += 3) PutIndexed(dst, palette, src[x]);
    return;
  }
  const uint32_t perByte = 8 / bits, mask = (1u << bits) - 1;
  for (int32_t x = 0; x < width; ++x, dst += 3) {
    const uint32_t shift = 8 - bits * (1 + static_cast<uint32_t>(x) % perByte);
    PutIndexed(dst, palette, (src[static_cast<uint32_t>(x) / perByte] >> shift) & mask);
  }
}

void DecodeRowMasked(const uint8_t* src, uint8_t* dst, int32_t width, uint32_t bytes, const Channel ch[3],
                     const uint8_t* widen16) {
  for (int32_t x = 0; x < width; ++x, src += bytes, dst += 3) {
    const uint32_t v = bytes == 2 ? Get16(src) : Get32(src);
    if (widen16) {
      dst[0] = widen16[(v >> 10) & 31];
      dst[1] = widen16[(v >> 5) & 31];
      dst[2] = widen16[v & 31];
    } else {
      dst[0] = Widen(v, ch[0]);
      dst[1] = Widen(v, ch[1]);
      dst[2] = Widen(v, ch[2]);
    }
  }
}

// Uncompressed rows; false when the file does not hold them all.
bool DecodeRows(const DibHeader& h, const uint8_t* pixels, size_t available, uint8_t* out, bool topDown) {
  const uint64_t stride = ((static_cast<uint64_t>(h.bitCount) * static_cast<uint32_t>(h.width) + 31) / 32) * 4;
  const uint32_t rows = static_cast<uint32_t>(topDown ? -static_cast<int64_t>(h.height) : h.height);
  if (stride * rows > available) return false;
  uint8_t palette[256][4];
  if (h.bitCount <= 8) BuildPalette(h, palette);
  Channel ch[3] = {{0x7C00, 10, 31}, {0x03E0, 5, 31}, {0x001F, 0, 31}};
  uint8_t widen16[32];
  for (uint32_t q = 0; q < 32; ++q) widen16[q] = static_cast<uint8_t>((q * 255 + 15) / 31);
  const bool bitFields = h.compression == 3;
  if (bitFields)
    for (int c = 0; c < 3; ++c)
      if (!MakeChannel(h.masks[c], &ch[c])) return false;
  const size_t outStride = static_cast<size_t>(h.width) * 3;
  for (uint32_t r = 0; r < rows; ++r) {
    const uint8_t* src = pixels + stride * r;
    uint8_t* dst = out + outStride * (topDown ? rows - 1 - r : r);
    switch (h.bitCount) {
      case 1: case 4: case 8: DecodeRowIndexed(src, dst, h.width, h.bitCount, palette); break;
      case 16: DecodeRowMasked(src, dst, h.width, 2, ch, bitFields ? nullptr : widen16); break;
      case 24: DecodeRowBgr24(src, dst, h.width); break;
      case 32:
        if (bitFields) DecodeRowMasked(src, dst, h.width, 4, ch, nullptr);
        else DecodeRowBgr32(src, dst, h.width);
        break;
      default: return false;
    }
  }
  return true;
}

// Run-length data of 8 or 4 bits a pixel; runs and deltas that leave the picture are clipped at its edge.
void DecodeRle(const DibHeader& h, const uint8_t* p, const uint8_t* end, uint8_t* out) {
  uint8_t palette[256][4];
  BuildPalette(h, palette);
  const bool four = h.compression == 2;
  const uint32_t width = static_cast<uint32_t>(h.width), height = static_cast<uint32_t>(h.height);
  uint32_t x = 0, y = 0;
  auto put = [&](uint32_t index) {
    if (x < width) PutIndexed(out + (static_cast<size_t>(y) * width + x) * 3, palette, index);
    ++x;
  };
  while (y < height && end - p >= 2) {
    const uint32_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {
      for (uint32_t i = 0; i < count && x < width; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      if (end - p < 2) return;
      x += p[0];
      y += p[1];
      p += 2;
    } else {
      const size_t bytes = four ? (value + 1) / 2 : value;
      const size_t padded = (bytes + 1) & ~size_t{1};
      if (static_cast<size_t>(end - p) < bytes) return;
      for (uint32_t i = 0; i < value && x < width; ++i) put(four ? (i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
      p += static_cast<size_t>(end - p) < padded ? bytes : padded;
    }
  }
}

}  // namespace

RGBImage* DecodeDIBImage(const uint8_t* file, size_t size) {
  size_t info = 0;
  uint64_t pixelStart = 0;
  bool startKnown = false;
  if (size >= 2 && file[0] == 0x42 && file[1] == 0x4D) {
    if (size < 18) {
      ShowError("Unknown DIB file format.");
      return nullptr;
    }
    info = 14;
    pixelStart = Get32(file + 10);
    startKnown = true;
  }
  if (size < info + 4) {
    ShowError("Unknown DIB file format.");
    return nullptr;
  }
  const uint32_t headerSize = Get32(file + info);
  DibHeader h{};
  const uint8_t* ih = file + info;
  if (headerSize == 40 && size >= info + 40) {
    h.width = static_cast<int32_t>(Get32(ih + 4));
    h.height = static_cast<int32_t>(Get32(ih + 8));
    h.bitCount = Get16(ih + 14);
    h.compression = Get32(ih + 16);
    const uint32_t used = Get32(ih + 32) & 0xFFFF;
    h.colorCount = used ? used : (h.bitCount == 1 ? 2 : h.bitCount == 4 ? 16 : h.bitCount == 8 ? 256 : 0);
    h.entrySize = 4;
  } else if (headerSize == 12 && size >= info + 12) {
    h.width = static_cast<int32_t>(Get16(ih + 4));
    h.height = static_cast<int32_t>(Get16(ih + 6));
    h.bitCount = Get16(ih + 10);
    h.colorCount = h.bitCount == 1 ? 2 : h.bitCount == 4 ? 16 : h.bitCount == 8 ? 256 : 0;
    h.entrySize = 3;
  } else {
    ShowError("Unknown DIB file format.");
    return nullptr;
  }
  // Bit-field files carry their three channel masks right after the long header.
  const uint64_t maskBytes = h.compression == 3 && headerSize == 40 ? 12 : 0;
  const uint64_t tableStart = info + headerSize + maskBytes;
  const uint64_t tableEnd = tableStart + static_cast<uint64_t>(h.colorCount) * h.entrySize;
  if (!startKnown) pixelStart = tableEnd;

  const bool topDown = h.height < 0;
  const uint64_t rows = topDown ? -static_cast<int64_t>(h.height) : h.height;
  const bool rle = h.compression == 1 || h.compression == 2;
  const bool formatOk =
      (h.compression == 0 && (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                              h.bitCount == 24 || h.bitCount == 32)) ||
      (h.compression == 1 && h.bitCount == 8) || (h.compression == 2 && h.bitCount == 4) ||
      (h.compression == 3 && (h.bitCount == 16 || h.bitCount == 32));
  if (!formatOk || h.width <= 0 || rows == 0 || (rle && topDown)) {
    ShowError("Image file conversion error.");
    return nullptr;
  }
  if (static_cast<uint64_t>(h.width) * rows > MaxImagePixels) {
    ShowError("Out of memory.");
    return nullptr;
  }
  if (tableEnd > size || pixelStart >= size) {
    ShowError("Image file conversion error.");
    return nullptr;
  }
  h.table = file + tableStart;
  for (int c = 0; c < 3 && maskBytes; ++c) h.masks[c] = Get32(file + info + 40 + 4 * c);

  const size_t outSize = static_cast<size_t>(h.width) * rows * 3;
  uint8_t* out = static_cast<uint8_t*>(AllocateBlock(outSize));
  if (!out) {
    ShowError("Out of memory.");
    return nullptr;
  }
  if (rle) {
    std::memset(out, 0, outSize);
    DecodeRle(h, file + pixelStart, file + size, out);
  } else if (!DecodeRows(h, file + pixelStart, size - pixelStart, out, topDown)) {
    std::free(out);
    ShowError("Image file conversion error.");
    return nullptr;
  }
  RGBImage* image = static_cast<RGBImage*>(std::malloc(sizeof(RGBImage)));
  if (!image) {
    std::free(out);
    ShowError("Out of memory.");
    return nullptr;
  }
  *image = RGBImage{h.width, static_cast<int32_t>(rows), out};
  return image;
}

RGBImage* LoadDIBImage(const char* fileName) {
  size_t size = 0;
  const uint8_t* view = fileName ? MapFile(fileName, &size) : nullptr;
  if (!view) {
    // The name is shortened so that the text keeps its closing ".\n" within 256 bytes.
    char text[256];
    std::snprintf(text, sizeof text, "Failed to open DIB file %.*s.\n", 229, fileName ? fileName : "");
    ShowError(text);
    return nullptr;
  }
  RGBImage* image = DecodeDIBImage(view, size);
  UnmapFile(view, size);
  return image;
}
