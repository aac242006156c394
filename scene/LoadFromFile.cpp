// Reading of the link file and the mesh files, and the assembly of the scene's lists from them.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "platform/platform.h"
#include "scene/scene.h"

CLinkInfo LinkInfo;
std::vector<CLinkInfo> LocationLinks;
std::vector<CLinkInfo> HorizonLinks;
std::vector<CLinkInfo> ObjectsLinks;
int CountLocationLinks;
int CountHorizonLinks;
int CountObjectsLinks;
int CountSectionLinkInfo;

CModel Model;
std::vector<CModel> LocationModel;
std::vector<CModel> HorizonModel;
std::vector<CModel> ObjectsModel;
std::vector<CModel> GladerModel;
float minX, maxX, minY, maxY;

char LoadFileName[256];
int NamSectionModel;
int CountLocationFiles;

namespace {

// Line-by-line reading of a whole text: a carriage return before a line feed is not part of the line, and
// the first line longer than MaxLineLength ends the text.
struct TextLines {
  const char* next;
  const char* end;

  bool Next(const char** line, size_t* length) {
    if (next == end) return false;
    const char* stop = FindLineFeed(next, end);
    const char* newline = stop != end ? stop : nullptr;
    size_t n = static_cast<size_t>(stop - next);
    if (newline && n > 0 && stop[-1] == '\r') --n;
    if (n > MaxLineLength) {
      next = end;
      return false;
    }
    *line = next;
    *length = n;
    next = newline ? newline + 1 : end;
    return true;
  }
};

// The whole line as a zero-terminated value; false when it does not fit.
bool CopyLine(const char* line, size_t length, char* field, size_t size) {
  const size_t n = strnlen(line, length);
  if (n >= size) return false;
  std::memcpy(field, line, n);
  field[n] = '\0';
  return true;
}

void ScanLinkValue(const char* line, size_t length, const char* format, void* value) {
  char strRead[256];
  CopyLine(line, length, strRead, sizeof strRead);
  std::sscanf(strRead, format, value);
}

void StoreLinkInfo() {
  if (CountSectionLinkInfo == 1) {
    LocationLinks.push_back(LinkInfo);
    ++CountLocationLinks;
  } else if (CountSectionLinkInfo == 2) {
    HorizonLinks.push_back(LinkInfo);
    ++CountHorizonLinks;
  } else if (CountSectionLinkInfo == 3) {
    ObjectsLinks.push_back(LinkInfo);
    ++CountObjectsLinks;
  }
}

}  // namespace

// An entry whose name does not fit, or whose count is below 1, is read to its end but stored nowhere; a count
// above 10 reads all its positions and keeps the first ten.
void ReadLinkText(const char* text, size_t size) {
  TextLines lines{text, text + size};
  int field = 0, k = 0;
  bool nameFits = true;
  const char* line;
  size_t length;
  while (lines.Next(&line, &length)) {
    if (length > 0 && line[0] == '#') ++CountSectionLinkInfo;
    if (length == 0 || line[0] == ' ' || line[0] == '#' || line[0] == '\0') continue;
    ++field;
    if (field == 1) {
      nameFits = CopyLine(line, length, LinkInfo.NameModel, sizeof LinkInfo.NameModel);
    } else if (field == 2) {
      CopyLine(line, length, LinkInfo.Text, sizeof LinkInfo.Text);
    } else if (field == 3) {
      ScanLinkValue(line, length, "%d", &LinkInfo.CountPosition);
      if (LinkInfo.CountPosition < 1) field = 0;
    } else {
      if (field == 4) ++k;
      CVertex3 scratch = k <= 10 ? LinkInfo.Position[k - 1] : CVertex3{};
      float* const axis[3] = {&scratch.x, &scratch.y, &scratch.z};
      ScanLinkValue(line, length, "%f", axis[field - 4]);
      if (k <= 10) LinkInfo.Position[k - 1] = scratch;
      if (field == 6) {
        field = k == LinkInfo.CountPosition ? 7 : 3;
        if (field == 7) {
          if (LinkInfo.CountPosition > 10) LinkInfo.CountPosition = 10;
          if (nameFits) StoreLinkInfo();
          field = 0;
          k = 0;
        }
      }
    }
  }
}

