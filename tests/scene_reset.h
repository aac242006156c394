// Puts the scene's process-wide lists and counters back to their start-of-process values between tests.
#pragma once

#include <cstring>

#include "config/config.h"
#include "scene/scene.h"

inline void ResetScene(int logLevel = 0) {
  ClearScene();
  LogLevel = logLevel;
  CountLogLine = 0;
  std::strcpy(strLinkFile, "link.txt");
}
