// The fast mesh reader against a plain getline + sscanf reading of the same text, on many generated lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "scene_reset.h"

namespace {

struct ReferenceModel {
  std::vector<CVertex3> v{{0, 0, 0}};
  std::vector<CVertex2> t{{0, 0}};
  std::vector<CFace> f;
  float bounds[4] = {0, 0, 0, 0};  // minX, maxX, minY, maxY, from 0 as the terrain's are
};

// The reading as a text-mode stream gives it: CR LF becomes LF, then 255-character getline and sscanf.
ReferenceModel ReadReference(const std::string& content) {
  std::string text;
  for (size_t i = 0; i < content.size(); ++i)
    if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n')) text += content[i];
  std::istringstream in(text);
  ReferenceModel m;
  char strRead[255], strBuf[255];
  CVertex3 V{0, 0, 0};
  CVertex2 T{0, 0};
  CFace F{{0, 0, 0}};
  int FT[3], FN[3];
  float dropped;
  while (in.getline(strRead, 255)) {
    const size_t n = std::strlen(strRead);
    if (strRead[0] == 'v' && strRead[1] == ' ') {
      std::strcpy(strBuf, n > 3 ? strRead + 3 : "");
      std::sscanf(strBuf, "%f %f %f", &V.x, &V.y, &V.z);
      m.v.push_back(V);
      m.bounds[0] = std::min(m.bounds[0], V.x), m.bounds[1] = std::max(m.bounds[1], V.x);
      m.bounds[2] = std::min(m.bounds[2], V.y), m.bounds[3] = std::max(m.bounds[3], V.y);
    } else if (strRead[0] == 'v' && strRead[1] == 't') {
      std::strcpy(strBuf, n > 4 ? strRead + 4 : "");
      std::sscanf(strBuf, "%f %f %f", &T.x, &T.y, &dropped);
      m.t.push_back(T);
    } else if (strRead[0] == 'f') {
      for (size_t i = 2; i < n; ++i)
        if (strRead[i] == '/') strRead[i] = ' ';
      std::strcpy(strBuf, n > 2 ? strRead + 2 : "");
      std::sscanf(strBuf, "%d %d %d   %d %d %d    %d %d %d", &F.Index[0], &FT[0], &FN[0], &F.Index[1], &FT[1],
                  &FN[1], &F.Index[2], &FT[2], &FN[2]);
      m.f.push_back(F);
    }
  }
  return m;
}

const char* const kTokens[] = {
    "0", "1", "-1", "1.5", "-0", "-0.0", "+3", "+", "-", ".", ".5", "5.", "-.5", "1e", "1e5", "1E-3", "1e+2",
    "1e-50", "1e40", "-1e40", "3.4028235e38", "1.17549435e-38", "1.4e-45", "0x1p3", "0X1.8P1", "inf", "-inf",
    "nan", "INFINITY", "1.5.5", "12abc", "1/2/3", "//", "123456789", "1234567890", "-2147483648", "99999999999",
    "0.1", "0.3333333333333333333333", "16777217", "16777216.5", "123.456789", "0.000001234", "1e10", "1e-10",
    "1e11", "00000000000000000000001", "9007199254740993", "3.14159274", "1,5", "e5", "--1", "1e0005", "1e999"};

std::string RandomLine(std::mt19937& rng) {
  static const char* const kHeads[] = {"v  ", "v ", "v", "vt  ", "vt ", "vt", "f ", "f", "f/", "vn  ", "# ", "", "x"};
  static const char* const kGaps[] = {" ", "  ", "\t", "/", " / ", "\v", "\r", "", "//"};
  std::string line = kHeads[rng() % std::size(kHeads)];
  const int tokens = static_cast<int>(rng() % 11);
  for (int i = 0; i < tokens; ++i) {
    if (i > 0 || rng() % 4 == 0) line += kGaps[rng() % (rng() % 3 == 0 ? std::size(kGaps) : 2)];
    if (rng() % 3 == 0) {
      line += std::to_string(static_cast<int>(rng() % 200000) - 1000);
      if (rng() % 2) {
        line += '.';
        line += std::to_string(rng() % 1000000);
      }
    } else {
      line += kTokens[rng() % std::size(kTokens)];
    }
  }
  if (rng() % 50 == 0) line += std::string(rng() % 260, ' ');
  if (!line.empty() && rng() % 100 == 0) line[rng() % line.size() / 2 + line.size() / 2] = '\0';
  return line;
}

void ExpectSameBits(const void* a, const void* b, size_t n, const std::string& text) {
  if (n == 0) return;  // an empty vector's data() may be null, which memcmp must not see
  ASSERT_EQ(std::memcmp(a, b, n), 0) << "text:\n" << text;
}

void ExpectSameModel(const std::string& text, int parts = 1) {
  ResetScene();
  CountLocationFiles = 1;
  ReadModelText(text.data(), text.size(), parts);
  const ReferenceModel ref = ReadReference(text);
  const float bounds[4] = {minX, maxX, minY, maxY};
  ExpectSameBits(bounds, ref.bounds, sizeof bounds, text);
  ASSERT_EQ(Model.CountVertices + 1, static_cast<int>(ref.v.size())) << text;
  ASSERT_EQ(Model.CountCoordText + 1, static_cast<int>(ref.t.size())) << text;
  ExpectSameBits(Model.Vertices, ref.v.data(), ref.v.size() * sizeof(CVertex3), text);
  ExpectSameBits(Model.CoordText, ref.t.data(), ref.t.size() * sizeof(CVertex2), text);
  std::vector<CFace> kept;
  for (const CFace& f : ref.f)
    if (std::all_of(std::begin(f.Index), std::end(f.Index), [](int32_t i) { return i >= 0 && i <= Model.CountVertices; }))
      kept.push_back(f);
  ASSERT_EQ(Model.CountFace, static_cast<int>(kept.size())) << text;
  ExpectSameBits(Model.Face, kept.data(), kept.size() * sizeof(CFace), text);
}

TEST(ObjDifferential, SingleLinesOfEveryShapeScanAsSscanfDoes) {
  std::mt19937 rng(20261207);
  for (int i = 0; i < 200000; ++i) {
    const std::string line = RandomLine(rng);
    ExpectSameModel(line + (i % 2 ? "\n" : "\r\n"));
    if (HasFatalFailure()) return;
  }
}

TEST(ObjDifferential, WholeFilesWithStateCarriedBetweenLines) {
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const int lines = static_cast<int>(rng() % 40);
    for (int k = 0; k < lines; ++k) text += RandomLine(rng) + (rng() % 5 == 0 ? "\r\n" : "\n");
    if (rng() % 2) text += RandomLine(rng);  // a last line without a line feed
    ExpectSameModel(text, 1 + i % 7);  // read in up to seven pieces, each carrying the state of the last
    if (HasFatalFailure()) return;
  }
}

TEST(ObjDifferential, PlainNumbersOfEveryPrecision) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> wide(-1e6, 1e6);
  for (int i = 0; i < 100000; ++i) {
    char line[200];
    const int precision = static_cast<int>(rng() % 12);
    std::snprintf(line, sizeof line, "v  %.*f %.*g %.*e\nvt  %.*f %.*f 0\n", precision, wide(rng), precision + 1,
                  wide(rng) * 1e-4, precision, wide(rng), precision, wide(rng) * 1e-6, precision, wide(rng) * 1e-3);
    ExpectSameModel(line);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
