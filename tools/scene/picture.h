// Pictures as the tools hold them, stb_image's reason for a refusal, and what a picture's header claims.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <stb/stb_image.h>

// Packed R, G, B rows; the function that makes one says which row comes first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// stb_image's reason for its last failure, in brackets, or nothing where it gave none.
inline std::string StbReason() {
  const char* reason = stbi_failure_reason();
  return reason && *reason ? std::string(" (") + reason + ")" : "";
}

// A colour channel from a value that may stray outside 0..255.
inline uint8_t Channel(double value) { return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0)); }

struct PictureSize {
  uint32_t width;
  uint32_t height;
};

// The size the header of a PNG, BMP, JPEG or TGA claims (a top-down BMP's height made positive), read without
// decoding, and the fewest bytes a whole file of that size can have: a file shorter than that is cut short
// or lies, and decoding it would only make up pixels, possibly billions of them.
struct PictureClaim {
  PictureSize size;
  uint64_t leastBytes;
  uint64_t bytes;  // the file's length
};

// From a file's first bytes (all it has, or a good part) and its whole length; nothing for another kind of
// file, or a header too damaged to claim a size.
std::optional<PictureClaim> ClaimOf(const unsigned char* first, size_t count, uint64_t length);
// From a regular file; nothing for anything else, which is never opened.
std::optional<PictureClaim> ClaimOf(const std::string& file);
// Throws a ToolError naming `name` where the file is shorter than its claim.
void CheckClaim(const PictureClaim& claim, const std::string& name);

// A picture file's header, read once: whether stb_image can decode the file, the size (the claim's where there
// is one, else stb_image's), and the claim.
struct PictureHeader {
  bool decodable = false;
  PictureSize size{0, 0};
  std::optional<PictureClaim> claim;
};
PictureHeader HeaderOf(const std::string& file);
PictureHeader HeaderOf(const unsigned char* bytes, size_t count);

// Refuses, before anything is decoded, a picture whose size `fits` throws for, by the size its header claims
// or stb_image read; then one shorter than its header's claim; then one stb_image cannot decode, with the
// ToolError "NAME UNREADABLE (stb_image's reason); FIX".
void CheckPicture(const PictureHeader& header, const std::string& name, const std::function<void(PictureSize)>& fits,
                  const std::string& unreadable, const std::string& fix);
