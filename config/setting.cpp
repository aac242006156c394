// Reading of "dbIlm/setting.ini": one value a line, nine lines.
#include "config/config.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "platform/platform.h"

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

// The file is mapped, not opened as a stream, so that a FIFO in its place reads as missing instead of
// waiting for a writer.
void LoadSetting() {
  size_t size = 0;
  const uint8_t* view = MapFile("dbIlm/setting.ini", &size);
  std::istringstream f_out(view ? std::string(reinterpret_cast<const char*>(view), size) : std::string());
  UnmapFile(view, size);
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
