// glide-scene check on the mesh and texture files: fixed columns, face forms, counts, and the BMP decoder's refusals.
#include <cmath>
#include <cstring>
#include <sstream>

#include "image/image.h"
#include "platform/platform.h"
#include "tools/check/check.h"
#include "tools/terrain/terrain_mesh.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first line of one kind of fault in a file, and how many more lines have it.
struct FirstLine {
  int line = 0;
  int more = 0;
  std::string text;

  void Saw(int n, const std::string& lineText) {
    if (line) {
      ++more;
      return;
    }
    line = n;
    text = lineText;
  }
  void Report(Findings& out, const std::string& file, bool error, const std::string& what) const {
    if (!line) return;
    const std::string quoted = this->text.size() > 60 ? this->text.substr(0, 57) + "..." : this->text;
    const std::string text = "'" + quoted + "' " + what +
                             (more ? " (" + std::to_string(more) + " more line" + (more > 1 ? "s" : "") + " like it)" : "");
    if (error) out.Error(file, line, text);
    else out.Warning(file, line, text);
  }
};

enum FaceForm { kGood, kNoSlash, kNoTexture, kTwoNumbers, kNegative, kOther, kFewCorners, kFaceForms };

// How a face line's first three corners are written, from column 3 on as the program reads them.
FaceForm ReadFaceForm(const std::string& rest, bool* polygon) {
  std::istringstream words(rest);
  std::vector<std::string> corners;
  for (std::string w; words >> w;) corners.push_back(w);
  *polygon = corners.size() > 3;
  if (corners.size() < 3) return kFewCorners;
  for (size_t i = 0; i < 3; ++i) {
    const std::string& c = corners[i];
    if (c[0] == '-') return kNegative;
    const size_t first = c.find('/');
    if (first == std::string::npos) return kNoSlash;
    const size_t second = c.find('/', first + 1);
    if (second == std::string::npos) return kTwoNumbers;
    if (second == first + 1) return kNoTexture;
    int a, b, n;
    char tail;
    if (std::sscanf(c.c_str(), "%d/%d/%d%c", &a, &b, &n, &tail) != 3) return kOther;
  }
  return kGood;
}

const char* const kFaceFormText[kFaceForms] = {
    "",
    "has corners without '/': glide reads the numbers three at a time as vertex, texture and normal, so the face "
    "takes the wrong vertices",
    "has corners 'v//n' without a texture number: glide reads the numbers three at a time, so the face takes the "
    "wrong vertices",
    "has corners 'v/t' without a normal number: glide reads the numbers three at a time, so the face takes the "
    "wrong vertices",
    "uses negative (relative) vertex numbers, which glide does not resolve; it drops the face",
    "has corners glide cannot read as three numbers each",
    "has fewer than three corners; glide fills the rest from the face before",
};

}  // namespace

