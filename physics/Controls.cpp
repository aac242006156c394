// The glider's response to the held keys, applied once a frame.
#include <cmath>

#include "config/config.h"
#include "physics/physics.h"
#include "platform/platform.h"

CVertex3 Glader;
float GladerYaw;
float GladerPitch;
int GroundFollowOn = 1;

void ResetGlader() {
  Glader = CVertex3{0, 0, 0};
  GladerYaw = 0;
  GladerPitch = 0;
}

void MoveGlader() {
  const float twoPi = PI + PI;
  const double step = TurnStep, move = MoveStep;
  if (keys[VK_LEFT]) {
    GladerYaw = static_cast<float>(GladerYaw - step);
    if (GladerYaw < 0) GladerYaw = twoPi;
  }
  if (keys[VK_RIGHT]) {
    GladerYaw = static_cast<float>(GladerYaw + step);
    if (GladerYaw > twoPi) GladerYaw = 0;
  }
  if (keys[VK_DOWN] && GladerPitch > -(static_cast<double>(PI) / 2 + 0.1))
    GladerPitch = static_cast<float>(GladerPitch - step);
  if (keys[VK_UP] && GladerPitch < static_cast<double>(PI) / 2 - 0.1) GladerPitch = static_cast<float>(GladerPitch + step);
  const double cosPitch = static_cast<float>(std::cos(static_cast<double>(-GladerPitch)));
  const double sinPitch = static_cast<float>(std::sin(static_cast<double>(GladerPitch)));
  const double cosYaw = static_cast<float>(std::cos(static_cast<double>(GladerYaw)));
  const double sinYaw = static_cast<float>(std::sin(static_cast<double>(GladerYaw)));
  if (keys[unsigned{'W'}]) {
    Glader.x = static_cast<float>(Glader.x + cosPitch * cosYaw * move);
    Glader.y = static_cast<float>(Glader.y - cosPitch * sinYaw * move);
    Glader.z = static_cast<float>(Glader.z - sinPitch * move);
  }
  if (keys[unsigned{'S'}]) {
    Glader.x = static_cast<float>(Glader.x - cosYaw * move * cosPitch);
    Glader.y = static_cast<float>(Glader.y + sinYaw * move * cosPitch);
    Glader.z = static_cast<float>(Glader.z + sinPitch * move);
  }
  if (keys[VK_F1]) ResetGlader();
  if (keys[VK_F2]) GroundFollowOn = GroundFollowOn == 0 ? 1 : 0;
  if (keys[VK_F3]) funEquationLinePolygon();
}
