// Reading of the link file and the mesh files, and the assembly of the scene's lists from them.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

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

// One kind of element of a piece of mesh text, stored from slot First on (slot 0 of vertices and texture
// coordinates is the zero element). The piece is read as if the last value of its kind were zero at its
// start; `inherited` remembers which leading elements took a field from that value, so that the value
// left by the pieces before can be put in afterwards.
template <typename T, int N, int First>
struct PieceList {
  static_assert(sizeof(T) == N * sizeof(int32_t), "elements are N four-byte fields");
  static constexpr size_t Limit = size_t{INT32_MAX} - First;  // most elements a mesh holds

  GrowingArray<T> items;
  T last{};
  int32_t count = 0;
  int known = 0;               // leading fields that some line of the piece has written
  int32_t inherited[N] = {};   // per field, how many leading elements took it from the start value

  explicit PieceList(size_t initial) : items(initial) {}

  // Appends the value of a line that wrote its first `assigned` fields; false when the mesh is full.
  bool Append(const T& value, int assigned) {
    if (!items.Reserve(First + size_t(count) + 1)) return false;
    items.data[First + count++] = value;
    last = value;
    if (known < N) {
      if (assigned > known) known = assigned;
      for (int j = known; j < N; ++j) inherited[j] = count;
    }
    return true;
  }
  // Puts the fields the leading elements took from the start value in from `start`, and returns the
  // value this kind has after the piece.
  T FixUp(const T& start) {
    for (int j = 0; j < N; ++j)
      for (int32_t e = 0; e < inherited[j]; ++e)
        std::memcpy(reinterpret_cast<char*>(&items.data[First + e]) + j * sizeof(int32_t),
                    reinterpret_cast<const char*>(&start) + j * sizeof(int32_t), sizeof(int32_t));
    if (count == 0) return start;
    last = items.data[First + count - 1];
    return last;
  }
  // Moves the elements of a later piece to the end of this one, as far as the mesh has room.
  void Take(PieceList& later) {
    const size_t room = Limit - static_cast<size_t>(count);
    const size_t moved = static_cast<size_t>(later.count) < room ? static_cast<size_t>(later.count) : room;
    items.Reserve(First + count + moved);
    std::memcpy(items.data + First + count, later.items.data + First, moved * sizeof(T));
    count += static_cast<int32_t>(moved);
  }
};

// A piece of mesh text that ends after a line feed (or at the end of the text), read on its own.
struct MeshPiece {
  const char* begin;
  const char* end;
  PieceList<CVertex3, 3, 1> vertices;
  PieceList<CVertex2, 2, 1> coords;
  PieceList<CFace, 3, 0> faces;
  // minX, maxX, minY, maxY from 0, as read; a field taken from the start value is 0 here and, once put in,
  // one the pieces before have already counted, so the fix-up leaves the bounds as they are.
  float bounds[4] = {0, 0, 0, 0};
  bool cut = false;                // a line too long ended the text inside this piece

  MeshPiece(const char* from, const char* to)
      : begin(from), end(to), vertices(Guess()), coords(Guess()), faces(Guess()) {}
  size_t Guess() const { return static_cast<size_t>(end - begin) / 32 + 16; }

  void Widen(const CVertex3& v) {
    if (v.x < bounds[0]) bounds[0] = v.x;
    if (v.x > bounds[1]) bounds[1] = v.x;
    if (v.y < bounds[2]) bounds[2] = v.y;
    if (v.y > bounds[3]) bounds[3] = v.y;
  }
  void Release() {
    std::free(vertices.items.data);
    std::free(coords.items.data);
    std::free(faces.items.data);
  }
};

// Each line is scanned first and kept only once its line feed shows it is not too long.
void ReadPiece(MeshPiece* piece) {
  for (const char *line = piece->begin, *end = piece->end; line != end;) {
    CVertex3 v = piece->vertices.last;
    CVertex2 t = piece->coords.last;
    CFace f = piece->faces.last;
    int assigned = 0;
    const LineKind kind = ClassifyLine(line, end);
    const char* stop = line;
    if (kind == LineKind::Vertex) stop = ScanVertexLine(line, end, &v, &assigned);
    if (kind == LineKind::Coord) stop = ScanCoordLine(line, end, &t, &assigned);
    if (kind == LineKind::Face) stop = ScanFaceLine(line, end, &f, &assigned);
    const char* lineFeed = FindLineFeed(stop, end);
    size_t length = static_cast<size_t>(lineFeed - line);
    if (lineFeed != end && length > 0 && lineFeed[-1] == '\r') --length;
    if (length > MaxLineLength) {
      piece->cut = true;
      return;
    }
    line = lineFeed == end ? end : lineFeed + 1;
    if (kind == LineKind::Vertex) {
      if (piece->vertices.Append(v, assigned)) piece->Widen(v);
    } else if (kind == LineKind::Coord) {
      piece->coords.Append(t, assigned);
    } else if (kind == LineKind::Face) {
      piece->faces.Append(f, assigned);
    }
  }
}

