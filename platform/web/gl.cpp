// The fixed-function GL 1.1 and GLU calls the program makes, over WebGL 2: matrix stacks computed as Mesa and
// GLU compute them, immediate mode, client arrays uploaded once, textures, pixel reads and bitmap lists.
#include <emscripten/html5_webgl.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace {

// Column-major, as GL keeps matrices.
struct Matrix {
  float m[16];
};
constexpr Matrix identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// a × b in float, each element summed left to right as Mesa does, so the products round as the desktop's.
Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix p;
  for (int i = 0; i < 4; ++i) {
    const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
    for (int j = 0; j < 4; ++j)
      p.m[j * 4 + i] = ai0 * b.m[j * 4] + ai1 * b.m[j * 4 + 1] + ai2 * b.m[j * 4 + 2] + ai3 * b.m[j * 4 + 3];
  }
  return p;
}

// Mesa's depth for both stacks; a push beyond it or a pop of the last matrix is ignored, as GL does.
constexpr size_t stackDepth = 32;
std::vector<Matrix> modelview{identity}, projection{identity};
std::vector<Matrix>* stack = &modelview;

struct Vertex {
  float position[3], texCoord[2], colour[4];
};

float colour[4] = {1, 1, 1, 1};
GLenum primitive;
std::vector<Vertex> begun;
bool texturing, vertexArray, texCoordArray;
GLint viewport[4];
GLint packAlignment = 4;

struct ClientArray {
  GLint size;
  GLsizei stride;
  const void* pointer;
};
ClientArray vertices, texCoords;

// Client arrays and index lists are taken to stay as they are once drawn (the program's meshes never change
// after loading): each is uploaded on its first draw, keyed by its address and length, and never sent again.
using ClientKey = std::pair<const void*, size_t>;
std::map<ClientKey, GLuint> arrayBuffers, indexBuffers;
std::map<ClientKey, GLuint> vertexCounts;  // of each index list: its highest index + 1

// Textures sample as GL 1.1 does only when complete; an incomplete one leaves the colour untextured, where
// WebGL would sample black.
struct Texture {
  bool image;
  GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
};
std::map<GLuint, Texture> textures;
GLuint boundTexture;

// One glBitmap of a display list, its bits kept in the atlas.
struct Bitmap {
  int atlasX, atlasY, width, height;
  float xorig, yorig, xmove, ymove;
};
std::vector<std::vector<Bitmap>> lists{1};  // list 0 is no list
GLuint compiling, listBase;
std::vector<GLuint> attribStack;  // the list bases glPushAttrib(GL_LIST_BIT) saved

// Glyph bits, one byte a pixel (0 or 255), packed on shelves; uploaded again only after a list added some.
constexpr int atlasWidth = 1024;  // a multiple of 4: rows need no unpack alignment
std::vector<uint8_t> atlas;
int shelfX, shelfY, shelfHeight;
bool atlasChanged;

bool rasterValid = true;
float raster[3];  // window x, y and z
float rasterColour[4] = {1, 1, 1, 1};

struct Programs {
  GLuint scene, glyphs;
  GLint mvp, textured, glyphViewport, glyphDepth, glyphColour;
  GLuint stream, atlasTexture;
};

const char* const sceneVertex = R"(#version 300 es
uniform mat4 mvp;
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 colour;
out vec2 uv;
out vec4 tint;
void main() {
  gl_Position = mvp * vec4(position, 1.0);
  uv = texCoord;
  tint = colour;
})";

// GL_MODULATE, the texture environment GL starts with.
const char* const sceneFragment = R"(#version 300 es
precision highp float;
uniform sampler2D image;
uniform bool textured;
in vec2 uv;
in vec4 tint;
out vec4 fragment;
void main() {
  fragment = textured ? tint * texture(image, uv) : tint;
})";

// Glyph quads come in window coordinates with atlas texel coordinates; a pixel is drawn where its bit is set.
const char* const glyphVertex = R"(#version 300 es
uniform vec4 viewport;
uniform float depth;
layout(location = 0) in vec2 window;
layout(location = 1) in vec2 texel;
out vec2 cell;
void main() {
  gl_Position = vec4((window - viewport.xy) / viewport.zw * 2.0 - 1.0, depth, 1.0);
  cell = texel;
})";

