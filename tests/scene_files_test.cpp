// glide-scene's shared pieces: the link file it writes, scene text files read as glide reads them, option parsing.
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "support.h"
#include "tools/cli.h"
#include "tools/scene_files.h"

namespace {

LinkDoc OneObject(const std::string& name, const std::string& text, size_t places = 1) {
  LinkDoc doc;
  doc.sections[kObjects].push_back(LinkEntry{name, text, std::vector<CVertex3>(places, CVertex3{1.5f, -2, 0})});
  return doc;
}

TEST(LinkText, OrdinaryEntriesAsBefore) {
  LinkDoc doc = OneObject("Objects/tower", "model from tower.obj");
  doc.sections[kHorizon].push_back(LinkEntry{"Horizon/sky", "", {CVertex3{0, 0, 0}}});
  EXPECT_EQ(LinkText(doc), "# Location: the terrain (the first entry is the one ground following uses)\n"
                           "# Horizon: the sky, drawn around the eye\nHorizon/sky\n-\n1\n0\n0\n0\n"
                           "# Objects\nObjects/tower\nmodel from tower.obj\n1\n1.5\n-2\n0\n");
}

// Free text from users' file names: line breaks, control characters, length and a leading '#' or blank would
// cut the file short or put every later line out of step; the entries after it come back whole.
TEST(LinkText, FreeTextCannotBreakTheFile) {
  ScratchDir dir;
  for (const std::string& text : std::vector<std::string>{"terrain from a\nb.png", "tab\there\r", std::string(300, 'x'), "# hash", "  ",
                                  "\xc3\xa9" + std::string(250, 'e'), std::string(199, 'a') + "\xc3\xa9"}) {
    LinkDoc doc = OneObject("Objects/a", text);
    doc.sections[kObjects].push_back(LinkEntry{"Objects/b", "after", {CVertex3{3, 4, 5}}});
    WriteFile("scene.txt", LinkText(doc));
    const LinkDoc back = ReadLinkDoc("scene.txt");
    ASSERT_EQ(back.sections[kObjects].size(), 2u) << text;
    const std::string& written = back.sections[kObjects][0].text;
    EXPECT_LE(written.size(), 200u) << text;
    EXPECT_EQ(written.find_first_of("\n\r\t#"), std::string::npos) << written;
    EXPECT_NE(written[0], ' ') << written;
    EXPECT_NE(static_cast<unsigned char>(written.back()), 0xc3) << "a character cut in half";
    EXPECT_EQ(back.sections[kObjects][1].name, "Objects/b");
    EXPECT_EQ(back.sections[kObjects][1].positions[0].z, 5);
  }
}

// A name is a path of files already written, so one the loader would misread is refused, not changed.
TEST(LinkText, RefusesWhatTheLoaderWouldMisread) {
  for (const std::string& name :
       std::vector<std::string>{"Objects/a\nb", "Objects/" + std::string(92, 'n'), "#x", " x", ""})
    EXPECT_THROW(LinkText(OneObject(name, "-")), ToolError) << name;
  EXPECT_NO_THROW(LinkText(OneObject("Objects/" + std::string(91, 'n'), "-")));
  EXPECT_THROW(LinkText(OneObject("Objects/a", "-", 11)), ToolError);
  EXPECT_THROW(LinkText(OneObject("Objects/a", "-", 0)), ToolError);
}

// The terrain command names its input in the free text; a name of 245 characters once cut the file short.
TEST(LinkText, TerrainFromALongFileNameKeepsTheScene) {
  ScratchDir dir;
  const std::string input = std::string(245, 'h') + ".png";
  const uint8_t heights[4] = {10, 20, 30, 40};
  ASSERT_TRUE(stbi_write_png(input.c_str(), 2, 2, 1, heights, 2));
  const std::string tool = GLIDE_SCENE_PATH;
  ASSERT_EQ(std::system((tool + " new world >/dev/null").c_str()), 0);
  ASSERT_EQ(std::system((tool + " terrain world " + input + " >/dev/null").c_str()), 0);
  const LinkDoc doc = ReadLinkDoc("world/dbIlm/scene.txt");
  EXPECT_EQ(doc.sections[kLocation].size(), 1u);
  EXPECT_EQ(doc.sections[kHorizon].size(), 1u);
}

TEST(SceneText, ReadsAsTheProgramDoes) {
  ScratchDir dir;
  WriteFile("text", "a\nb\n");
  EXPECT_EQ(ReadSceneText("text"), std::optional<std::string>("a\nb\n"));
  WriteFile("empty", "");
  EXPECT_EQ(ReadSceneText("empty"), std::optional<std::string>(""));
  EXPECT_EQ(ReadSceneText("none"), std::nullopt);
  std::filesystem::create_directory("folder");
  EXPECT_EQ(ReadSceneText("folder"), std::nullopt);
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  EXPECT_EQ(ReadSceneText("fifo"), std::nullopt);  // a hang here fails the test by its timeout
}

std::vector<OptionSpec> ObjectOptions() {
  return {{"--at", 2, 3, true}, {"--name", 1, 1, false}, {"--size", 1, 1, false, true}};
}

TEST(ParseArgs, NumericOptionsTakeOnlyNumbers) {
  const Args args = ParseArgs({"dir", "--at", "1", "2", "--at", "3", "4", "5", "in.obj", "--name", "7", "--size", "-2"},
                              ObjectOptions());
  EXPECT_EQ(args.positional, (std::vector<std::string>{"dir", "in.obj"}));
  EXPECT_EQ(args.options.at("--at").size(), 2u);
  EXPECT_EQ(args.options.at("--at")[1].size(), 3u);
  EXPECT_EQ(args.Value("--name", ""), "7");
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--at", "1", "x"}, {"--at", "1", "2", "nan"}, {"--at", "1", "2", "inf"}, {"--at", "nan", "2"},
           {"--at", "1", "1e999"}, {"--size", "big"}, {"--at", "1", "--name", "a"}}) {
    try {
      ParseArgs(bad, ObjectOptions());
      ADD_FAILURE() << bad[2] << " taken";
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find("needs numbers, not '"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
