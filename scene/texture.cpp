// Texture upload of a section's BMP into a new GL texture name.
#include <GL/gl.h>

#include "config/config.h"
#include "image/image.h"
#include "scene/scene.h"

std::vector<uint32_t> LocationTexture;
std::vector<uint32_t> HorizonTexture;
std::vector<uint32_t> ObjectsTexture;
std::vector<uint32_t> GladerTexture;

// A picture that cannot be read still gets its texture name, with no image, so the lists stay parallel.
void LoadGLTextures() {
  RGBImage* image = LoadDIBImage(LoadFileName);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows are packed without pad
  if (image) glTexImage2D(GL_TEXTURE_2D, 0, 3, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE, image->data);
  if (NamSectionModel == 1) LocationTexture.push_back(texture);
  if (LogLevel >= 2) WriteLog("texture   LoadGLTextures() LocationTexture.push_back(texture);", static_cast<float>(NamSectionModel));
  if (NamSectionModel == 2) HorizonTexture.push_back(texture);
  if (LogLevel >= 2) WriteLog("texture   LoadGLTextures() HorizonTexture.push_back(texture);", static_cast<float>(NamSectionModel));
  if (NamSectionModel == 3) ObjectsTexture.push_back(texture);
  if (LogLevel >= 2) WriteLog("texture   LoadGLTextures() ObjectsTexture.push_back(texture);", static_cast<float>(NamSectionModel));
  if (NamSectionModel == 4) GladerTexture.push_back(texture);
  if (LogLevel >= 2) WriteLog("texture   LoadGLTextures() GladerTexture.push_back(texture);", static_cast<float>(NamSectionModel));
  if (LogLevel >= 1) WriteLog("texture   LoadGLTextures() NamSectionModel", static_cast<float>(NamSectionModel));
}