void CheckMesh(Findings& out, const std::string& file, const CModel& loaded) {
  size_t size = 0;
  const uint8_t* view = MapFile(file.c_str(), &size);
  int vertices = 0, coords = 0;
  FirstLine oneBlank, tabAfterV, coordColumns, forms[kFaceForms], polygons;
  struct VertexLine {
    int line;
    const char* text;
    size_t length;
  };
  std::vector<VertexLine> vertexLines;
  struct ReadFace {
    int line;
    CFace face;
    bool checked;
    const char* text;
    size_t length;
  };
  std::vector<ReadFace> faces;
  CFace carried{{0, 0, 0}};
  ForEachLine(out, file, reinterpret_cast<const char*>(view), view ? size : 0, [&](int n, const char* line, size_t length) {
    const std::string text(line, length);
    const char c1 = length >= 2 ? line[1] : '\n';
    if (line[0] == 'v' && c1 == ' ') {
      ++vertices;
      vertexLines.push_back({n, line, length});
      if (length >= 3 && !IsBlank(line[2])) oneBlank.Saw(n, text);
    } else if (line[0] == 'v' && c1 == 't') {
      ++coords;
      if ((length >= 3 && !IsBlank(line[2])) || (length >= 4 && !IsBlank(line[3]))) coordColumns.Saw(n, text);
    } else if (line[0] == 'v' && c1 == '\t') {
      tabAfterV.Saw(n, text);
    } else if (line[0] == 'f') {
      int assigned = 0;
      ScanFaceLine(line, line + length, &carried, &assigned);
      bool polygon = false;
      const FaceForm form = ReadFaceForm(length > 2 ? text.substr(2) : "", &polygon);
      if (form != kGood) forms[form].Saw(n, text);
      if (polygon) polygons.Saw(n, text);
      faces.push_back(ReadFace{n, carried, form == kGood, line, length});
    }
  });

  const std::string faceFix = "; write faces as 'f a/a/a b/b/b c/c/c' (glide-scene object converts a model)";
  oneBlank.Report(out, file, true, "has one blank after 'v': glide reads from column 4 and loses the first "
                                   "character of x; write 'v  x y z' with two blanks");
  coordColumns.Report(out, file, true, "has one blank after 'vt': glide reads from column 5 and loses the first "
                                       "character of s; write 'vt  s t 0' with two blanks");
  tabAfterV.Report(out, file, true, "has a tab after 'v', so glide does not read it as a vertex; write 'v  x y z' "
                                    "with two blanks");
  for (int form = kGood + 1; form < kFaceForms; ++form) forms[form].Report(out, file, true, kFaceFormText[form] + faceFix);
  polygons.Report(out, file, false, "has more than three corners; glide keeps the first three and the rest of the "
                                    "polygon is missing; triangulate the mesh");

  FirstLine missing, zero;
  int kept = 0;
  for (const ReadFace& f : faces) {
    bool inside = true, named0 = false;
    for (int32_t index : f.face.Index) {
      inside = inside && index >= 0 && index <= vertices;
      named0 = named0 || index == 0;
    }
    kept += inside;
    if (!f.checked) continue;
    if (!inside) missing.Saw(f.line, std::string(f.text, f.length));
    else if (named0) zero.Saw(f.line, std::string(f.text, f.length));
  }
  if (vertices == loaded.CountVertices) {
    FirstLine far;
    for (int32_t v = 1; v <= loaded.CountVertices; ++v) {
      const CVertex3& p = loaded.Vertices[v];
      if (!WithinReach(p))
        far.Saw(vertexLines[static_cast<size_t>(v - 1)].line,
                std::string(vertexLines[static_cast<size_t>(v - 1)].text, vertexLines[static_cast<size_t>(v - 1)].length));
    }
    far.Report(out, file, true, "is a vertex glide reads with a coordinate that is not a finite number or lies beyond " +
                                    Number(kMostUnits) + " units, so its faces are drawn nowhere and ground following "
                                    "over them lifts the glider to places that are not numbers; write finite "
                                    "coordinates (glide-scene terrain and object write such meshes)");
  }
  UnmapFile(view, size);
  missing.Report(out, file, true, "names a vertex the file does not have (it has " + std::to_string(vertices) +
                                      " 'v' lines); glide drops the face; number vertices from 1 in file order");
  zero.Report(out, file, true, "names vertex 0; vertex numbers start at 1, and glide puts that corner at (0, 0, 0); "
                               "number vertices from 1 in file order");
  if (vertices > 0 && coords < vertices)
    out.Warning(file, 0, "has " + std::to_string(vertices) + " 'v' lines but " + std::to_string(coords) +
                             " 'vt' lines; glide pairs them by order, so vertices " + std::to_string(coords + 1) +
                             " on take texture coordinate (0, 0); write one 'vt  s t 0' line for each vertex");
  if (loaded.CountFace == 0)
    out.Error(file, 0, "has no face glide keeps, so nothing of it is drawn; write its triangles as "
                       "'f a/a/a b/b/b c/c/c' lines");
  if (vertices != loaded.CountVertices || coords != loaded.CountCoordText || kept != loaded.CountFace)
    out.Error(file, 0, "glide-scene check reads this mesh differently from glide; please report this with the file");
}