const char* const glyphFragment = R"(#version 300 es
precision highp float;
uniform highp sampler2D atlas;
uniform vec4 colour;
in vec2 cell;
out vec4 fragment;
void main() {
  if (texelFetch(atlas, ivec2(cell), 0).r < 0.5) discard;
  fragment = colour;
})";

GLuint Compile(const char* vertexSource, const char* fragmentSource) {
  const GLuint program = emscripten_glCreateProgram();
  const GLenum kinds[2] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
  const char* sources[2] = {vertexSource, fragmentSource};
  for (int i = 0; i < 2; ++i) {
    const GLuint shader = emscripten_glCreateShader(kinds[i]);
    emscripten_glShaderSource(shader, 1, &sources[i], nullptr);
    emscripten_glCompileShader(shader);
    emscripten_glAttachShader(program, shader);
    emscripten_glDeleteShader(shader);
  }
  emscripten_glLinkProgram(program);
  return program;
}

// Made at the first draw, in the context current then (the program has one).
Programs& Ready() {
  static Programs p;
  static bool made;
  if (made) return p;
  made = true;
  p.scene = Compile(sceneVertex, sceneFragment);
  p.mvp = emscripten_glGetUniformLocation(p.scene, "mvp");
  p.textured = emscripten_glGetUniformLocation(p.scene, "textured");
  p.glyphs = Compile(glyphVertex, glyphFragment);
  p.glyphViewport = emscripten_glGetUniformLocation(p.glyphs, "viewport");
  p.glyphDepth = emscripten_glGetUniformLocation(p.glyphs, "depth");
  p.glyphColour = emscripten_glGetUniformLocation(p.glyphs, "colour");
  emscripten_glGenBuffers(1, &p.stream);
  emscripten_glGenTextures(1, &p.atlasTexture);
  return p;
}

Matrix ModelviewProjection() { return Multiply(projection.back(), modelview.back()); }

void UseSceneProgram(bool textured) {
  Programs& p = Ready();
  emscripten_glUseProgram(p.scene);
  const Matrix mvp = ModelviewProjection();
  emscripten_glUniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp.m);
  const auto t = textures.find(boundTexture);
  const bool complete = t != textures.end() && t->second.image &&
                        (t->second.minFilter == GL_NEAREST || t->second.minFilter == GL_LINEAR);
  emscripten_glUniform1i(p.textured, textured && texturing && complete);
}

void UploadOnce(std::map<ClientKey, GLuint>& cache, GLenum target, const void* data, size_t bytes) {
  auto [it, added] = cache.try_emplace({data, bytes}, 0);
  if (added) {
    emscripten_glGenBuffers(1, &it->second);
    emscripten_glBindBuffer(target, it->second);
    emscripten_glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
  } else {
    emscripten_glBindBuffer(target, it->second);
  }
}

void MultiplyCurrent(const Matrix& m) { stack->back() = Multiply(stack->back(), m); }

// The calls that reach WebGL do nothing without a current context (the window sends its size before the
// context exists); the state this layer keeps itself (matrices, colour, lists, raster position) is kept either way.
bool NoContext() { return emscripten_webgl_get_current_context() == 0; }

}  // namespace

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
  if (NoContext()) return;
  emscripten_glClearColor(red, green, blue, alpha);
}

void glClearDepth(GLclampd depth) {
  if (NoContext()) return;
  emscripten_glClearDepthf(static_cast<GLfloat>(depth));
}

void glClear(GLbitfield mask) {
  if (NoContext()) return;
  emscripten_glClear(mask);
}

void glDepthFunc(GLenum func) {
  if (NoContext()) return;
  emscripten_glDepthFunc(func);
}

// WebGL always interpolates with perspective correction, the nicest there is.
void glHint(GLenum target, GLenum mode) {
  if (NoContext()) return;
  if (target != GL_PERSPECTIVE_CORRECTION_HINT) emscripten_glHint(target, mode);
}

