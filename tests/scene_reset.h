// Puts the scene's process-wide lists and counters back to their start-of-process values between tests.
#pragma once

#include <cstring>

#include "config/config.h"
#include "scene/scene.h"

inline void ResetScene(int logLevel = 0) {
  LinkInfo = CLinkInfo{};
  LocationLinks.clear();
  HorizonLinks.clear();
  ObjectsLinks.clear();
  CountLocationLinks = CountHorizonLinks = CountObjectsLinks = CountSectionLinkInfo = 0;
  Model = CModel{};
  LocationModel.clear();
  HorizonModel.clear();
  ObjectsModel.clear();
  GladerModel.clear();
  minX = maxX = minY = maxY = 0;
  LoadFileName[0] = '\0';
  NamSectionModel = CountLocationFiles = 0;
  LocationTexture.clear();
  HorizonTexture.clear();
  ObjectsTexture.clear();
  GladerTexture.clear();
  LogLevel = logLevel;
  CountLogLine = 0;
  std::strcpy(strLinkFile, "link.txt");
}
