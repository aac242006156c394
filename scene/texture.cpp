// Texture loading of a section's BMP into a new texture name, kept in the section's texture list.
#include "config/config.h"
#include "image/image.h"
#include "scene/scene.h"

std::vector<uint32_t> LocationTexture;
std::vector<uint32_t> HorizonTexture;
std::vector<uint32_t> ObjectsTexture;
std::vector<uint32_t> GladerTexture;
uint32_t (*UploadTexture)(const RGBImage* image);

static const char* const kTextureLogLines[4] = {"texture   LoadGLTextures() LocationTexture.push_back(texture);",
                                                "texture   LoadGLTextures() HorizonTexture.push_back(texture);",
                                                "texture   LoadGLTextures() ObjectsTexture.push_back(texture);",
                                                "texture   LoadGLTextures() GladerTexture.push_back(texture);"};

// A picture that cannot be read still gets its texture name, with no image, so the lists stay parallel.
void LoadGLTextures() {
  RGBImage* image = LoadDIBImage(LoadFileName);
  const uint32_t texture = UploadTexture ? UploadTexture(image) : 0;
  PushForSection({&LocationTexture, &HorizonTexture, &ObjectsTexture, &GladerTexture}, texture, kTextureLogLines);
  if (LogLevel >= 1) WriteLog("texture   LoadGLTextures() NamSectionModel", static_cast<float>(NamSectionModel));
}