void glEnable(GLenum cap) {
  if (NoContext()) return;
  if (cap == GL_TEXTURE_2D)
    texturing = true;
  else
    emscripten_glEnable(cap);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  if (NoContext()) return;
  viewport[0] = x;
  viewport[1] = y;
  viewport[2] = width;
  viewport[3] = height;
  emscripten_glViewport(x, y, width, height);
}

void glGetIntegerv(GLenum pname, GLint* params) {
  if (NoContext()) return;
  if (pname == GL_VIEWPORT)
    std::memcpy(params, viewport, sizeof viewport);
  else
    emscripten_glGetIntegerv(pname, params);
}

void glMatrixMode(GLenum mode) { stack = mode == GL_PROJECTION ? &projection : &modelview; }

void glLoadIdentity() { stack->back() = identity; }

void glPushMatrix() {
  if (stack->size() < stackDepth) stack->push_back(stack->back());
}

void glPopMatrix() {
  if (stack->size() > 1) stack->pop_back();
}

void glMultMatrixf(const GLfloat* m) {
  Matrix f;
  std::memcpy(f.m, m, sizeof f.m);
  MultiplyCurrent(f);
}

void glMultMatrixd(const GLdouble* m) {
  Matrix f;
  for (int i = 0; i < 16; ++i) f.m[i] = static_cast<float>(m[i]);
  MultiplyCurrent(f);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  float* m = stack->back().m;
  for (int i = 0; i < 4; ++i) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

void glTranslated(GLdouble x, GLdouble y, GLdouble z) {
  glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// About a coordinate axis, the program's only rotations (others are ignored): the matrix takes cos and sin
// as they are, as Mesa builds it.
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  const bool onX = x != 0 && y == 0 && z == 0, onY = x == 0 && y != 0 && z == 0, onZ = x == 0 && y == 0 && z != 0;
  if (!onX && !onY && !onZ) return;
  const float s = static_cast<float>(std::sin(angle * M_PI / 180.0));
  const float c = static_cast<float>(std::cos(angle * M_PI / 180.0));
  const int axis = onX ? 0 : onY ? 1 : 2, a = (axis + 1) % 3, b = (axis + 2) % 3;
  const float sign = (onX ? x : onY ? y : z) < 0 ? -1.0f : 1.0f;
  Matrix r = identity;
  r.m[a * 4 + a] = c;
  r.m[b * 4 + b] = c;
  r.m[b * 4 + a] = -sign * s;  // row a, column b
  r.m[a * 4 + b] = sign * s;
  MultiplyCurrent(r);
}

// In double, as GLU computes it, then multiplied in as glMultMatrixd.
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  const double radians = fovy / 2 * M_PI / 180;
  const double deltaZ = zFar - zNear, sine = std::sin(radians);
  if (deltaZ == 0 || sine == 0 || aspect == 0) return;
  const double cotangent = std::cos(radians) / sine;
  const GLdouble m[16] = {cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0, 0, 0, -(zFar + zNear) / deltaZ, -1,
                          0, 0, -2 * zNear * zFar / deltaZ, 0};
  glMultMatrixd(m);
}

// GLU works its vectors out in float, its square roots in double.
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ) {
  auto normalize = [](float v[3]) {
    const float r = static_cast<float>(std::sqrt(static_cast<double>(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])));
    if (r == 0) return;
    for (int i = 0; i < 3; ++i) v[i] /= r;
  };
  auto cross = [](const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  };
  float forward[3] = {static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                      static_cast<float>(centerZ - eyeZ)};
  float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
  float side[3];
  normalize(forward);
  cross(forward, up, side);
  normalize(side);
  cross(side, forward, up);
  const GLfloat m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                         side[2], up[2], -forward[2], 0, 0,       0,     0,           1};
  glMultMatrixf(m);
  glTranslated(-eyeX, -eyeY, -eyeZ);
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
  colour[0] = red;
  colour[1] = green;
  colour[2] = blue;
  colour[3] = 1;
}

