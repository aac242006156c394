// What the headers of PNG, BMP, JPEG and TGA files claim, weighed against the files' lengths.
#include "tools/scene/picture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/scene/cli.h"

namespace {

// A JPEG's size may follow tens of kilobytes of metadata.
constexpr size_t kHeaderBytes = 1 << 18;
// Deflate, which packs a PNG's rows, makes at most 1032 bytes of one: a run of 258 in two bits.
constexpr uint64_t kMostDeflateRatio = 1032;

class Bytes {
 public:
  Bytes(const unsigned char* first, size_t count) : first_(first), count_(count) {}
  bool Has(size_t at, size_t n) const { return at <= count_ && n <= count_ - at; }
  uint32_t Big(size_t at, int n) const {
    uint32_t v = 0;
    for (int k = 0; k < n; ++k) v = v << 8 | first_[at + k];
    return v;
  }
  uint32_t Little(size_t at, int n) const {
    uint32_t v = 0;
    for (int k = n - 1; k >= 0; --k) v = v << 8 | first_[at + k];
    return v;
  }
  unsigned char operator[](size_t at) const { return first_[at]; }
  bool Starts(const char* text, size_t n) const { return Has(0, n) && std::memcmp(first_, text, n) == 0; }

 private:
  const unsigned char* first_;
  size_t count_;
};

uint64_t RowBytes(uint64_t width, uint64_t bits) { return (width * bits + 7) / 8; }

// Rows of filtered pixels, deflated at best by kMostDeflateRatio.
std::optional<PictureClaim> Png(const Bytes& b) {
  if (!b.Starts("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) || !b.Has(16, 10)) return std::nullopt;
  const uint32_t width = b.Big(16, 4), height = b.Big(20, 4), depth = b[24], type = b[25];
  const int channels[] = {1, 0, 3, 1, 2, 0, 4};
  if (type > 6 || channels[type] == 0) return std::nullopt;
  const uint64_t raw = height * (1 + RowBytes(width, depth * channels[type]));
  return PictureClaim{{width, height}, raw / kMostDeflateRatio, 0};
}

// Uncompressed rows, each padded to four bytes (the last one's padding may be missing); compressed ones are
// left to the decoder.
std::optional<PictureClaim> Bmp(const Bytes& b) {
  if (!b.Starts("BM", 2) || !b.Has(10, 8)) return std::nullopt;
  const uint32_t offset = b.Little(10, 4), header = b.Little(14, 4);
  const bool core = header == 12;
  if (!b.Has(18, core ? 8 : 16)) return std::nullopt;
  const int64_t width = core ? int64_t{b.Little(18, 2)} : int64_t{static_cast<int32_t>(b.Little(18, 4))};
  const int64_t height = core ? int64_t{b.Little(20, 2)} : int64_t{static_cast<int32_t>(b.Little(22, 4))};
  const uint32_t bits = b.Little(core ? 24 : 28, 2), compression = core ? 0 : b.Little(30, 4);
  if (width <= 0 || height == 0) return std::nullopt;
  const PictureSize size{static_cast<uint32_t>(width), static_cast<uint32_t>(height < 0 ? -height : height)};
  const bool plain = compression == 0 || compression == 3 || compression == 6;
  const uint64_t row = RowBytes(size.width, bits);
  return PictureClaim{size, plain ? offset + (row + 3) / 4 * 4 * (size.height - 1) + row : 0, 0};
}

// Huffman-coded sequential JPEG spends at least a bit on each 8 x 8 block; progressive and arithmetic-coded
// ones may spend less, and are left to the decoder.
std::optional<PictureClaim> Jpeg(const Bytes& b) {
  if (!b.Starts("\xff\xd8", 2)) return std::nullopt;
  for (size_t at = 2; b.Has(at, 4) && b[at] == 0xff;) {
    const unsigned marker = b[at + 1];
    if (marker == 0xff) {
      ++at;
      continue;
    }
    if (marker == 0xd9 || marker == 0xda) return std::nullopt;
    if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc) {
      if (!b.Has(at + 5, 4)) return std::nullopt;
      const PictureSize size{b.Big(at + 7, 2), b.Big(at + 5, 2)};
      const uint64_t blocks = (uint64_t{size.width} + 7) / 8 * ((uint64_t{size.height} + 7) / 8);
      return PictureClaim{size, marker <= 0xc1 ? blocks / 8 : 0, 0};
    }
    at += (marker >= 0xd0 && marker <= 0xd7) || marker == 0x01 ? 2 : 2 + b.Big(at + 2, 2);
  }
  return std::nullopt;
}

// TGA has no signature: its header must read as one, as the decoder's test has it. Run-length packets hold
// at most 128 pixels after a byte of their own and one pixel.
std::optional<PictureClaim> Tga(const Bytes& b) {
  if (!b.Has(0, 18)) return std::nullopt;
  const unsigned map = b[1], type = b[2], bits = b[16];
  const bool mapped = type == 1 || type == 9, runs = type >= 9;
  if (map > 1 || (map == 1) != mapped || (type & ~8u) < 1 || (type & ~8u) > 3) return std::nullopt;
  if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
  const PictureSize size{b.Little(12, 2), b.Little(14, 2)};
  if (size.width == 0 || size.height == 0) return std::nullopt;
  const uint64_t pixels = uint64_t{size.width} * size.height, pixel = (bits + 7) / 8;
  const uint64_t head = 18 + b[0] + (map ? uint64_t{b.Little(5, 2)} * ((b[7] + 7) / 8) : 0);
  return PictureClaim{size, head + (runs ? (pixels + 127) / 128 * (1 + pixel) : pixels * pixel), 0};
}

}  // namespace

std::optional<PictureClaim> ClaimOf(const unsigned char* first, size_t count, uint64_t length) {
  const Bytes b(first, count);
  for (auto* claim : {Png, Bmp, Jpeg, Tga})
    if (std::optional<PictureClaim> found = claim(b)) {
      found->bytes = length;
      return found;
    }
  return std::nullopt;
}

std::optional<PictureClaim> ClaimOf(const std::string& file) {
  struct stat info {};
  if (stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return std::nullopt;
  std::vector<unsigned char> first(std::min<uint64_t>(kHeaderBytes, static_cast<uint64_t>(info.st_size)));
  const size_t count = std::fread(first.data(), 1, first.size(), f);
  std::fclose(f);
  return ClaimOf(first.data(), count, static_cast<uint64_t>(info.st_size));
}

void CheckClaim(const PictureClaim& claim, const std::string& name) {
  if (claim.bytes >= claim.leastBytes) return;
  throw ToolError(name + ": its header claims " + std::to_string(claim.size.width) + " x " +
                  std::to_string(claim.size.height) + " pixels, which take at least " +
                  std::to_string(claim.leastBytes) + " bytes, but the file has only " + std::to_string(claim.bytes) +
                  "; it is cut short or damaged: save it again");
}

static PictureHeader Header(bool decodable, int width, int height, std::optional<PictureClaim> claim) {
  const PictureSize read{static_cast<uint32_t>(width), static_cast<uint32_t>(std::abs(height))};
  return {decodable, claim ? claim->size : read, claim};
}

PictureHeader HeaderOf(const std::string& file) {
  int width = 0, height = 0, channels = 0;
  const bool decodable = stbi_info(file.c_str(), &width, &height, &channels) != 0;
  return Header(decodable, width, height, ClaimOf(file));
}

PictureHeader HeaderOf(const unsigned char* bytes, size_t count) {
  int width = 0, height = 0, channels = 0;
  const bool decodable = stbi_info_from_memory(bytes, static_cast<int>(count), &width, &height, &channels) != 0;
  return Header(decodable, width, height, ClaimOf(bytes, count, count));
}

void CheckPicture(const PictureHeader& header, const std::string& name, const std::function<void(PictureSize)>& fits,
                  const std::string& unreadable, const std::string& fix) {
  if (header.decodable || header.claim) fits(header.size);
  if (header.claim) CheckClaim(*header.claim, name);
  if (!header.decodable) throw ToolError(name + unreadable + StbReason() + "; " + fix);
}
