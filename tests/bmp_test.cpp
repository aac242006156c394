// The BMP decoder on small files written here: every accepted form, exact messages, hostile input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/image.h"
#include "platform/platform.h"
#include "tests/support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes* b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Bmp {
  bool fileHeader = true;
  uint32_t headerSize = 40;
  int32_t width = 1, height = 1;
  uint32_t bits = 24, compression = 0, colorsUsed = 0;
  Bytes table{};   // colour entries as stored
  Bytes extra{};   // bytes between the header and the table (bit-field masks)
  Bytes pixels{};  // the pixel array as stored
  Bytes Build() const {
    Bytes info;
    const int side = headerSize == 12 ? 2 : 4;  // the short header has 16-bit sizes and nothing after the depth
    Put(&info, headerSize, 4);
    Put(&info, width, side);
    Put(&info, height, side);
    Put(&info, 1, 2);
    Put(&info, bits, 2);
    if (headerSize != 12) {
      for (uint32_t v : {compression, 0u, 0u, 0u, colorsUsed, 0u}) Put(&info, v, 4);
      info.resize(headerSize, 0);
    }
    info.insert(info.end(), extra.begin(), extra.end());
    info.insert(info.end(), table.begin(), table.end());
    Bytes out;
    if (fileHeader) {
      out = {'B', 'M'};
      for (size_t v : {14 + info.size() + pixels.size(), size_t{0}, 14 + info.size()}) Put(&out, static_cast<uint32_t>(v), 4);
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

// Decodes the bytes and returns the image, with every message shown during the call.
struct Decoded {
  RGBImage* image;
  std::string messages;
  Bytes Data() const { return image ? Bytes(image->data, image->data + 3 * image->width * image->height) : Bytes{}; }
};

Decoded Decode(const Bytes& file) {
  bBatchMode = 1;
  testing::internal::CaptureStderr();
  RGBImage* image = DecodeDIBImage(file.data(), file.size());
  return Decoded{image, testing::internal::GetCapturedStderr()};
}

Bytes Grey(int n) {  // n table entries B, G, R, 0 with every channel = index * 10
  Bytes t;
  for (int i = 0; i < n; ++i) t.insert(t.end(), {uint8_t(i * 10), uint8_t(i * 10), uint8_t(i * 10), 0});
  return t;
}

Bytes Greys(std::initializer_list<uint8_t> levels) {  // each level as a red, green, blue pixel
  Bytes out;
  for (uint8_t v : levels) out.insert(out.end(), {v, v, v});
  return out;
}

}  // namespace

TEST(BmpDecode, RowPadsAreDroppedForWidthsOneToFourAndWrittenBack) {
  for (int width = 1; width <= 4; ++width) {
    Bmp b{.width = width, .height = 2};
    const int stride = (width * 3 + 3) & ~3;
    for (int row = 0; row < 2; ++row)
      for (int i = 0; i < stride; ++i) b.pixels.push_back(i < width * 3 ? uint8_t(row * 100 + i) : 0xEE);
    const Bytes data = Decode(b.Build()).Data();
    ASSERT_EQ(data.size(), size_t(6 * width));
    for (int row = 0; row < 2; ++row)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c)
          EXPECT_EQ(data[row * width * 3 + x * 3 + c], uint8_t(row * 100 + x * 3 + (2 - c)));
    const RGBImage decoded{width, 2, const_cast<uint8_t*>(data.data())};
    const Bytes written = EncodeDIBImage(&decoded);
    EXPECT_EQ(written.size(), size_t(54 + 2 * stride));
    EXPECT_EQ(Decode(written).Data(), data);
  }
}