void glBegin(GLenum mode) {
  primitive = mode;
  begun.clear();
}

// The current texture coordinate is GL's initial (0, 0): the program never sets one.
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  begun.push_back(Vertex{{x, y, z}, {0, 0}, {colour[0], colour[1], colour[2], colour[3]}});
}

void glEnd() {
  if (NoContext()) return;
  if (begun.empty()) return;
  Programs& p = Ready();
  UseSceneProgram(true);
  emscripten_glBindBuffer(GL_ARRAY_BUFFER, p.stream);
  emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(begun.size() * sizeof(Vertex)), begun.data(),
                          GL_STREAM_DRAW);
  const GLint sizes[3] = {3, 2, 4};
  const size_t offsets[3] = {offsetof(Vertex, position), offsetof(Vertex, texCoord), offsetof(Vertex, colour)};
  for (GLuint i = 0; i < 3; ++i) {
    emscripten_glEnableVertexAttribArray(i);
    emscripten_glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                     reinterpret_cast<const void*>(offsets[i]));
  }
  emscripten_glDrawArrays(primitive, 0, static_cast<GLsizei>(begun.size()));
  begun.clear();
}

void glEnableClientState(GLenum array) {
  if (array == GL_VERTEX_ARRAY) vertexArray = true;
  if (array == GL_TEXTURE_COORD_ARRAY) texCoordArray = true;
}

void glVertexPointer(GLint size, GLenum, GLsizei stride, const GLvoid* pointer) {
  vertices = ClientArray{size, stride ? stride : size * 4, pointer};
}

void glTexCoordPointer(GLint size, GLenum, GLsizei stride, const GLvoid* pointer) {
  texCoords = ClientArray{size, stride ? stride : size * 4, pointer};
}

// Float arrays with 32-bit indices, as the program draws its meshes.
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
  if (NoContext()) return;
  if (!vertexArray || count <= 0 || type != GL_UNSIGNED_INT || !indices || !vertices.pointer) return;
  Ready();
  const size_t indexBytes = static_cast<size_t>(count) * sizeof(GLuint);
  UploadOnce(indexBuffers, GL_ELEMENT_ARRAY_BUFFER, indices, indexBytes);
  auto [counted, added] = vertexCounts.try_emplace({indices, indexBytes}, 0);
  if (added) {
    const GLuint* index = static_cast<const GLuint*>(indices);
    for (GLsizei i = 0; i < count; ++i)
      if (index[i] >= counted->second) counted->second = index[i] + 1;
  }
  const GLuint vertexCount = counted->second;
  UseSceneProgram(texCoordArray && texCoords.pointer);
  const ClientArray* arrays[2] = {&vertices, texCoordArray ? &texCoords : nullptr};
  for (GLuint i = 0; i < 2; ++i) {
    const ClientArray* a = arrays[i];
    if (!a || !a->pointer) {
      emscripten_glDisableVertexAttribArray(i);
      emscripten_glVertexAttrib4f(i, 0, 0, 0, 1);
      continue;
    }
    const size_t bytes = static_cast<size_t>(vertexCount - 1) * a->stride + static_cast<size_t>(a->size) * 4;
    UploadOnce(arrayBuffers, GL_ARRAY_BUFFER, a->pointer, bytes);
    emscripten_glEnableVertexAttribArray(i);
    emscripten_glVertexAttribPointer(i, a->size, GL_FLOAT, GL_FALSE, a->stride, nullptr);
  }
  emscripten_glDisableVertexAttribArray(2);
  emscripten_glVertexAttrib4fv(2, colour);
  emscripten_glDrawElements(mode, count, GL_UNSIGNED_INT, nullptr);
}

void glGenTextures(GLsizei n, GLuint* names) {
  if (NoContext()) return;
  emscripten_glGenTextures(n, names);
  for (GLsizei i = 0; i < n; ++i) textures[names[i]] = Texture{};
}

