// Scene assembly with a real GL context: section order, parallel lists, textures, bounds and the log.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "gl_window.h"
#include "scene_reset.h"
#include "support.h"

namespace {

void WriteTexture(const std::string& name, int side) { WriteSolidTexture(name, side, 200, 200, 200); }

GLint TextureWidth(GLuint texture) {
  GLint width = -1;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  return width;
}

class Assembly : public testing::Test {
 protected:
  static void SetUpTestSuite() { OpenTestWindow(); }
  void SetUp() override {
    ResetScene(2);
    WriteFile("Glader/glader01.obj", "v  0 0 0\nv  1 0 0\nv  0 1 0\nf 1/1/1 2/2/2 3/3/3\n");
    WriteTexture("Glader/glader01.bmp", 8);
  }
  ScratchDir dir;
};

TEST_F(Assembly, SectionsLoadInOrderIntoParallelListsWithBoundsFromTheFirstTerrain) {
  WriteFile("link.txt", "#Location\nLocation/a\nt\n1\n0\n0\n0\nLocation/b\nt\n1\n0\n0\n0\n#Horizon\nsky\nt\n1\n0\n0\n0\n"
                        "#Objects\nthing\nt\n1\n0\n0\n0\n");
  WriteFile("Location/a.obj", "v  10 -5 0\nv  20 5 0\n");
  WriteFile("Location/b.obj", "v  -90 -90 0\nv  90 90 0\nv  1 1 1\n");
  WriteFile("sky.obj", "v  500 500 500\n");
  WriteTexture("Location/a.bmp", 16);
  WriteTexture("Location/b.bmp", 32);
  WriteTexture("sky.bmp", 64);  // thing.bmp is missing
  std::remove("log.txt");
  LoadLink();
  linkFile();
  ASSERT_EQ((std::vector<size_t>{LocationModel.size(), LocationTexture.size(), HorizonTexture.size(), ObjectsModel.size(),
                                 ObjectsTexture.size(), GladerModel.size(), GladerTexture.size()}),
            (std::vector<size_t>{2, 2, 1, 1, 1, 1, 1}));
  EXPECT_EQ(LocationModel[0].CountVertices * 10 + LocationModel[1].CountVertices, 23);
  EXPECT_NE(ObjectsTexture[0], 0u);  // a name without an image keeps the lists parallel
  EXPECT_EQ((std::vector<GLint>{TextureWidth(LocationTexture[0]), TextureWidth(LocationTexture[1]),
                                TextureWidth(HorizonTexture[0]), TextureWidth(ObjectsTexture[0]), TextureWidth(GladerTexture[0])}),
            (std::vector<GLint>{16, 32, 64, 0, 8}));
  EXPECT_EQ(GladerModel[0].CountFace, 1);
  EXPECT_EQ((std::vector<float>{minX, maxX, minY, maxY}), (std::vector<float>{0, 20, -5, 5}));
  EXPECT_EQ(CountLocationFiles * 10 + NamSectionModel, 44);
  const std::vector<std::string> log = ReadLines("log.txt");
  ASSERT_EQ(log.size(), 1u + 2 + 5 * 2 * 5);  // LoadLink, START and END, five entries of five and five lines
  EXPECT_EQ(log[1], "1 - LoadFromFile   START linkFile() - 0");
  EXPECT_EQ(log[7], "7 - texture   LoadGLTextures() LocationTexture.push_back(texture); - 1");
  EXPECT_EQ(log[11], "11 - texture   LoadGLTextures() NamSectionModel - 1");
  EXPECT_EQ(log.back(), "52 - LoadFromFile   END linkFile() NamSectionModel - 4");
}

TEST_F(Assembly, NoLinkFileLoadsOnlyTheGlider) {
  LogLevel = 1;
  std::remove("log.txt");
  LoadLink();
  linkFile();
  EXPECT_EQ((std::vector<size_t>{LocationModel.size(), LocationTexture.size(), HorizonModel.size(), HorizonTexture.size(),
                                 ObjectsModel.size(), ObjectsTexture.size(), GladerModel.size(), GladerTexture.size()}),
            (std::vector<size_t>{0, 0, 0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(CountLocationFiles + CountLocationLinks + CountHorizonLinks + CountObjectsLinks, 0);
  EXPECT_EQ(maxX, 0);
  EXPECT_EQ(ReadLines("log.txt"),
            (std::vector<std::string>{"0 - LoadFromFile   LoadLink() CountSectionLinkInfo - 0",
                                      "1 - LoadFromFile   START linkFile() - 0",
                                      "2 - LoadFromFile   LoadModel() NamSectionModel - 4",
                                      "3 - texture   LoadGLTextures() NamSectionModel - 4",
                                      "4 - LoadFromFile   END linkFile() NamSectionModel - 4"}));
}

}  // namespace
