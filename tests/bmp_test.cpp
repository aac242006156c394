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
  Bytes table;   // colour entries as stored
  Bytes extra;   // bytes between the header and the table (bit-field masks)
  Bytes pixels;  // the pixel array as stored
  Bytes Build() const {
    Bytes info;
    Put(&info, headerSize, 4);
    if (headerSize == 12) {
      Put(&info, width, 2);
      Put(&info, height, 2);
      Put(&info, 1, 2);
      Put(&info, bits, 2);
    } else {
      Put(&info, width, 4);
      Put(&info, height, 4);
      Put(&info, 1, 2);
      Put(&info, bits, 2);
      Put(&info, compression, 4);
      Put(&info, 0, 4);
      Put(&info, 0, 4);
      Put(&info, 0, 4);
      Put(&info, colorsUsed, 4);
      Put(&info, 0, 4);
      info.resize(headerSize, 0);
    }
    info.insert(info.end(), extra.begin(), extra.end());
    info.insert(info.end(), table.begin(), table.end());
    Bytes out;
    if (fileHeader) {
      out = {'B', 'M'};
      Put(&out, static_cast<uint32_t>(14 + info.size() + pixels.size()), 4);
      Put(&out, 0, 4);
      Put(&out, static_cast<uint32_t>(14 + info.size()), 4);
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

}  // namespace

TEST(BmpDecode, RowPadsAreDroppedForWidthsOneToFour) {
  for (int width = 1; width <= 4; ++width) {
    Bmp b;
    b.width = width;
    b.height = 2;
    const int stride = (width * 3 + 3) & ~3;
    EXPECT_EQ(stride, width == 4 ? 12 : width * 3 + (4 - width * 3 % 4));
    for (int row = 0; row < 2; ++row)
      for (int i = 0; i < stride; ++i) b.pixels.push_back(i < width * 3 ? uint8_t(row * 100 + i) : 0xEE);
    const Decoded d = Decode(b.Build());
    ASSERT_NE(d.image, nullptr);
    EXPECT_EQ(d.image->width, width);
    EXPECT_EQ(d.image->height, 2);
    const Bytes data = d.Data();
    ASSERT_EQ(data.size(), size_t(6 * width));
    for (int row = 0; row < 2; ++row)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c)
          EXPECT_EQ(data[row * width * 3 + x * 3 + c], uint8_t(row * 100 + x * 3 + (2 - c)));
  }
}

TEST(BmpDecode, BlueGreenRedBecomesRedGreenBlueBottomLeftFirst) {
  Bmp b;
  b.width = 2;
  b.height = 2;
  b.pixels = {0x10, 0x20, 0x30, 1, 2, 3, 0, 0, 7, 8, 9, 4, 5, 6, 0, 0};
  const Decoded d = Decode(b.Build());
  ASSERT_NE(d.image, nullptr);
  EXPECT_EQ(d.Data(), (Bytes{0x30, 0x20, 0x10, 3, 2, 1, 9, 8, 7, 6, 5, 4}));
  EXPECT_EQ(d.messages, "");
}

TEST(BmpDecode, ColoursUsedSeventeenWithoutFileHeaderPutsPixelsAt108) {
  Bmp b;
  b.fileHeader = false;
  b.bits = 8;
  b.colorsUsed = 17;
  b.width = 3;
  b.table = Grey(17);
  b.pixels = {16, 1, 0, 0};
  const Bytes file = b.Build();
  ASSERT_EQ(file.size(), 108u + 4u);
  const Decoded d = Decode(file);
  ASSERT_NE(d.image, nullptr);
  EXPECT_EQ(d.Data(), (Bytes{160, 160, 160, 10, 10, 10, 0, 0, 0}));
}

TEST(BmpDecode, EightBitWithoutColoursUsedHasAFullTable) {
  Bmp b;
  b.fileHeader = false;
  b.bits = 8;
  b.table = Grey(256);
  b.table[255 * 4] = 1;  // blue of entry 255
  b.pixels = {255, 0, 0, 0};
  const Decoded d = Decode(b.Build());
  ASSERT_NE(d.image, nullptr);
  EXPECT_EQ(d.Data(), (Bytes{uint8_t(2550 % 256), uint8_t(2550 % 256), 1}));
}

