// Settings file reading and the trace log's line format.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/config.h"
#include "platform/platform.h"
#include "tests/support.h"

// Each row starts from a link word of "old" and moves and turns of 7 and 9 that a setting must overwrite.
TEST(Settings, LinesScanTheirValuesInOrderAndKeepOldValuesWhereTheyCannot) {
  const std::string long255 = "4.25" + std::string(251, ' '), long254 = "4.25" + std::string(250, ' ');
  const struct {
    const char* what;
    std::string file;  // no file when empty
    int logLevel;
    std::string link;
    std::vector<float> values;  // MoveStep, TurnStep, GroundClearance, CameraDistance, the camera steps, GridDivisions
  } cases[] = {
      {"nine lines, trailing words ignored",
       "3 trace level\nscene/link.txt more words\n2.5 units\n0.02\n5\n30\n0.05\n0.02\n10\nextra 99\n", 3,
       "scene/link.txt", {2.5f, 0.02f, 5, 30, 0.05f, 0.02f, 10}},
      {"missing file", "", 0, "old", {7, 9, 0, 0, 0, 0, 0}},
      {"short file, unscannable lines", "word first\r\nlink.txt\r\nfast\r\n0.5\r\n", 0, "link.txt", {7, 0.5f, 0, 0, 0, 0, 0}},
      {"a line of 255 characters: its first 254 scanned, then the reading ends", "1\nlink\n" + long255 + "\n0.5\n6\n", 1,
       "link", {4.25f, 9, 0, 0, 0, 0, 0}},
      {"a line of 254 characters is still a whole line", "1\nlink\n" + long254 + "\n0.5\n6\n", 1, "link",
       {4.25f, 0.5f, 6, 0, 0, 0, 0}},
      {"a link word of 99 characters", "0\n" + std::string(99, 'a') + "\n1\n", 0, std::string(99, 'a'), {1, 9, 0, 0, 0, 0, 0}},
      {"a link word too long for the buffer is refused, not cut", "0\n" + std::string(180, 'b') + "\n1\n", 0, "old",
       {1, 9, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    LogLevel = 0;
    std::strcpy(strLinkFile, "old");
    MoveStep = 7;
    TurnStep = 9;
    GroundClearance = CameraDistance = CameraYawStep = CameraPitchStep = GridDivisions = 0;
    if (!c.file.empty()) WriteFile("dbIlm/setting.ini", c.file);
    LoadSetting();
    EXPECT_EQ(LogLevel, c.logLevel) << c.what;
    EXPECT_EQ(strLinkFile, c.link) << c.what;
    EXPECT_EQ((std::vector<float>{MoveStep, TurnStep, GroundClearance, CameraDistance, CameraYawStep, CameraPitchStep,
                                  GridDivisions}),
              c.values)
        << c.what;
  }
}

// The log is a text file: its lines end as the system's text files do.
static std::string TextLines(const std::string& text) {
  std::string lines;
  for (const char c : text) c == '\n' ? lines += LineEnd : lines += c;
  return lines;
}

TEST(TraceLog, LinesAreNumberedFromZeroEachRunAndValuesInDefaultFloatForm) {
  ScratchDir dir;
  CountLogLine = 0;
  WriteLog("init  START InitializeOpenGL(...) ", 0);
  WriteLog("init  bSetupPixelFormat(...)", 4);
  WriteLog("Physics   funEquationLinePolygon() deltaMatrixX", 0.5f);
  WriteLog("Physics   funEquationLinePolygon() deltaMatrixX", 50.0f / 3.0f);
  WriteLog("big", 1234567.0f);
  CountLogLine = 0;  // a new process starts at 0 and appends
  WriteLog("second", 3);
  EXPECT_EQ(ReadFile("log.txt"),
            TextLines("0 - init  START InitializeOpenGL(...)  - 0\n"
                      "1 - init  bSetupPixelFormat(...) - 4\n"
                      "2 - Physics   funEquationLinePolygon() deltaMatrixX - 0.5\n"
                      "3 - Physics   funEquationLinePolygon() deltaMatrixX - 16.6667\n"
                      "4 - big - 1.23457e+06\n"
                      "0 - second - 3\n"));
}

TEST(TraceLog, UnwritableFileLosesTheLineButKeepsCounting) {
  ScratchDir dir;
  CountLogLine = 0;
  WriteFile("log.txt/inside", "");  // a folder named log.txt
  WriteLog("lost", 1);
  EXPECT_EQ(CountLogLine, 1);
}