void glBindTexture(GLenum target, GLuint texture) {
  if (NoContext()) return;
  boundTexture = texture;
  emscripten_glBindTexture(target, texture);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
  if (NoContext()) return;
  if (pname == GL_TEXTURE_MIN_FILTER) textures[boundTexture].minFilter = param;
  emscripten_glTexParameteri(target, pname, param);
}

void glPixelStorei(GLenum pname, GLint param) {
  if (NoContext()) return;
  if (pname == GL_PACK_ALIGNMENT) packAlignment = param;
  emscripten_glPixelStorei(pname, param);
}

// Internal format 3 is GL 1.1's count of components: RGB. An image larger than the GPU takes is refused, as
// GL refuses it: the texture is left without one.
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
  if (NoContext()) return;
  static GLint largest = 0;
  if (largest == 0) emscripten_glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  const bool fits = width > 0 && height > 0 && width <= largest && height <= largest;
  if (level == 0) textures[boundTexture].image = fits;
  if (!fits) return;
  const GLint sized = internalformat == 3 || internalformat == GL_RGB ? GL_RGB8 : internalformat;
  emscripten_glTexImage2D(target, level, sized, width, height, border, format, type, pixels);
}

void glReadBuffer(GLenum mode) {
  if (NoContext()) return;
  emscripten_glReadBuffer(mode);
}

// WebGL reads RGBA; the rows are packed down to RGB at the pack alignment, bottom row first as read.
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels) {
  if (NoContext()) return;
  if (format != GL_RGB || type != GL_UNSIGNED_BYTE || width <= 0 || height <= 0) {
    emscripten_glReadPixels(x, y, width, height, format, type, pixels);
    return;
  }
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  emscripten_glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const size_t row = (static_cast<size_t>(width) * 3 + packAlignment - 1) / packAlignment * packAlignment;
  uint8_t* out = static_cast<uint8_t*>(pixels);
  for (GLsizei r = 0; r < height; ++r)
    for (GLsizei c = 0; c < width; ++c)
      std::memcpy(out + r * row + c * 3, &rgba[(static_cast<size_t>(r) * width + c) * 4], 3);
}

// Projected as GL projects a vertex; outside the clip volume the position is invalid and bitmaps draw nothing.
void glRasterPos2f(GLfloat x, GLfloat y) {
  const Matrix mvp = ModelviewProjection();
  float clip[4];
  for (int i = 0; i < 4; ++i) clip[i] = mvp.m[i] * x + mvp.m[4 + i] * y + mvp.m[12 + i];
  rasterValid = true;
  for (int i = 0; i < 3; ++i) rasterValid = rasterValid && clip[i] >= -clip[3] && clip[i] <= clip[3];
  if (!rasterValid) return;
  const float half[2] = {viewport[2] / 2.0f, viewport[3] / 2.0f};
  const float d = clip[3] == 0 ? 1.0f : 1.0f / clip[3];  // times the reciprocal, as GL divides by w
  raster[0] = clip[0] * d * half[0] + (viewport[0] + half[0]);
  raster[1] = clip[1] * d * half[1] + (viewport[1] + half[1]);
  raster[2] = clip[2] * d * 0.5f + 0.5f;
  std::memcpy(rasterColour, colour, sizeof colour);
}

GLuint glGenLists(GLsizei range) {
  if (range <= 0) return 0;
  const GLuint first = static_cast<GLuint>(lists.size());
  lists.resize(lists.size() + static_cast<size_t>(range));
  return first;
}

void glNewList(GLuint list, GLenum) {
  if (list == 0 || list >= lists.size()) return;
  compiling = list;
  lists[list].clear();
}

void glEndList() { compiling = 0; }