TEST(BmpDecode, EveryAcceptedFormComesOutRedGreenBlueBottomRowFirst) {
  const Bytes mask565 = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  const uint16_t p0 = 0x8000 | (31 << 10) | (16 << 5) | 1, p1 = (1 << 10), p565 = (31 << 11) | (32 << 5);
  Bytes full = Grey(256);
  full[255 * 4] = 1;  // blue of entry 255
  const Bytes lit = {0x40, 0x80, 0xFF}, dark = {0, 0, 0};
  Bytes oneBit;
  for (int on : {1, 0, 1, 1, 0, 0, 0, 0, 0, 1}) oneBit.insert(oneBit.end(), (on ? lit : dark).begin(), (on ? lit : dark).end());
  const struct {
    const char* what;
    Bmp bmp;
    Bytes want;
  } cases[] = {
      {"24 bits", {.width = 2, .height = 2, .pixels = {0x10, 0x20, 0x30, 1, 2, 3, 0, 0, 7, 8, 9, 4, 5, 6, 0, 0}},
       {0x30, 0x20, 0x10, 3, 2, 1, 9, 8, 7, 6, 5, 4}},
      {"top-down rows", {.width = 1, .height = -2, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}}, {6, 5, 4, 3, 2, 1}},
      {"17 colours used, no file header: pixels at 108",
       {.fileHeader = false, .width = 3, .bits = 8, .colorsUsed = 17, .table = Grey(17), .pixels = {16, 1, 0, 0}},
       Greys({160, 10, 0})},
      {"8 bits, no colours used: a full table", {.fileHeader = false, .bits = 8, .table = full, .pixels = {255, 0, 0, 0}},
       {uint8_t(2550 % 256), uint8_t(2550 % 256), 1}},
      {"short header, 1 bit, 3-byte entries",
       {.fileHeader = false, .headerSize = 12, .width = 10, .bits = 1, .table = {0, 0, 0, 0xFF, 0x80, 0x40},
        .pixels = {0b10110000, 0b01000000, 0, 0}},
       oneBit},
      {"1 bit, 65535 wide", {.headerSize = 12, .width = 65535, .bits = 1, .table = {0, 0, 0, 0, 0, 0},
                             .pixels = Bytes((65535 + 31) / 32 * 4, 0)}, Bytes(3 * 65535, 0)},
      {"4 bits", {.width = 3, .bits = 4, .table = Grey(16), .pixels = {0x2F, 0x50, 0, 0}}, Greys({20, 150, 50})},
      {"16 bits 5-5-5, top bit ignored, widened by rounding q * 255 / 31",
       {.width = 2, .bits = 16, .pixels = {uint8_t(p0), uint8_t(p0 >> 8), uint8_t(p1), uint8_t(p1 >> 8)}},
       {255, 132, 8, 8, 0, 0}},
      {"32 bits", {.width = 2, .bits = 32, .pixels = {1, 2, 3, 99, 4, 5, 6, 99}}, {3, 2, 1, 6, 5, 4}},
      {"16-bit masks 5-6-5", {.bits = 16, .compression = 3, .extra = mask565, .pixels = {uint8_t(p565), uint8_t(p565 >> 8), 0, 0}},
       {255, 130, 0}},
      {"masks without a file header: the pixels follow them",
       {.fileHeader = false, .bits = 16, .compression = 3, .extra = mask565, .pixels = {uint8_t(p565), uint8_t(p565 >> 8), 0, 0}},
       {255, 130, 0}},
      {"32-bit masks", {.bits = 32, .compression = 3, .extra = {0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF}, .pixels = {0, 10, 20, 30}},
       {10, 20, 30}},
      // A run of three 7s; absolute 1 2 9 padded to a word; end of line; delta right 2, up 1; a run past the
      // row's end is clipped; end of bitmap; never read.
      {"run-length 8", {.width = 6, .height = 3, .bits = 8, .compression = 1, .table = Grey(256),
                        .pixels = {3, 7, 0, 3, 1, 2, 9, 0, 0, 0, 0, 2, 2, 1, 9, 5, 0, 1, 4, 4}},
       Greys({70, 70, 70, 10, 20, 90, 0, 0, 0, 0, 0, 0, 0, 0, 50, 50, 50, 50})},
      {"run-length 4: 1 2 1 then absolute 3 4 5 in two bytes, word aligned",
       {.width = 8, .bits = 4, .compression = 2, .table = Grey(16), .pixels = {3, 0x12, 0, 3, 0x34, 0x50, 0, 1}},
       Greys({10, 20, 10, 30, 40, 50, 0, 0})},
      {"an index beyond a two-entry table gives black",
       {.bits = 8, .colorsUsed = 2, .table = {1, 2, 3, 0, 4, 5, 6, 0}, .pixels = {200, 0, 0, 0}}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(c.bmp.Build());
    EXPECT_EQ(d.Data(), c.want) << c.what;
    EXPECT_EQ(d.messages, "") << c.what;
  }
}

TEST(BmpDecode, ExactMessagesForRejectedFiles) {
  const std::string bad = "Error: Image file conversion error.\n";
  const struct {
    Bmp bmp;
    std::string message;
  } cases[] = {
      {{.headerSize = 108}, "Error: Unknown DIB file format.\n"},
      {{.bits = 7}, bad},
      {{.bits = 8, .compression = 2}, bad},  // run-length 4 on an 8-bit file
      {{.width = 0}, bad},
      {{.width = 1 << 20, .height = 1 << 20}, "Error: Out of memory.\n"},
      // a red mask of 0x0000FF0F is not one run of bits
      {{.bits = 32, .compression = 3, .extra = {0x0F, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF}, .pixels = {0, 0, 0, 0}}, bad},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(c.bmp.Build());
    EXPECT_EQ(d.image, nullptr);
    EXPECT_EQ(d.messages, c.message);
  }
  Bytes file = Bmp{}.Build();  // pixel offset past the end of the file
  file[10] = 0xFF;
  EXPECT_EQ(Decode(file).messages, bad);
}

TEST(BmpLoad, MissingEmptyAndLongNamesShowTheOpenFailure) {
  ScratchDir dir;
  bBatchMode = 1;
  WriteFile("empty.bmp", "");
  for (const std::string& name : {std::string("nothere.bmp"), std::string("empty.bmp"), std::string(400, 'n')}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadDIBImage(name.c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Failed to open DIB file " + name.substr(0, 229) + ".\n\n");
  }
}

TEST(BmpHostile, EveryTruncationFailsCleanlyWithOneMessage) {
  const Bmp files[] = {
      {.width = 5, .height = 3, .bits = 8, .table = Grey(256), .pixels = Bytes(24, 200)},
      {.width = 3, .height = 3, .pixels = Bytes(36, 1)},
      // a long run, a huge delta, a short absolute run
      {.width = 4, .height = 4, .bits = 8, .compression = 1, .colorsUsed = 16, .table = Grey(16),
       .pixels = {200, 9, 0, 2, 255, 255, 0, 5, 1, 2, 3, 4, 250, 0, 0}},
      {.headerSize = 12, .width = 7, .bits = 4, .table = Bytes(48, 3), .pixels = {0xFF, 0xFF, 0xFF, 0xFF}}};
  for (const Bmp& b : files) {
    const Bytes full = b.Build();
    for (size_t n = 0; n <= full.size(); ++n) {
      const Decoded d = Decode(Bytes(full.begin(), full.begin() + n));
      if (d.image) {
        EXPECT_EQ(d.messages, "");
        EXPECT_EQ(d.Data().size(), size_t(3 * d.image->width * d.image->height));
      } else {
        EXPECT_EQ(std::count(d.messages.begin(), d.messages.end(), '\n'), 1) << n << ": " << d.messages;
      }
    }
  }
}