TEST(BmpDecode, ShortFormOneBitWithThreeByteEntries) {
  Bmp b;
  b.headerSize = 12;
  b.fileHeader = false;
  b.bits = 1;
  b.width = 10;
  b.table = {0, 0, 0, 0xFF, 0x80, 0x40};  // black, then B=FF G=80 R=40
  b.pixels = {0b10110000, 0b01000000, 0, 0};
  const Decoded d = Decode(b.Build());
  ASSERT_NE(d.image, nullptr);
  const Bytes data = d.Data();
  const int expect[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(Bytes(data.begin() + 3 * x, data.begin() + 3 * x + 3), expect[x] ? (Bytes{0x40, 0x80, 0xFF}) : (Bytes{0, 0, 0}))
        << x;

  b.width = 65535;
  b.height = 1;
  b.pixels.assign(((65535 + 31) / 32) * 4, 0);
  const Decoded wide = Decode(b.Build());
  ASSERT_NE(wide.image, nullptr);
  EXPECT_EQ(wide.image->width, 65535);
  EXPECT_EQ(wide.image->height, 1);
}

TEST(BmpDecode, FourSixteenAndThirtyTwoBits) {
  Bmp four;
  four.bits = 4;
  four.width = 3;
  four.table = Grey(16);
  four.pixels = {0x2F, 0x50, 0, 0};
  EXPECT_EQ(Decode(four.Build()).Data(), (Bytes{20, 20, 20, 150, 150, 150, 50, 50, 50}));

  Bmp sixteen;  // 5-5-5, top bit ignored; 5 bits widen by rounding q * 255 / 31
  sixteen.bits = 16;
  sixteen.width = 2;
  const uint16_t p0 = 0x8000 | (31 << 10) | (16 << 5) | 1, p1 = (1 << 10);
  sixteen.pixels = {uint8_t(p0), uint8_t(p0 >> 8), uint8_t(p1), uint8_t(p1 >> 8)};
  EXPECT_EQ(Decode(sixteen.Build()).Data(), (Bytes{255, 132, 8, 8, 0, 0}));

  Bmp thirtyTwo;
  thirtyTwo.bits = 32;
  thirtyTwo.width = 2;
  thirtyTwo.pixels = {1, 2, 3, 99, 4, 5, 6, 99};
  EXPECT_EQ(Decode(thirtyTwo.Build()).Data(), (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(BmpDecode, BitFieldMasksAreHonoured) {
  Bmp b;
  b.bits = 16;
  b.compression = 3;
  b.width = 1;
  Put(&b.extra, 0xF800, 4);  // 5-6-5
  Put(&b.extra, 0x07E0, 4);
  Put(&b.extra, 0x001F, 4);
  const uint16_t p = (31 << 11) | (32 << 5) | 0;
  b.pixels = {uint8_t(p), uint8_t(p >> 8), 0, 0};
  EXPECT_EQ(Decode(b.Build()).Data(), (Bytes{255, 130, 0}));

  b.fileHeader = false;  // without a file header the pixels follow the masks
  EXPECT_EQ(Decode(b.Build()).Data(), (Bytes{255, 130, 0}));

  Bmp c;
  c.bits = 32;
  c.compression = 3;
  Put(&c.extra, 0x0000FF00, 4);
  Put(&c.extra, 0x00FF0000, 4);
  Put(&c.extra, 0xFF000000, 4);
  c.pixels = {0, 10, 20, 30};
  EXPECT_EQ(Decode(c.Build()).Data(), (Bytes{10, 20, 30}));

  Put(&c.extra, 0, 0);
  c.extra[0] = 0x0F;  // red mask 0x0000FF0F is not one run of bits
  EXPECT_NE(Decode(c.Build()).messages.find("Image file conversion error."), std::string::npos);
}

TEST(BmpDecode, TopDownFilesComeOutBottomUp) {
  Bmp b;
  b.width = 1;
  b.height = -2;
  b.pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // stored top row first
  const Decoded d = Decode(b.Build());
  ASSERT_NE(d.image, nullptr);
  EXPECT_EQ(d.image->height, 2);
  EXPECT_EQ(d.Data(), (Bytes{6, 5, 4, 3, 2, 1}));
}

TEST(BmpDecode, RunLengthEightCodes) {
  Bmp b;
  b.bits = 8;
  b.compression = 1;
  b.width = 6;
  b.height = 3;
  b.table = Grey(256);
  b.pixels = {3, 7,            // run of three 7s
              0, 3, 1, 2, 9, 0,  // absolute 1 2 9, padded to a word
              0, 0,            // end of line
              0, 2, 2, 1,      // delta: right 2, up 1
              9, 5,            // a run past the row's end is clipped
              0, 1,            // end of bitmap
              4, 4};           // never read
  const Decoded d = Decode(b.Build());
  ASSERT_NE(d.image, nullptr);
  const Bytes data = d.Data();
  auto at = [&](int x, int y) { return data[(y * 6 + x) * 3]; };
  EXPECT_EQ((Bytes{at(0, 0), at(1, 0), at(2, 0), at(3, 0), at(4, 0), at(5, 0)}), (Bytes{70, 70, 70, 10, 20, 90}));
  EXPECT_EQ((Bytes{at(0, 1), at(1, 1), at(2, 1), at(5, 1)}), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ((Bytes{at(0, 2), at(1, 2), at(2, 2), at(5, 2)}), (Bytes{0, 0, 50, 50}));
}

TEST(BmpDecode, RunLengthFourCodes) {
  Bmp b;
  b.bits = 4;
  b.compression = 2;
  b.width = 8;
  b.height = 1;
  b.table = Grey(16);
  b.pixels = {3, 0x12,                // 1 2 1
              0, 3, 0x34, 0x50,       // absolute 3 4 5 in two bytes, word aligned
              0, 1};
  const Decoded d = Decode(b.Build());
  ASSERT_NE(d.image, nullptr);
  const Bytes data = d.Data();
  Bytes firsts;
  for (int x = 0; x < 8; ++x) firsts.push_back(data[x * 3]);
  EXPECT_EQ(firsts, (Bytes{10, 20, 10, 30, 40, 50, 0, 0}));
}

TEST(BmpDecode, ExactMessagesForRejectedFiles) {
  Bmp v4;
  v4.headerSize = 108;
  const Decoded d = Decode(v4.Build());
  EXPECT_EQ(d.image, nullptr);
  EXPECT_EQ(d.messages, "Error: Unknown DIB file format.\n");

  Bmp bad;
  bad.bits = 7;
  EXPECT_EQ(Decode(bad.Build()).messages, "Error: Image file conversion error.\n");
  bad.bits = 8;
  bad.compression = 2;  // run-length 4 on an 8-bit file
  EXPECT_EQ(Decode(bad.Build()).messages, "Error: Image file conversion error.\n");

  Bmp zero;
  zero.width = 0;
  EXPECT_EQ(Decode(zero.Build()).messages, "Error: Image file conversion error.\n");

  Bmp huge;
  huge.width = 1 << 20;
  huge.height = 1 << 20;
  EXPECT_EQ(Decode(huge.Build()).messages, "Error: Out of memory.\n");
}

TEST(BmpLoad, MissingEmptyAndLongNamesShowTheOpenFailure) {
  ScratchDir dir;
  bBatchMode = 1;
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadDIBImage("nothere.bmp"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Failed to open DIB file nothere.bmp.\n\n");

  WriteFile("empty.bmp", "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadDIBImage("empty.bmp"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Failed to open DIB file empty.bmp.\n\n");

  const std::string name(400, 'n');
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadDIBImage(name.c_str()), nullptr);
  const std::string text = testing::internal::GetCapturedStderr();
  EXPECT_EQ(text, "Error: Failed to open DIB file " + name.substr(0, 229) + ".\n\n");

  Bmp b;
  b.pixels = {1, 2, 3, 0};
  const Bytes file = b.Build();
  WriteFile("one.bmp", std::string(file.begin(), file.end()));
  RGBImage* image = LoadDIBImage("one.bmp");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 1);
}

TEST(BmpHostile, EveryTruncationAndStrayValueFailsCleanlyWithOneMessage) {
  std::vector<Bmp> files(4);
  files[0].bits = 8;
  files[0].width = 5;
  files[0].height = 3;
  files[0].table = Grey(256);
  files[0].pixels.assign(24, 200);
  files[1].bits = 24;
  files[1].width = 3;
  files[1].height = 3;
  files[1].pixels.assign(36, 1);
  files[2].bits = 8;
  files[2].compression = 1;
  files[2].width = 4;
  files[2].height = 4;
  files[2].table = Grey(16);
  files[2].colorsUsed = 16;
  files[2].pixels = {200, 9, 0, 2, 255, 255, 0, 5, 1, 2, 3, 4, 250, 0, 0};  // long run, huge delta, short absolute
  files[3].headerSize = 12;
  files[3].bits = 4;
  files[3].width = 7;
  files[3].table.assign(48, 3);
  files[3].pixels = {0xFF, 0xFF, 0xFF, 0xFF};
  for (const Bmp& b : files) {
    const Bytes full = b.Build();
    for (size_t n = 0; n <= full.size(); ++n) {
      const Bytes cut(full.begin(), full.begin() + n);
      const Decoded d = Decode(cut);
      if (d.image) {
        EXPECT_EQ(d.messages, "");
        EXPECT_EQ(d.Data().size(), size_t(3 * d.image->width * d.image->height));
      } else {
        EXPECT_EQ(std::count(d.messages.begin(), d.messages.end(), '\n'), 1) << n << ": " << d.messages;
      }
    }
  }
  Bmp offset;  // pixel offset past the end of the file
  Bytes file = offset.Build();
  file[10] = 0xFF;
  EXPECT_EQ(Decode(file).messages, "Error: Image file conversion error.\n");

  Bmp index;  // an index beyond a two-entry table gives black
  index.bits = 8;
  index.colorsUsed = 2;
  index.table = {1, 2, 3, 0, 4, 5, 6, 0};
  index.pixels = {200, 0, 0, 0};
  EXPECT_EQ(Decode(index.Build()).Data(), (Bytes{0, 0, 0}));
}