// Recorded into the list being compiled, the only way the program uses bitmaps. One wider than the atlas
// draws nothing but still moves the raster position.
void glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
              const GLubyte* bitmap) {
  if (!compiling) return;
  const bool drawn = bitmap && width <= atlasWidth;
  Bitmap b{0, 0, drawn ? width : 0, drawn ? height : 0, xorig, yorig, xmove, ymove};
  if (b.width > 0 && b.height > 0) {
    if (shelfX + b.width > atlasWidth) {
      shelfX = 0;
      shelfY += shelfHeight;
      shelfHeight = 0;
    }
    b.atlasX = shelfX;
    b.atlasY = shelfY;
    shelfX += b.width;
    if (b.height > shelfHeight) shelfHeight = b.height;
    atlas.resize(static_cast<size_t>(atlasWidth) * (shelfY + shelfHeight));
    const int pitch = (b.width + 7) / 8;
    for (int r = 0; r < b.height; ++r)
      for (int c = 0; c < b.width; ++c)
        if (bitmap[r * pitch + c / 8] & (0x80 >> (c % 8))) atlas[(b.atlasY + r) * atlasWidth + b.atlasX + c] = 255;
    atlasChanged = true;
  }
  lists[compiling].push_back(b);
}

void glListBase(GLuint base) { listBase = base; }

// Each bitmap goes where GL puts it: its origin on the raster position, rounded down as Mesa rounds.
void glCallLists(GLsizei n, GLenum type, const GLvoid* names) {
  if (NoContext()) return;
  if (type != GL_UNSIGNED_BYTE || !names) return;
  struct Corner {
    float window[2], texel[2];
  };
  std::vector<Corner> quads;
  const GLubyte* name = static_cast<const GLubyte*>(names);
  for (GLsizei i = 0; i < n && rasterValid; ++i) {
    const GLuint list = listBase + name[i];
    if (list == 0 || list >= lists.size()) continue;
    for (const Bitmap& b : lists[list]) {
      if (b.width > 0 && b.height > 0) {
        const float x = std::floor(raster[0] + 0.0001f - b.xorig), y = std::floor(raster[1] + 0.0001f - b.yorig);
        const float ax = static_cast<float>(b.atlasX), ay = static_cast<float>(b.atlasY);
        const float w = static_cast<float>(b.width), h = static_cast<float>(b.height);
        const Corner c[4] = {{{x, y}, {ax, ay}}, {{x + w, y}, {ax + w, ay}}, {{x, y + h}, {ax, ay + h}},
                             {{x + w, y + h}, {ax + w, ay + h}}};
        for (int k : {0, 1, 2, 2, 1, 3}) quads.push_back(c[k]);
      }
      raster[0] += b.xmove;
      raster[1] += b.ymove;
    }
  }
  if (quads.empty()) return;
  Programs& p = Ready();
  emscripten_glBindTexture(GL_TEXTURE_2D, p.atlasTexture);
  if (atlasChanged) {
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, atlasWidth, static_cast<GLsizei>(atlas.size() / atlasWidth), 0,
                            GL_RED, GL_UNSIGNED_BYTE, atlas.data());
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    atlasChanged = false;
  }
  emscripten_glUseProgram(p.glyphs);
  emscripten_glUniform4f(p.glyphViewport, static_cast<float>(viewport[0]), static_cast<float>(viewport[1]),
                         static_cast<float>(viewport[2]), static_cast<float>(viewport[3]));
  emscripten_glUniform1f(p.glyphDepth, raster[2] * 2 - 1);
  emscripten_glUniform4fv(p.glyphColour, 1, rasterColour);
  emscripten_glBindBuffer(GL_ARRAY_BUFFER, p.stream);
  emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(Corner)), quads.data(),
                          GL_STREAM_DRAW);
  for (GLuint i = 0; i < 2; ++i) {
    emscripten_glEnableVertexAttribArray(i);
    emscripten_glVertexAttribPointer(i, 2, GL_FLOAT, GL_FALSE, sizeof(Corner),
                                     reinterpret_cast<const void*>(i * 2 * sizeof(float)));
  }
  emscripten_glDisableVertexAttribArray(2);
  emscripten_glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(quads.size()));
  emscripten_glBindTexture(GL_TEXTURE_2D, boundTexture);
}

// Only the list base is kept: GL_LIST_BIT is the one group the program pushes.
void glPushAttrib(GLbitfield) { attribStack.push_back(listBase); }

void glPopAttrib() {
  if (attribStack.empty()) return;
  listBase = attribStack.back();
  attribStack.pop_back();
}