namespace {

uint32_t Get16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

bool PowerOfTwo(int32_t side) { return side > 0 && (side & (side - 1)) == 0; }

int32_t NearestPowerOfTwo(int32_t side) {
  int32_t p = 1;
  while (p < side && p < (1 << 14)) p *= 2;
  return p / 2 > 0 && side - p / 2 < p - side ? p / 2 : p;
}

// Why the decoder refused a file, read from the file's header.
std::string Refusal(const std::string& message, const std::string& file, std::string* fix) {
  size_t size = 0;
  const uint8_t* view = MapFile(file.c_str(), &size);
  if (!view) return "is empty or cannot be read";
  std::string why;
  const size_t info = size >= 2 && view[0] == 'B' && view[1] == 'M' ? 14 : 0;
  if (size < info + 12) {
    why = "is too short to be a BMP (" + std::to_string(size) + " bytes)";
  } else {
    const uint32_t header = Get32(view + info);
    const bool longForm = header == 40 && size >= info + 40;
    const int64_t width = longForm ? static_cast<int32_t>(Get32(view + info + 4)) : Get16(view + info + 4);
    const int64_t height = longForm ? static_cast<int32_t>(Get32(view + info + 8)) : Get16(view + info + 6);
    const uint32_t bits = longForm ? Get16(view + info + 14) : Get16(view + info + 10);
    const uint32_t compression = longForm ? Get32(view + info + 16) : 0;
    const int64_t rows = height < 0 ? -height : height;
    if (message == "Unknown DIB file format.") {
      if (info == 0 && header != 12 && header != 40) why = "is not a BMP file";
      else if (header == 40)
        why = "is cut off inside its 40-byte header, at " + std::to_string(size) + " bytes";
      else if (header == 108 || header == 124)
        why = "has a " + std::to_string(header) + "-byte header, the newer form that ImageMagick and most editors "
              "write; glide's decoder reads only the 40-byte and 12-byte forms";
      else why = "has a header of " + std::to_string(header) + " bytes, which glide's decoder does not read";
    } else if (message == "Out of memory." && width * rows > static_cast<int64_t>(MaxImagePixels)) {
      why = "is " + std::to_string(width) + " x " + std::to_string(rows) + " pixels, more than the decoder's limit of " +
            std::to_string(MaxImagePixels) + " pixels (8192 x 8192)";
      *fix = "scale it down to at most 4096 x 4096 and " + *fix;
    } else if (message == "Image file conversion error.") {
      const bool plain = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      const bool supported = (compression == 0 && plain) || (compression == 1 && bits == 8) ||
                             (compression == 2 && bits == 4) || (compression == 3 && (bits == 16 || bits == 32));
      if (!supported)
        why = "stores " + std::to_string(bits) + " bits a pixel with compression " + std::to_string(compression) +
              ", which the decoder does not convert";
      else if (width <= 0 || rows == 0)
        why = "has no pixels (" + std::to_string(width) + " x " + std::to_string(height) + ")";
      else if (height < 0 && (compression == 1 || compression == 2))
        why = "is run-length encoded with its rows top-down, which the decoder does not convert";
      else
        why = "is shorter than its pixel data: the file is cut off";
    } else {
      why = "could not be decoded (" + message + ")";
    }
  }
  UnmapFile(view, size);
  return why;
}

// How to make a texture glide reads, by the section that uses it: glide-scene's commands write every
// texture as a 24-bit BMP with a 40-byte header and sides that are powers of two.
std::string Remake(int section) {
  const char* const by[5] = {
      nullptr, "let 'glide-scene terrain DIR INPUT --texture PICTURE' write it from the picture",
      "let 'glide-scene sky DIR PICTURE' write it from the picture",
      "let 'glide-scene object DIR MODEL' write it from the model with its pictures",
      "copy Glader/glader01.bmp from a scene that 'glide-scene new OTHER' makes"};
  const std::string save = "save it as a 24-bit BMP with a 40-byte header (BITMAPINFOHEADER)";
  return section >= 1 && section <= 4 ? save + ", or " + by[section] : save;
}

}  // namespace

void CheckTexture(Findings& out, const TextureLoad& texture) {
  const std::string& file = texture.file;
  if (!texture.image) {
    const std::string message = texture.messages.empty() ? "" : texture.messages.front();
    std::string fix = Remake(texture.section);
    const std::string why = Refusal(message, file, &fix);
    out.Error(file, 0, "the decoder refuses it: it " + why + "; " + fix);
    return;
  }
  const int32_t w = texture.image->width, h = texture.image->height;
  if (!PowerOfTwo(w) || !PowerOfTwo(h)) {
    const std::string size = std::to_string(NearestPowerOfTwo(w)) + "x" + std::to_string(NearestPowerOfTwo(h));
    out.Error(file, 0, "is " + std::to_string(w) + " x " + std::to_string(h) + " pixels; OpenGL 1.1 takes only "
                       "sides that are powers of two, so the mesh may show untextured; resize it to " + size +
                           " and " + Remake(texture.section));
  }
}
