// Exact scans of the mesh lines: a fast path for plain numbers, the C library's sscanf where it cannot decide.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene/scene.h"

namespace {

enum class Scan { Value, Ended, Unsure };

// Blanks as the C locale's isspace sees them, less the line feed that ends the line; '/' counts as one in
// face lines.
inline bool IsBlank(char c, bool slash) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || (slash && c == '/');
}

// The scanned text stops at the line feed, or at a zero as the C string it is copied into would.
inline bool AtEnd(const char* p, const char* end) { return p == end || *p == '\0' || *p == '\n'; }

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr uint64_t kPow10Int[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// How many of the eight bytes of `word`, first byte lowest, are decimal digits before the first that is not.
// A borrow or carry only crosses into bytes above a byte that is itself flagged, so the lowest flag is exact.
inline int CountLeadingDigits(uint64_t word) {
  const uint64_t flags = ((word - 0x3030303030303030ull) | (word + 0x4646464646464646ull) | word) & 0x8080808080808080ull;
  return flags ? std::countr_zero(flags) >> 3 : 8;
}

// The value of the first n (1..8) digit bytes of `word`, in three multiplications.
inline uint64_t DigitsValue(uint64_t word, int n) {
  uint64_t d = (word - 0x3030303030303030ull) << (8 * (8 - n));
  d = d * 10 + (d >> 8);
  return ((d & 0x000000FF000000FFull) * (100 + (1000000ull << 32)) +
          ((d >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32))) >> 32;
}

// Appends the run of decimal digits at q to *value and returns how many there were. Past 19 digits *value
// wraps and the caller does not use it.
inline int ReadDigits(const char*& q, const char* end, uint64_t* value) {
  int count = 0;
  while (end - q >= 8) {
    uint64_t word;
    std::memcpy(&word, q, 8);
    const int n = CountLeadingDigits(word);
    if (n == 0) return count;
    *value = *value * kPow10Int[n] + DigitsValue(word, n);
    q += n;
    count += n;
    if (n < 8) return count;
  }
  for (; q != end && IsDigit(*q); ++q, ++count) *value = *value * 10 + static_cast<unsigned>(*q - '0');
  return count;
}

constexpr float kPow10[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

constexpr double kPow10Double[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A correctly rounded double narrows to the correctly rounded float unless it lies exactly halfway between
// two floats, where the first rounding may have moved it there; those are left to ReadRounded.
inline bool NarrowsExactly(double d, bool negative, float* out) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  if ((bits & ((uint64_t{1} << 29) - 1)) == (uint64_t{1} << 28)) return false;
  const float f = static_cast<float>(d);
  *out = negative ? -f : f;
  return true;
}

// The correctly rounded float of a plain decimal (the C library's strtof, on a copy, so that it cannot read
// past the text); false where the value overflows, or underflows to zero from nonzero digits.
bool ReadRounded(const char* p, const char* q, float* out) {
  char text[64];
  const size_t n = static_cast<size_t>(q - p);
  if (n >= sizeof text) return false;
  std::memcpy(text, p, n);
  text[n] = '\0';
  char* end = nullptr;
  const float value = std::strtof(text, &end);
  if (end != text + n || std::isinf(value)) return false;
  if (value == 0)
    for (const char* c = text; *c && *c != 'e' && *c != 'E'; ++c)
      if (*c >= '1' && *c <= '9') return false;
  *out = value;
  return true;
}

// Skips the blanks before a conversion's text; false at the line's end. Otherwise *digits points past
// the sign, if any.
bool StartNumber(const char*& p, const char* end, bool face, const char** digits, bool* negative) {
  while (p != end && IsBlank(*p, face)) ++p;
  if (AtEnd(p, end)) return false;
  *negative = *p == '-';
  *digits = *negative ? p + 1 : p;
  return true;
}

// One "%f" conversion. Mantissas up to 2^24 with small exponents are exact in one float operation,
// which is therefore correctly rounded; other plain decimals go to ReadRounded; anything else is Unsure.
Scan ScanFloat(const char*& p, const char* end, float* out) {
  const char* q;
  bool negative;
  uint64_t mantissa = 0;
  if (!StartNumber(p, end, false, &q, &negative)) return Scan::Ended;
  int digits = ReadDigits(q, end, &mantissa), exponent = 0;
  if (q != end && *q == '.') {
    exponent = -ReadDigits(++q, end, &mantissa);
    digits -= exponent;
  }
  if (digits == 0 || digits > 19) return Scan::Unsure;
  if (q != end && (*q == 'e' || *q == 'E')) {
    const char* e = q + 1;
    const bool minus = e != end && *e == '-';
    if (e != end && (*e == '-' || *e == '+')) ++e;
    int power = 0, powerDigits = 0;
    for (; e != end && IsDigit(*e) && powerDigits < 4; ++e, ++powerDigits) power = power * 10 + (*e - '0');
    if (powerDigits == 0 || (e != end && IsDigit(*e))) return Scan::Unsure;
    exponent += minus ? -power : power;
    q = e;
  }
  if (!AtEnd(q, end) && !IsBlank(*q, false)) return Scan::Unsure;
  float value;
  if (mantissa <= (uint64_t{1} << 24) && exponent >= -10 && exponent <= 10) {
    value = static_cast<float>(mantissa);
    value = exponent < 0 ? value / kPow10[-exponent] : value * kPow10[exponent];
    if (negative) value = -value;
  } else if (mantissa < (uint64_t{1} << 53) && exponent >= -22 && exponent <= 22 && mantissa != 0 &&
             NarrowsExactly(exponent < 0 ? static_cast<double>(mantissa) / kPow10Double[-exponent]
                                         : static_cast<double>(mantissa) * kPow10Double[exponent],
                            negative, &value)) {
  } else if (!ReadRounded(p, q, &value)) {
    return Scan::Unsure;
  }
  *out = value;
  p = q;
  return Scan::Value;
}

// One "%d" conversion of at most nine digits; longer numbers and signs other than '-' are Unsure.
Scan ScanInt(const char*& p, const char* end, int32_t* out) {
  const char* q;
  bool negative;
  uint64_t value = 0;
  if (!StartNumber(p, end, true, &q, &negative)) return Scan::Ended;
  const int digits = ReadDigits(q, end, &value);
  if (digits == 0 || digits > 9 || (!AtEnd(q, end) && !IsBlank(*q, true))) return Scan::Unsure;
  *out = negative ? -static_cast<int32_t>(value) : static_cast<int32_t>(value);
  p = q;
  return Scan::Value;
}

// The line's text from `skip` on as the zero-terminated scan buffer, '/' made blank in face lines.
void CopyScanText(const char* line, size_t length, size_t skip, bool slash, char strBuf[256]) {
  size_t n = 0;
  for (size_t i = skip; i < length && n < 255 && line[i] != '\0'; ++i)
    strBuf[n++] = slash && line[i] == '/' ? ' ' : line[i];
  strBuf[n] = '\0';
}

// A line that ends (or holds a zero) before its first value column scans nothing and keeps the old values.
bool HasScanText(const char* line, const char* end, size_t skip) {
  for (size_t i = 0; i < skip; ++i)
    if (AtEnd(line + i, end)) return false;
  return true;
}

// The exact reading for what the fast path cannot decide: sscanf on the line copied as the C library sees it.
// Returns the line feed and sets *assigned to sscanf's count of conversions.
template <typename... Fields>
const char* ScanCopy(const char* line, const char* end, size_t skip, bool slash, int* assigned, const char* format,
                     Fields*... fields) {
  const char* lineFeed = FindLineFeed(line, end);
  size_t length = static_cast<size_t>(lineFeed - line);
  if (lineFeed != end && length > 0 && lineFeed[-1] == '\r') --length;
  char strBuf[256];
  CopyScanText(line, length, skip, slash, strBuf);
  const int count = std::sscanf(strBuf, format, fields...);
  *assigned = count < 0 ? 0 : count;
  return lineFeed;
}

}  // namespace

const char* FindLineFeed(const char* p, const char* end) {
  constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    const uint64_t x = word ^ (ones * '\n');
    const uint64_t found = (x - ones) & ~x & highs;
    if (found) return p + (std::countr_zero(found) >> 3);
  }
  while (p != end && *p != '\n') ++p;
  return p;
}