// Reads the pieces, one thread each, and joins them in order into the first.
void ReadPieces(std::vector<MeshPiece>& pieces) {
  std::vector<std::thread> threads;
  for (size_t i = 1; i < pieces.size(); ++i) {
    try {
      threads.emplace_back(ReadPiece, &pieces[i]);
    } catch (const std::system_error&) {
      ReadPiece(&pieces[i]);
    }
  }
  ReadPiece(&pieces[0]);
  for (std::thread& thread : threads) thread.join();
  MeshPiece& whole = pieces[0];
  CVertex3 V{0, 0, 0};
  CVertex2 T{0, 0};
  CFace F{{0, 0, 0}};
  bool cut = false;
  for (MeshPiece& piece : pieces) {
    if (!cut) {
      V = piece.vertices.FixUp(V);
      T = piece.coords.FixUp(T);
      F = piece.faces.FixUp(F);
      if (&piece != &whole) {
        whole.vertices.Take(piece.vertices);
        whole.coords.Take(piece.coords);
        whole.faces.Take(piece.faces);
        whole.Widen(CVertex3{piece.bounds[0], piece.bounds[2], 0});
        whole.Widen(CVertex3{piece.bounds[1], piece.bounds[3], 0});
      }
      cut = piece.cut;
    }
    if (&piece != &whole) piece.Release();
  }
}

// One piece per core for large meshes; below a few megabytes a thread costs more than it saves. A browser
// build without threads (no cross-origin isolation, so no shared memory) reads in one piece.
int ModelReadParts(size_t size) {
  constexpr size_t pieceBytes = size_t{4} << 20;
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  const size_t cores = 1;
#else
  const size_t cores = std::thread::hardware_concurrency();
#endif
  const size_t parts = size / pieceBytes < cores ? size / pieceBytes : cores;
  return parts < 1 ? 1 : parts > 16 ? 16 : static_cast<int>(parts);
}

}  // namespace

void ReadModelText(const char* text, size_t size, int parts) {
  if (parts < 1 || size == 0) parts = 1;
  std::vector<MeshPiece> pieces;
  pieces.reserve(static_cast<size_t>(parts));
  const char* const end = text + size;
  const char* begin = text;
  for (int i = 1; i <= parts; ++i) {
    const char* cut = i == parts ? end : text + size / static_cast<size_t>(parts) * static_cast<size_t>(i);
    if (cut < begin) cut = begin;
    if (cut != end) cut = FindLineFeed(cut, end);
    if (cut != end) ++cut;
    pieces.emplace_back(begin, cut);
    begin = cut;
  }
  ReadPieces(pieces);
  MeshPiece& whole = pieces[0];
  if (CountLocationFiles == 1) {
    minX = whole.bounds[0];
    maxX = whole.bounds[1];
    minY = whole.bounds[2];
    maxY = whole.bounds[3];
  }
  const int32_t CountVertices = whole.vertices.count, CountCoordText = whole.coords.count;
  const int32_t coordSlots = (CountCoordText > CountVertices ? CountCoordText : CountVertices) + 1;
  CVertex3* vertices = whole.vertices.items.data;
  vertices[0] = CVertex3{0, 0, 0};
  GrowingArray<CVertex2>& coords = whole.coords.items;
  coords.Reserve(static_cast<size_t>(coordSlots));
  coords.data[0] = CVertex2{0, 0};
  std::memset(coords.data + CountCoordText + 1, 0, static_cast<size_t>(coordSlots - CountCoordText - 1) * sizeof(CVertex2));
  Model.CountVertices = CountVertices;
  Model.Vertices = whole.vertices.items.Trim(static_cast<size_t>(CountVertices) + 1);
  Model.CountCoordText = CountCoordText;
  Model.CoordText = coords.Trim(static_cast<size_t>(coordSlots));
  Model.CountFace = KeepValidFaces(whole.faces.items.data, whole.faces.count, CountVertices);
  Model.Face = whole.faces.items.Trim(static_cast<size_t>(Model.CountFace));
}

static const char* const kModelLogLines[4] = {"LoadFromFile   LoadModel() LocationModel.push_back(*Model);",
                                              "LoadFromFile   LoadModel() HorizonModel.push_back(*Model);",
                                              "LoadFromFile   ObjectsModel() LocationModel.push_back(*Model);",
                                              "LoadFromFile   LoadModel() GladerModel.push_back(*Model);"};

void LoadModel() {
  size_t size = 0;
  const uint8_t* view = MapFile(LoadFileName, &size);
  ReadModelText(reinterpret_cast<const char*>(view), view ? size : 0, ModelReadParts(size));
  UnmapFile(view, size);
  PushForSection({&LocationModel, &HorizonModel, &ObjectsModel, &GladerModel}, Model, kModelLogLines);
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

void ClearLinks() {
  LinkInfo = CLinkInfo{};
  LocationLinks.clear();
  HorizonLinks.clear();
  ObjectsLinks.clear();
  CountLocationLinks = CountHorizonLinks = CountObjectsLinks = CountSectionLinkInfo = 0;
}

void ClearScene() {
  ClearLinks();
  Model = CModel{};
  LocationModel.clear();
  HorizonModel.clear();
  ObjectsModel.clear();
  GladerModel.clear();
  minX = maxX = minY = maxY = 0;
  LoadFileName[0] = '\0';
  NamSectionModel = CountLocationFiles = 0;
  LocationTexture.clear();
  HorizonTexture.clear();
  ObjectsTexture.clear();
  GladerTexture.clear();
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