void LoadLink() {
  size_t size = 0;
  const uint8_t* view = MapFile(strLinkFile, &size);
  ReadLinkText(reinterpret_cast<const char*>(view), view ? size : 0);
  if (LogLevel >= 1) WriteLog("LoadFromFile   LoadLink() CountSectionLinkInfo", static_cast<float>(CountSectionLinkInfo));
  UnmapFile(view, size);
}

namespace {

enum class LineKind { Vertex, Coord, Face, Other };

inline LineKind ClassifyLine(const char* line, const char* end) {
  const char c0 = line[0], c1 = end - line >= 2 ? line[1] : '\n';
  if (c0 == 'v' && c1 == ' ') return LineKind::Vertex;
  if (c0 == 'v' && c1 == 't') return LineKind::Coord;
  if (c0 == 'f') return LineKind::Face;
  return LineKind::Other;
}

// A heap array that doubles when full; large blocks grow by remapping, without a copy or fresh page faults.
template <typename T>
struct GrowingArray {
  T* data;
  size_t capacity;

  explicit GrowingArray(size_t initial) : data(static_cast<T*>(AllocateBlock(initial * sizeof(T)))), capacity(initial) {
    if (!data) OutOfMemory();
  }
  // False when the array would pass the largest count a mesh may hold.
  bool Reserve(size_t count) {
    if (count > static_cast<size_t>(INT32_MAX)) return false;
    if (count <= capacity) return true;
    while (capacity < count) capacity *= 2;
    data = static_cast<T*>(std::realloc(data, capacity * sizeof(T)));
    if (!data) OutOfMemory();
    return true;
  }
  T* Trim(size_t count) {
    T* trimmed = static_cast<T*>(std::realloc(data, (count ? count : 1) * sizeof(T)));
    return trimmed ? trimmed : data;
  }
  [[noreturn]] static void OutOfMemory() {
    std::fputs("Out of memory reading a mesh.\n", stderr);
    std::abort();
  }
};

// Faces that name a vertex outside the array are dropped, so that no later reader leaves it.
int32_t KeepValidFaces(CFace* faces, int32_t count, int32_t vertices) {
  int32_t kept = 0;
  for (int32_t i = 0; i < count; ++i) {
    const CFace& f = faces[i];
    bool valid = true;
    for (int32_t index : f.Index) valid = valid && index >= 0 && index <= vertices;
    if (valid) faces[kept++] = f;
  }
  return kept;
}

}  // namespace

void ReadModelText(const char* text, size_t size) {
  const bool bounds = CountLocationFiles == 1;
  if (bounds) minX = maxX = minY = maxY = 0;
  const size_t guess = size / 32 + 16;
  GrowingArray<CVertex3> vertices(guess);
  GrowingArray<CVertex2> coords(guess);
  GrowingArray<CFace> faces(guess);
  CVertex3 V{0, 0, 0};
  CVertex2 T{0, 0};
  CFace F{{0, 0, 0}};
  vertices.data[0] = V;
  coords.data[0] = T;
  int32_t CountVertices = 0, CountCoordText = 0, CountFace = 0;
  // Each line is scanned first and kept only once its line feed shows it is not too long.
  for (const char *line = text, *end = text + size; line != end;) {
    CVertex3 v = V;
    CVertex2 t = T;
    CFace f = F;
    const LineKind kind = ClassifyLine(line, end);
    const char* stop = line;
    if (kind == LineKind::Vertex) stop = ScanVertexLine(line, end, &v);
    if (kind == LineKind::Coord) stop = ScanCoordLine(line, end, &t);
    if (kind == LineKind::Face) stop = ScanFaceLine(line, end, &f);
    const char* lineFeed = FindLineFeed(stop, end);
    size_t length = static_cast<size_t>(lineFeed - line);
    if (lineFeed != end && length > 0 && lineFeed[-1] == '\r') --length;
    if (length > MaxLineLength) break;
    line = lineFeed == end ? end : lineFeed + 1;
    if (kind == LineKind::Vertex && vertices.Reserve(CountVertices + size_t{2})) {
      V = v;
      if (bounds) {
        if (V.x < minX) minX = V.x;
        if (V.x > maxX) maxX = V.x;
        if (V.y < minY) minY = V.y;
        if (V.y > maxY) maxY = V.y;
      }
      vertices.data[++CountVertices] = V;
    } else if (kind == LineKind::Coord && coords.Reserve(CountCoordText + size_t{2})) {
      T = t;
      coords.data[++CountCoordText] = T;
    } else if (kind == LineKind::Face && faces.Reserve(CountFace + size_t{1})) {
      F = f;
      faces.data[CountFace++] = F;
    }
  }
  const int32_t coordSlots = (CountCoordText > CountVertices ? CountCoordText : CountVertices) + 1;
  coords.Reserve(static_cast<size_t>(coordSlots));
  std::memset(coords.data + CountCoordText + 1, 0, static_cast<size_t>(coordSlots - CountCoordText - 1) * sizeof(CVertex2));
  CountFace = KeepValidFaces(faces.data, CountFace, CountVertices);
  Model.CountVertices = CountVertices;
  Model.Vertices = vertices.Trim(static_cast<size_t>(CountVertices) + 1);
  Model.CountCoordText = CountCoordText;
  Model.CoordText = coords.Trim(static_cast<size_t>(coordSlots));
  Model.CountFace = CountFace;
  Model.Face = faces.Trim(static_cast<size_t>(CountFace));
}

