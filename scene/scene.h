// Scene loading: the link file, the OBJ meshes, and the link, model and texture lists of the four sections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/config.h"

struct CVertex3 {
  float x, y, z;
};

struct CVertex2 {
  float x, y;
};

struct CFace {
  int32_t Index[3];  // 1-based vertex numbers; they index Vertices and CoordText alike
};

// One mesh; element 0 of Vertices and CoordText is a zero element, so face numbers index them directly.
struct CModel {
  int32_t CountVertices;
  CVertex3* Vertices;
  int32_t CountCoordText;
  CVertex2* CoordText;  // at least CountVertices + 1 elements, zero past CountCoordText
  int32_t CountFace;
  CFace* Face;
};

// One link entry: the base name of its files and where its mesh is placed.
struct CLinkInfo {
  char NameModel[100];
  char Text[256];
  int32_t CountPosition;
  CVertex3 Position[10];
};

constexpr size_t MaxLineLength = 254;  // longer lines end the reading of a text file

extern CLinkInfo LinkInfo;                      // entry being read (LoadFromFile: LoadLink)
extern std::vector<CLinkInfo> LocationLinks;    // section 1, terrain (LoadFromFile: LoadLink)
extern std::vector<CLinkInfo> HorizonLinks;     // section 2, sky (LoadFromFile: LoadLink)
extern std::vector<CLinkInfo> ObjectsLinks;     // section 3, placed objects (LoadFromFile: LoadLink)
extern int CountLocationLinks;                  // size of LocationLinks (LoadFromFile: LoadLink)
extern int CountHorizonLinks;                   // size of HorizonLinks (LoadFromFile: LoadLink)
extern int CountObjectsLinks;                   // size of ObjectsLinks (LoadFromFile: LoadLink)
extern int CountSectionLinkInfo;                // section lines seen so far (LoadFromFile: LoadLink)

extern CModel Model;                            // mesh just read (LoadFromFile: LoadModel)
extern std::vector<CModel> LocationModel;       // terrain meshes (LoadFromFile: LoadModel)
extern std::vector<CModel> HorizonModel;        // sky meshes (LoadFromFile: LoadModel)
extern std::vector<CModel> ObjectsModel;        // object meshes (LoadFromFile: LoadModel)
extern std::vector<CModel> GladerModel;         // the glider, element 0 (LoadFromFile: LoadModel)
extern float minX, maxX, minY, maxY;            // terrain bounds from the first Location mesh (LoadFromFile: LoadModel)

extern char LoadFileName[256];                  // file to load next (LoadFromFile: linkFile)
extern int NamSectionModel;                     // section being loaded, 1..4 (LoadFromFile: linkFile)
extern int CountLocationFiles;                  // Location files opened so far (LoadFromFile: linkFile)

extern std::vector<uint32_t> LocationTexture;   // texture names, parallel to LocationModel (texture: LoadGLTextures)
extern std::vector<uint32_t> HorizonTexture;    // parallel to HorizonModel (texture: LoadGLTextures)
extern std::vector<uint32_t> ObjectsTexture;    // parallel to ObjectsModel (texture: LoadGLTextures)
extern std::vector<uint32_t> GladerTexture;     // the glider's texture, element 0 (texture: LoadGLTextures)
struct RGBImage;
// Makes a new texture name holding the picture (none: a name without one) and returns it; LoadGLTextures
// calls it for every texture it loads (set by init: InitializeOpenGL, or by the scene tools).
extern uint32_t (*UploadTexture)(const RGBImage* image);

void LoadLink();
void LoadModel();
void linkFile();
void LoadGLTextures();
// Empties the link lists and their counters, as they are when the process starts.
void ClearLinks();
// ClearLinks, and the model and texture lists and their counters too, so that a scene can be loaded again in
// the same process.
void ClearScene();
// Appends `item` to the list of the section being loaded (NamSectionModel, 1..4), logging at level 2 one
// line a section, whether it took the item or not.
template <typename T>
void PushForSection(std::vector<T>* const (&lists)[4], const T& item, const char* const (&logLines)[4]) {
  for (int s = 0; s < 4; ++s) {
    if (NamSectionModel == s + 1) lists[s]->push_back(item);
    if (LogLevel >= 2) WriteLog(logLines[s], static_cast<float>(NamSectionModel));
  }
}

// Appends the entries of link text in memory to the three link lists.
void ReadLinkText(const char* text, size_t size);
// Fills Model from mesh text in memory, with the terrain bounds when CountLocationFiles is 1. The text is
// read in `parts` pieces at once, split at line feeds; the result is that of one reading from the top.
void ReadModelText(const char* text, size_t size, int parts = 1);

// The mesh line scans, exact to "%f %f %f" and "%d %d %d   %d %d %d    %d %d %d" on the text after the
// skipped columns; a value that does not scan keeps its old value. Each reads the line that starts at `line`
// up to its line feed (or `end`), returns where it stopped, at or before that line feed, and sets *assigned
// to how many of the kept values it wrote (always the first ones: x before y before z).
const char* ScanVertexLine(const char* line, const char* end, CVertex3* v, int* assigned);
const char* ScanCoordLine(const char* line, const char* end, CVertex2* t, int* assigned);
const char* ScanFaceLine(const char* line, const char* end, CFace* f, int* assigned);
// The first line feed at or after p, or end.
const char* FindLineFeed(const char* p, const char* end);
