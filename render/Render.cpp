// One frame: the first frame's loading, then the cleared buffers.
#include <GL/gl.h>

#include <cstddef>

#include "config/config.h"
#include "render/render.h"

int bLoaded;

void RenderScene() {
  if (bLoaded == 0) {
    if (LogLevel > 0) WriteLog("Render   RenderScene(Start Load) Proces", static_cast<float>(bLoaded));
    bLoaded = 1;
    LoadSetting();
    if (LogLevel > 0) WriteLog("Render   RenderScene(End Load) Proces", static_cast<float>(bLoaded));
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void ReadFramePixels(std::vector<uint8_t>* rgb, int* width, int* height) {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  *width = viewport[2];
  *height = viewport[3];
  rgb->assign(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 3, 0);
  if (rgb->empty()) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(viewport[0], viewport[1], *width, *height, GL_RGB, GL_UNSIGNED_BYTE, rgb->data());
}
