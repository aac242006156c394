// The chase camera: heading and pitch that trail the glider's by one lag step a call, and the look-at.
#include <cmath>

#include "config/config.h"
#include "physics/physics.h"

float CameraYaw;
float CameraPitch;
CVertex3 CameraEye;
void (*ApplyLookAt)(const double eye[3], const double centre[3], const double up[3]);

// Straight above or below the glider the up vector would lie along the view; the camera's heading then
// stands in for it, so the view looks down (or up) with the heading at the top.
void PositionCamera() {
  const double twoPi = static_cast<double>(PI) + PI;
  const double yaw = GladerYaw, pitch = GladerPitch;
  const float d = static_cast<float>(yaw - CameraYaw);
  if (d > PI) CameraYaw = static_cast<float>(CameraYaw + twoPi);
  if (CameraYaw <= yaw) {
    if (d > PI) CameraYaw = static_cast<float>(CameraYaw + twoPi);
    CameraYaw = static_cast<float>(CameraYaw + static_cast<double>(CameraYawStep));
  }
  if (CameraYaw > yaw) {
    if (d < PI) CameraYaw = static_cast<float>(CameraYaw - twoPi);
    CameraYaw = static_cast<float>(CameraYaw - static_cast<double>(CameraYawStep));
  }
  if (CameraYaw >= twoPi) CameraYaw = static_cast<float>(CameraYaw - twoPi);
  if (CameraPitch < pitch) CameraPitch = static_cast<float>(CameraPitch + static_cast<double>(CameraPitchStep));
  if (CameraPitch > pitch) CameraPitch = static_cast<float>(CameraPitch - static_cast<double>(CameraPitchStep));
  const double D = CameraDistance;
  const double cosYaw = static_cast<float>(std::cos(static_cast<double>(-CameraYaw)));
  const double sinYaw = static_cast<float>(std::sin(static_cast<double>(-CameraYaw)));
  const double cosPitch = static_cast<float>(std::cos(static_cast<double>(-CameraPitch)));
  const double sinPitch = static_cast<float>(std::sin(static_cast<double>(-CameraPitch)));
  CameraEye.x = static_cast<float>(Glader.x - cosYaw * D * cosPitch);
  CameraEye.y = static_cast<float>(Glader.y - sinYaw * D * cosPitch);
  CameraEye.z = static_cast<float>(Glader.z - sinPitch * D);
  if (!ApplyLookAt) return;
  const double eye[3] = {CameraEye.x, CameraEye.y, static_cast<double>(CameraEye.z) + 15};
  const double centre[3] = {Glader.x, Glader.y, Glader.z};
  const double dx = centre[0] - eye[0], dy = centre[1] - eye[1], dz = centre[2] - eye[2];
  const bool plumb = dx * dx + dy * dy <= 1e-12 * (dx * dx + dy * dy + dz * dz);
  const double up[3] = {plumb ? cosYaw : 0, plumb ? sinYaw : 0, plumb ? 0.0 : 1.0};
  ApplyLookAt(eye, centre, up);
}
