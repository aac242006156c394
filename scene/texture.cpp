// Texture loading of a section's BMP into a new texture name, kept in the section's texture list.
#include "config/config.h"
#include "image/image.h"
#include "scene/scene.h"

std::vector<uint32_t> LocationTexture;
std::vector<uint32_t> HorizonTexture;
std::vector<uint32_t> ObjectsTexture;
std::vector<uint32_t> GladerTexture;
uint32_t (*UploadTexture)(const RGBImage* image);

// A picture that cannot be read still gets its texture name, with no image, so the lists stay parallel.
void LoadGLTextures() {
  RGBImage* image = LoadDIBImage(LoadFileName);
  const uint32_t texture = UploadTexture ? UploadTexture(image) : 0;
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