const char* ScanVertexLine(const char* line, const char* end, CVertex3* v, int* assigned) {
  *assigned = 0;
  if (!HasScanText(line, end, 3)) return line;
  const char* p = line + 3;
  float* const fields[3] = {&v->x, &v->y, &v->z};
  for (float* field : fields) {
    const Scan s = ScanFloat(p, end, field);
    if (s == Scan::Ended) break;
    if (s == Scan::Unsure) return ScanCopy(line, end, 3, false, assigned, "%f %f %f", &v->x, &v->y, &v->z);
    ++*assigned;
  }
  return p;
}

const char* ScanCoordLine(const char* line, const char* end, CVertex2* t, int* assigned) {
  *assigned = 0;
  if (!HasScanText(line, end, 4)) return line;
  const char* p = line + 4;
  float* const fields[2] = {&t->x, &t->y};
  float dropped;
  for (float* field : fields) {
    const Scan s = ScanFloat(p, end, field);
    if (s == Scan::Ended) break;
    if (s == Scan::Unsure) {
      p = ScanCopy(line, end, 4, false, assigned, "%f %f %f", &t->x, &t->y, &dropped);
      if (*assigned > 2) *assigned = 2;
      return p;
    }
    ++*assigned;
  }
  return p;
}

const char* ScanFaceLine(const char* line, const char* end, CFace* f, int* assigned) {
  *assigned = 0;
  if (!HasScanText(line, end, 2)) return line;
  const char* p = line + 2;
  // Corners are vertex/texture/normal triples; only the vertex numbers (1st, 4th, 7th) are kept.
  int32_t FT[3], FN[3];
  int32_t* const fields[7] = {&f->Index[0], &FT[0], &FN[0], &f->Index[1], &FT[1], &FN[1], &f->Index[2]};
  int conversions = 0;
  for (int32_t* field : fields) {
    const Scan s = ScanInt(p, end, field);
    if (s == Scan::Ended) break;
    if (s == Scan::Unsure) {
      p = ScanCopy(line, end, 2, true, &conversions, "%d %d %d   %d %d %d    %d %d %d", &f->Index[0], &FT[0],
                   &FN[0], &f->Index[1], &FT[1], &FN[1], &f->Index[2], &FT[2], &FN[2]);
      break;
    }
    ++conversions;
  }
  *assigned = (conversions >= 1) + (conversions >= 4) + (conversions >= 7);
  return p;
}
