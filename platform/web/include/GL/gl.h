// The GL 1.1 subset the program draws with, as the web build's fixed-function layer (platform/web/gl.cpp)
// provides it over WebGL 2. Constants shared with GLES 3 are spelt as its header spells them.
#pragma once

typedef unsigned int GLenum;
typedef unsigned int GLbitfield;
typedef unsigned int GLuint;
typedef int GLint;
typedef int GLsizei;
typedef unsigned char GLboolean;
typedef unsigned char GLubyte;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;
typedef void GLvoid;

#define GL_LINES                          0x0001
#define GL_TRIANGLES                      0x0004
#define GL_LESS                           0x0201
#define GL_BACK                           0x0405
#define GL_DEPTH_TEST                     0x0B71
#define GL_VIEWPORT                       0x0BA2
#define GL_UNPACK_ALIGNMENT               0x0CF5
#define GL_PACK_ALIGNMENT                 0x0D05
#define GL_TEXTURE_2D                     0x0DE1
#define GL_NICEST                         0x1102
#define GL_UNSIGNED_BYTE                  0x1401
#define GL_UNSIGNED_INT                   0x1405
#define GL_FLOAT                          0x1406
#define GL_RGB                            0x1907
#define GL_LINEAR                         0x2601
#define GL_TEXTURE_MAG_FILTER             0x2800
#define GL_TEXTURE_MIN_FILTER             0x2801
#define GL_DEPTH_BUFFER_BIT               0x00000100
#define GL_COLOR_BUFFER_BIT               0x00004000
#define GL_LIST_BIT                       0x00020000
#define GL_COMPILE                        0x1300
#define GL_PERSPECTIVE_CORRECTION_HINT    0x0C50
#define GL_MODELVIEW                      0x1700
#define GL_PROJECTION                     0x1701
#define GL_VERTEX_ARRAY                   0x8074
#define GL_TEXTURE_COORD_ARRAY            0x8078

#ifdef __cplusplus
extern "C" {
#endif

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void glClearDepth(GLclampd depth);
void glClear(GLbitfield mask);
void glDepthFunc(GLenum func);
void glHint(GLenum target, GLenum mode);
void glEnable(GLenum cap);
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void glGetIntegerv(GLenum pname, GLint* params);

void glMatrixMode(GLenum mode);
void glLoadIdentity(void);
void glPushMatrix(void);
void glPopMatrix(void);
void glMultMatrixf(const GLfloat* m);
void glMultMatrixd(const GLdouble* m);
void glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void glTranslated(GLdouble x, GLdouble y, GLdouble z);
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);

void glBegin(GLenum mode);
void glEnd(void);
void glColor3f(GLfloat red, GLfloat green, GLfloat blue);
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);

void glEnableClientState(GLenum array);
void glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer);
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices);

void glGenTextures(GLsizei n, GLuint* textures);
void glBindTexture(GLenum target, GLuint texture);
void glTexParameteri(GLenum target, GLenum pname, GLint param);
void glPixelStorei(GLenum pname, GLint param);
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels);

void glReadBuffer(GLenum mode);
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels);

void glRasterPos2f(GLfloat x, GLfloat y);
void glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
              const GLubyte* bitmap);
GLuint glGenLists(GLsizei range);
void glNewList(GLuint list, GLenum mode);
void glEndList(void);
void glListBase(GLuint base);
void glCallLists(GLsizei n, GLenum type, const GLvoid* lists);
void glPushAttrib(GLbitfield mask);
void glPopAttrib(void);

#ifdef __cplusplus
}
#endif
