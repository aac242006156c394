// The bitmap font built from a system font into display lists, formatted printing with it, and the overlay.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "physics/physics.h"
#include "platform/platform.h"
#include "render/render.h"
// Last: on Windows the GL headers need <windows.h>, which platform.h brings.
#include <GL/gl.h>
#include <GL/glu.h>

unsigned int base;

void BuildFont() {
  base = glGenLists(96);
  HFONT font = CreateFont(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                          ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH, "Courier New");
  SelectObject(wglGetCurrentDC(), font);
  wglUseFontBitmaps(wglGetCurrentDC(), 32, 96, base);
  if (LogLevel > 0) WriteLog("Text   BuildFont(GLvoid)  base", static_cast<float>(base));
}

void PrintText(const char* format, ...) {
  if (format == nullptr) return;
  char text[256];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  glPushAttrib(GL_LIST_BIT);
  glListBase(base - 32u);
  glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
  glPopAttrib();
}

void FormatOverlayLines(char lines[3][255]) {
  std::snprintf(lines[0], 255, "%s%f%s%f%s%f", "Glader.x= ", static_cast<double>(Glader.x), "  Glader.y= ",
                static_cast<double>(Glader.y), "  Glader.z= ", static_cast<double>(Glader.z));
  std::snprintf(lines[1], 255, "%s%f%s%f%s%f%s%f", "minX= ", static_cast<double>(minX), " maxX= ",
                static_cast<double>(maxX), " minY= ", static_cast<double>(minY), " maxY= ", static_cast<double>(maxY));
  std::snprintf(lines[2], 255, "%s%d%s%d%s%d", "NamFace= ", NamFace, "   indexCoordX= ", indexCoordX,
                "   indexCoordY= ", indexCoordY);
}

// The lines go through "%s" so that no character of a value is ever read as a conversion.
void DrawOverlay() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(20.0, 1.0, 0.5, 100.0);
  gluLookAt(-1, 0, 0, 0, 0, 0, 0, 0, 1);
  glColor3f(0, 0, 0);
  char lines[3][255];
  FormatOverlayLines(lines);
  const GLfloat steps[3][3] = {{0, 0.175f, 0.163f}, {0, 0, -0.009f}, {0, 0, -0.009f}};
  for (int i = 0; i < 3; ++i) {
    glTranslatef(steps[i][0], steps[i][1], steps[i][2]);
    glRasterPos2f(0, 0);
    PrintText("%s", lines[i]);
  }
}
