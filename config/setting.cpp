// Reading of "dbIlm/setting.ini": one value a line, nine lines.
#include "config/config.h"

#include <cstdio>
#include <cstring>
#include <fstream>

int LogLevel;
char strLinkFile[100];
float MoveStep;
float TurnStep;
float GroundClearance;
float CameraDistance;
float CameraYawStep;
float CameraPitchStep;
float GridDivisions;

// A path word too long for its buffer is refused whole rather than cut to a different path.
static void ScanLinkWord(const char* line) {
  char word[255];
  if (std::sscanf(line, "%254s", word) == 1 && std::strlen(word) < sizeof strLinkFile)
    std::memcpy(strLinkFile, word, std::strlen(word) + 1);
}

void LoadSetting() {
  std::ifstream f_out("dbIlm/setting.ini");
  char strRead[255];
  float* const floats[7] = {&MoveStep, &TurnStep, &GroundClearance, &CameraDistance,
                            &CameraYawStep, &CameraPitchStep, &GridDivisions};
  for (int line = 0; line < 9; ++line) {
    strRead[0] = '\0';
    f_out.getline(strRead, 255);
    if (line == 0)
      std::sscanf(strRead, "%d", &LogLevel);
    else if (line == 1)
      ScanLinkWord(strRead);
    else
      std::sscanf(strRead, "%f", floats[line - 2]);
  }
}
