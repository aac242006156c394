// Flight and terrain physics: the glider's controls, the terrain face grid, ground following and the chase camera.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene.h"

// The plane through one terrain face and the squared lengths of its edges seen from above.
struct FacePlane {
  float planeA, planeB, planeC, planeD;
  float edge02, edge12, edge01;
};

constexpr int GridCells = 255;     // columns and rows of the face grid
constexpr int CellEntries = 255;   // element 0 counts, elements 1..254 hold face numbers
using GridCell = int32_t[CellEntries];

constexpr float PI = 3.14159274f;

extern CVertex3 Glader;                     // glider position (Controls: MoveGlader, Ground: FollowGround)
extern float GladerYaw;                     // heading, forward is (cos, -sin) (Controls: MoveGlader)
extern float GladerPitch;                   // positive points the nose down (Controls: MoveGlader)
extern int GroundFollowOn;                  // 1 while ground following runs (Controls: MoveGlader)

extern std::vector<FacePlane> FacePlaneTable;  // one record a terrain face (Physics: funEquationLinePolygon)
extern GridCell (*FaceGrid)[GridCells];        // FaceGrid[row][column], allocated at the first build (Physics)
extern float deltaMatrixX, deltaMatrixY;       // cell width and height (Physics: funEquationLinePolygon)
extern int indexCoordX, indexCoordY;           // cell computed last, -1 outside the grid (Physics, Ground)

extern int NamFace;                            // last face found under the glider (Ground: FollowGround)
// Draws one debug triangle; corners are V0, V2, V1, already raised (set by Render; none draws nothing).
extern void (*DrawFaceMarker)(float red, float green, float blue, const CVertex3 corners[3]);

extern float CameraYaw;                        // chase-camera heading (Camera: PositionCamera)
extern float CameraPitch;                      // chase-camera pitch (Camera: PositionCamera)
extern CVertex3 CameraEye;                     // eye before its 15-unit lift (Camera: PositionCamera)
// Multiplies the look-at transform onto the current matrix (set by Render; none skips it).
extern void (*ApplyLookAt)(const double eye[3], const double centre[3], const double up[3]);

void MoveGlader();
void ResetGlader();
void funEquationLinePolygon();
void FollowGround();
void PositionCamera();

// The cell of a point by the grid rule; false, with -1 in both, when it lies outside columns and rows 0..254.
bool FindCell(float x, float y, int* column, int* row);
