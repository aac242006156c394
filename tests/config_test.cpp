// Settings file reading and the trace log's line format.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/config.h"
#include "platform/platform.h"
#include "tests/support.h"

static void ResetSettings() {
  LogLevel = 0;
  strLinkFile[0] = '\0';
  MoveStep = TurnStep = GroundClearance = CameraDistance = CameraYawStep = CameraPitchStep = GridDivisions = 0;
  CountLogLine = 0;
}

TEST(Settings, NineLinesScanTheirValuesAndIgnoreTrailingWords) {
  ScratchDir dir;
  ResetSettings();
  WriteFile("dbIlm/setting.ini",
            "3 trace level\nscene/link.txt more words\n2.5 units\n0.02\n5\n30\n0.05\n0.02\n10\nextra 99\n");
  LoadSetting();
  EXPECT_EQ(LogLevel, 3);
  EXPECT_STREQ(strLinkFile, "scene/link.txt");
  EXPECT_FLOAT_EQ(MoveStep, 2.5f);
  EXPECT_FLOAT_EQ(TurnStep, 0.02f);
  EXPECT_FLOAT_EQ(GroundClearance, 5);
  EXPECT_FLOAT_EQ(CameraDistance, 30);
  EXPECT_FLOAT_EQ(CameraYawStep, 0.05f);
  EXPECT_FLOAT_EQ(CameraPitchStep, 0.02f);
  EXPECT_FLOAT_EQ(GridDivisions, 10);
}

TEST(Settings, MissingFileKeepsEveryInitialValue) {
  ScratchDir dir;
  ResetSettings();
  LoadSetting();
  EXPECT_EQ(LogLevel, 0);
  EXPECT_STREQ(strLinkFile, "");
  EXPECT_EQ(MoveStep, 0);
  EXPECT_EQ(GridDivisions, 0);
}

TEST(Settings, ShortFileAndUnscannableLinesKeepOldValues) {
  ScratchDir dir;
  ResetSettings();
  MoveStep = 7;
  TurnStep = 9;
  WriteFile("dbIlm/setting.ini", "word first\r\nlink.txt\r\nfast\r\n0.5\r\n");
  LoadSetting();
  EXPECT_EQ(LogLevel, 0);
  EXPECT_STREQ(strLinkFile, "link.txt");
  EXPECT_EQ(MoveStep, 7);
  EXPECT_FLOAT_EQ(TurnStep, 0.5f);
  EXPECT_EQ(GroundClearance, 0);
}

TEST(Settings, LineOf255CharactersEndsTheReading) {
  ScratchDir dir;
  ResetSettings();
  // Line 3 holds 255 characters: its first 254 are scanned, and every later setting stays 0.
  WriteFile("dbIlm/setting.ini", "1\nlink\n" + std::string("4.25") + std::string(251, ' ') + "\n0.5\n6\n");
  LoadSetting();
  EXPECT_FLOAT_EQ(MoveStep, 4.25f);
  EXPECT_EQ(TurnStep, 0);
  EXPECT_EQ(GroundClearance, 0);

  ResetSettings();
  WriteFile("dbIlm/setting.ini", "1\nlink\n" + std::string("4.25") + std::string(250, ' ') + "\n0.5\n6\n");
  LoadSetting();
  EXPECT_FLOAT_EQ(TurnStep, 0.5f) << "a 254-character line is still a whole line";
  EXPECT_FLOAT_EQ(GroundClearance, 6);
}

TEST(Settings, LinkWordNeverOverrunsItsBuffer) {
  ScratchDir dir;
  ResetSettings();
  WriteFile("dbIlm/setting.ini", "0\n" + std::string(99, 'a') + "\n1\n");
  LoadSetting();
  EXPECT_EQ(std::strlen(strLinkFile), 99u);

  ResetSettings();
  WriteFile("dbIlm/setting.ini", "0\n" + std::string(180, 'b') + "\n1\n");
  LoadSetting();
  EXPECT_STREQ(strLinkFile, "") << "a path too long for the buffer is refused, not cut";
  EXPECT_FLOAT_EQ(MoveStep, 1);
}

// The log is a text file: its lines end as the system's text files do.
static std::string TextLines(const std::string& text) {
  std::string lines;
  for (const char c : text) c == '\n' ? lines += LineEnd : lines += c;
  return lines;
}

TEST(TraceLog, LinesAreNumberedAndValuesInDefaultFloatForm) {
  ScratchDir dir;
  CountLogLine = 0;
  WriteLog("init  START InitializeOpenGL(...) ", 0);
  WriteLog("init  bSetupPixelFormat(...)", 4);
  WriteLog("Physics   funEquationLinePolygon() deltaMatrixX", 0.5f);
  WriteLog("Physics   funEquationLinePolygon() deltaMatrixX", 50.0f / 3.0f);
  WriteLog("big", 1234567.0f);
  EXPECT_EQ(ReadFile("log.txt"),
            TextLines("0 - init  START InitializeOpenGL(...)  - 0\n"
                      "1 - init  bSetupPixelFormat(...) - 4\n"
                      "2 - Physics   funEquationLinePolygon() deltaMatrixX - 0.5\n"
                      "3 - Physics   funEquationLinePolygon() deltaMatrixX - 16.6667\n"
                      "4 - big - 1.23457e+06\n"));
}

TEST(TraceLog, SecondRunAppendsAndNumbersFromZero) {
  ScratchDir dir;
  CountLogLine = 0;
  WriteLog("first", 1);
  WriteLog("first", 2);
  CountLogLine = 0;  // a new process starts at 0
  WriteLog("second", 3);
  EXPECT_EQ(ReadFile("log.txt"), TextLines("0 - first - 1\n1 - first - 2\n0 - second - 3\n"));
}

TEST(TraceLog, UnwritableFileLosesTheLineButKeepsCounting) {
  ScratchDir dir;
  CountLogLine = 0;
  WriteFile("log.txt/inside", "");  // a folder named log.txt
  WriteLog("lost", 1);
  EXPECT_EQ(CountLogLine, 1);
}
