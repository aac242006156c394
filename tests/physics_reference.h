// Plain restatements of the flight formulas, built without optimisation, for bit-for-bit comparison.
#pragma once

#include <vector>

#include "scene/scene.h"

struct RefGlider {
  float x, y, z, yaw, pitch;
};

struct RefHeld {
  bool left, right, down, up, forward, back;
};

RefGlider RefMoveGlader(RefGlider g, const RefHeld& held, float turnStep, float moveStep);

struct RefCamera {
  float yaw, pitch;
  CVertex3 eye;
  double lookEye[3], lookCentre[3], lookUp[3];
};

// One lag step of the camera after the glider g; distance, steps as the settings hold them.
void RefPositionCamera(const RefGlider& g, float distance, float yawStep, float pitchStep, RefCamera* camera);

struct RefPlane {
  float a, b, c, d, edge02, edge12, edge01;
};

RefPlane RefFacePlane(const CVertex3& v0, const CVertex3& v1, const CVertex3& v2);
float RefCellSize(float low, float high, float divisions);
// Column (or row) of a coordinate by the grid rule.
int RefCellIndex(float coordinate, float low, float cellSize);

struct RefMarker {
  float red, green;
  CVertex3 corners[3];
};

struct RefGround {
  float z;
  bool found;  // the plane test passed at least once
  std::vector<RefMarker> markers;
};

// Ground following over one face filed `filed` times in the glider's cell.
RefGround RefFollowFace(const CVertex3& v0, const CVertex3& v1, const CVertex3& v2, const RefPlane& plane, float x,
                        float y, float z, float clearance, float moveStep, int filed);
