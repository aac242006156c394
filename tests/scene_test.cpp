// The link file and mesh readers: the line rules, the stateful entry record, bounds, mends and the log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scene_reset.h"
#include "support.h"

namespace {

class LinkFile : public testing::Test {
 protected:
  void SetUp() override { ResetScene(1); }
  void Load(const std::string& text) {
    WriteFile("link.txt", text);
    LoadLink();
  }
  ScratchDir dir;
};

std::vector<float> Xyz(const CVertex3& p) { return {p.x, p.y, p.z}; }

TEST_F(LinkFile, OneLocationEntryWithTwoPositions) {
  Load("#Location\nground\nany text\n2\n0\n0\n0\n100\n0\n0\n");
  ASSERT_EQ(CountLocationLinks * 10 + LocationLinks.size(), 11u);
  EXPECT_STREQ(LocationLinks[0].NameModel, "ground");
  EXPECT_STREQ(LocationLinks[0].Text, "any text");
  EXPECT_EQ(LocationLinks[0].CountPosition, 2);
  EXPECT_EQ(Xyz(LocationLinks[0].Position[0]), (std::vector<float>{0, 0, 0}));
  EXPECT_EQ(Xyz(LocationLinks[0].Position[1]), (std::vector<float>{100, 0, 0}));
  EXPECT_EQ(ReadLines("log.txt"), std::vector<std::string>{"0 - LoadFromFile   LoadLink() CountSectionLinkInfo - 1"});
}

TEST_F(LinkFile, SectionsZeroAndFourAndLaterAreReadButNotStored) {
  Load("early\nt\n1\n1\n2\n3\n#L\n#H\n#O\n#extra\nlate\nt\n1\n4\n5\n6\n");
  EXPECT_EQ(CountLocationLinks + CountHorizonLinks + CountObjectsLinks, 0);
  EXPECT_TRUE(LocationLinks.empty() && HorizonLinks.empty() && ObjectsLinks.empty());
  EXPECT_EQ(CountSectionLinkInfo, 4);
  EXPECT_EQ(ReadLines("log.txt")[0], "0 - LoadFromFile   LoadLink() CountSectionLinkInfo - 4");
}

TEST_F(LinkFile, BlankLedAndEmptyLinesChangeNothingAndTabLedLinesAreData) {
  Load("#L\n\n a\nhill  \n \ntext\n\n1\n  9\n1\n2\n\n3\n#H\n\tsky\nt\n1\n0\n0\n0\n");
  ASSERT_EQ(CountLocationLinks, 1);
  EXPECT_STREQ(LocationLinks[0].NameModel, "hill  ");  // trailing blanks kept
  EXPECT_EQ(Xyz(LocationLinks[0].Position[0]), (std::vector<float>{1, 2, 3}));
  ASSERT_EQ(CountHorizonLinks, 1);
  EXPECT_STREQ(HorizonLinks[0].NameModel, "\tsky");
}

TEST_F(LinkFile, SectionLineInsideAnEntryMovesItToTheNewSection) {
  Load("#L\na\nt\n1\n1\n#H\n2\n3\nb\nt\n1\n4\n5\n6\n");
  EXPECT_EQ(CountLocationLinks, 0);
  ASSERT_EQ(CountHorizonLinks, 2);
  EXPECT_STREQ(HorizonLinks[0].NameModel, "a");
  EXPECT_STREQ(HorizonLinks[1].NameModel, "b");
}

TEST_F(LinkFile, RecordIsNotClearedAndFailedScansKeepOldValues) {
  Load("#L\n#H\n#O\na\nt\n3\n1\n1\n1\n2\n2\n2\n3\n3\n3\nb\nt\n1\nx\n7\n7\n");
  ASSERT_EQ(CountObjectsLinks, 2);
  EXPECT_EQ(ObjectsLinks[1].CountPosition, 1);
  EXPECT_EQ(Xyz(ObjectsLinks[1].Position[0]), (std::vector<float>{1, 7, 7}));  // 'x' keeps the earlier 1
  EXPECT_EQ(Xyz(ObjectsLinks[1].Position[2]), (std::vector<float>{3, 3, 3}));  // left over from entry a
}

TEST_F(LinkFile, CountsOutsideOneToTenNeverStorePastTheTenthSlot) {
  std::string text = "#L\nnone\nt\n0\nbig\nt\n12\n";
  for (int k = 1; k <= 12; ++k) text += std::to_string(k) + "\n0\n0\n";
  text += "next\nt\n1\n5\n5\n5\n";
  Load(text);
  ASSERT_EQ(CountLocationLinks, 2);
  EXPECT_STREQ(LocationLinks[0].NameModel, "big");
  EXPECT_EQ(LocationLinks[0].CountPosition, 10);
  EXPECT_EQ(LocationLinks[0].Position[9].x, 10);
  EXPECT_STREQ(LocationLinks[1].NameModel, "next");  // the file stays in step after both
  EXPECT_EQ(Xyz(LocationLinks[1].Position[0]), (std::vector<float>{5, 5, 5}));
}

TEST_F(LinkFile, NameTooLongForItsFieldIsReadButNotStored) {
  Load("#L\n" + std::string(100, 'n') + "\nt\n1\n0\n0\n0\n" + std::string(99, 'm') + "\nt\n1\n0\n0\n0\n");
  ASSERT_EQ(CountLocationLinks, 1);
  EXPECT_EQ(std::string(LocationLinks[0].NameModel), std::string(99, 'm'));
}

TEST_F(LinkFile, LongLineEndsReadingAndDropsTheOpenEntry) {
  Load("#L\na\nt\n1\n0\n" + std::string(254, '1') + "\n0\r\nb\nt\n1\n0\n" + std::string(255, '1') +
       "\n0\nc\nt\n1\n0\n0\n0\n");
  ASSERT_EQ(CountLocationLinks, 1);
  EXPECT_STREQ(LocationLinks[0].NameModel, "a");
}

class MeshFile : public testing::Test {
 protected:
  void SetUp() override { ResetScene(); }
  const CModel& Read(const std::string& text) {
    ReadModelText(text.data(), text.size());
    return Model;
  }
  ScratchDir dir;
};

TEST_F(MeshFile, BadFaceNumbersAreDroppedAndCoordinatesCoverEveryVertex) {
  const CModel& m = Read("v  1 1 1\nv  2 2 2\nv  3 3 3\nf 1/1/1 2/2/2 3/3/3\nf -1/1/1 2/2/2 3/3/3\nf 1/1/1 2/2/2 4/4/4\nf 0/0/0 1/1/1 2/2/2\n");
  ASSERT_EQ(m.CountFace, 2);
  EXPECT_EQ(m.Face[1].Index[0], 0);
  EXPECT_EQ(m.CountCoordText, 0);
  EXPECT_EQ(m.CoordText[3].x, 0);  // readable although no 'vt' line was given
}

TEST_F(MeshFile, BoundsComeFromTheFirstLocationMeshAndStartAtZero) {
  CountLocationFiles = 1;
  Read("v  10 -5 0\nv  20 5 99\nv  15 0 -99\n");
  EXPECT_EQ((std::vector<float>{minX, maxX, minY, maxY}), (std::vector<float>{0, 20, -5, 5}));
  CountLocationFiles = 3;
  Read("v  -100 -100 0\nv  100 100 0\n");
  EXPECT_EQ((std::vector<float>{minX, maxX, minY, maxY}), (std::vector<float>{0, 20, -5, 5}));
}

TEST_F(MeshFile, MissingFileGivesAnEmptyModelAndTheLogLinesOfItsLevel) {
  const char* lines[] = {
      "0 - LoadFromFile   LoadModel() LocationModel.push_back(*Model); - 3",
      "1 - LoadFromFile   LoadModel() HorizonModel.push_back(*Model); - 3",
      "2 - LoadFromFile   ObjectsModel() LocationModel.push_back(*Model); - 3",
      "3 - LoadFromFile   LoadModel() GladerModel.push_back(*Model); - 3",
      "4 - LoadFromFile   LoadModel() NamSectionModel - 3"};
  for (int level : {0, 1, 2}) {
    ResetScene(level);
    std::remove("log.txt");
    NamSectionModel = 3;
    std::strcpy(LoadFileName, "absent.obj");
    LoadModel();
    ASSERT_EQ(ObjectsModel.size(), 1u);
    EXPECT_EQ(ObjectsModel[0].CountVertices + ObjectsModel[0].CountCoordText + ObjectsModel[0].CountFace, 0);
    EXPECT_EQ(ObjectsModel[0].Vertices[0].x, 0);
    std::vector<std::string> expected;
    if (level == 1) expected = {"0 - LoadFromFile   LoadModel() NamSectionModel - 3"};
    if (level == 2) expected.assign(std::begin(lines), std::end(lines));
    EXPECT_EQ(ReadLines("log.txt"), expected) << "level " << level;
  }
}

}  // namespace