void LoadModel() {
  size_t size = 0;
  const uint8_t* view = MapFile(LoadFileName, &size);
  ReadModelText(reinterpret_cast<const char*>(view), view ? size : 0);
  UnmapFile(view, size);
  if (NamSectionModel == 1) LocationModel.push_back(Model);
  if (LogLevel >= 2) WriteLog("LoadFromFile   LoadModel() LocationModel.push_back(*Model);", static_cast<float>(NamSectionModel));
  if (NamSectionModel == 2) HorizonModel.push_back(Model);
  if (LogLevel >= 2) WriteLog("LoadFromFile   LoadModel() HorizonModel.push_back(*Model);", static_cast<float>(NamSectionModel));
  if (NamSectionModel == 3) ObjectsModel.push_back(Model);
  if (LogLevel >= 2) WriteLog("LoadFromFile   ObjectsModel() LocationModel.push_back(*Model);", static_cast<float>(NamSectionModel));
  if (NamSectionModel == 4) GladerModel.push_back(Model);
  if (LogLevel >= 2) WriteLog("LoadFromFile   LoadModel() GladerModel.push_back(*Model);", static_cast<float>(NamSectionModel));
  if (LogLevel >= 1) WriteLog("LoadFromFile   LoadModel() NamSectionModel", static_cast<float>(NamSectionModel));
}

static void LoadSection(int section, const std::vector<CLinkInfo>& links, int count) {
  NamSectionModel = section;
  for (int i = 0; i < count; ++i) {
    if (section == 1) ++CountLocationFiles;
    std::snprintf(LoadFileName, sizeof LoadFileName, "%s.obj", links[i].NameModel);
    LoadModel();
    if (section == 1) ++CountLocationFiles;
    std::snprintf(LoadFileName, sizeof LoadFileName, "%s.bmp", links[i].NameModel);
    LoadGLTextures();
  }
}

void linkFile() {
  if (LogLevel >= 1) WriteLog("LoadFromFile   START linkFile()", 0);
  LoadSection(1, LocationLinks, CountLocationLinks);
  LoadSection(2, HorizonLinks, CountHorizonLinks);
  LoadSection(3, ObjectsLinks, CountObjectsLinks);
  NamSectionModel = 4;
  std::snprintf(LoadFileName, sizeof LoadFileName, "%s", "Glader/glader01.obj");
  LoadModel();
  std::snprintf(LoadFileName, sizeof LoadFileName, "%s", "Glader/glader01.bmp");
  LoadGLTextures();
  if (LogLevel >= 1) WriteLog("LoadFromFile   END linkFile() NamSectionModel", static_cast<float>(NamSectionModel));
}
