// The terrain face grid: a plane record for every face and the faces filed by the cells of their corners.
#include <cmath>

#include "config/config.h"
#include "physics/physics.h"
#include "platform/platform.h"

std::vector<FacePlane> FacePlaneTable;
GridCell (*FaceGrid)[GridCells];
float deltaMatrixX, deltaMatrixY;
int indexCoordX, indexCoordY;

bool FindCell(float x, float y, int* column, int* row) {
  const double qx = (static_cast<double>(x) - minX) / deltaMatrixX;
  const double qy = (static_cast<double>(y) - minY) / deltaMatrixY;
  // trunc(q) + 1 lies in 0..254 exactly when -2 < q < 254; NaN fails both tests.
  if (!(qx > -2 && qx < GridCells - 1 && qy > -2 && qy < GridCells - 1)) {
    *column = *row = -1;
    return false;
  }
  *column = static_cast<int>(qx) + 1;
  *row = static_cast<int>(qy) + 1;
  return true;
}

// Corners outside the grid, faces past a full cell and faces with a vertex number outside the mesh are not
// filed; they can then never be found under the glider.
void funEquationLinePolygon() {
  const CModel* terrain = LocationModel.empty() ? nullptr : &LocationModel[0];
  const int32_t faces = terrain ? terrain->CountFace : 0;
  std::vector<FacePlane> table(static_cast<size_t>(faces));
  deltaMatrixX = static_cast<float>((static_cast<double>(maxX) - minX) / GridDivisions);
  deltaMatrixY = static_cast<float>((static_cast<double>(maxY) - minY) / GridDivisions);
  if (!FaceGrid) {
    FaceGrid = static_cast<GridCell(*)[GridCells]>(AllocateBlock(sizeof(GridCell) * GridCells * GridCells));
    if (!FaceGrid) return;
  }
  for (int row = 0; row < GridCells; ++row)
    for (int column = 0; column < GridCells; ++column) FaceGrid[row][column][0] = 0;
  const bool filing = GridDivisions > 0;
  for (int32_t f = 0; f < faces; ++f) {
    const CFace& face = terrain->Face[f];
    bool known = true;
    for (int32_t index : face.Index) known = known && index >= 0 && index <= terrain->CountVertices;
    if (!known) continue;
    const CVertex3& v0 = terrain->Vertices[face.Index[0]];
    const CVertex3& v1 = terrain->Vertices[face.Index[1]];
    const CVertex3& v2 = terrain->Vertices[face.Index[2]];
    const double x0 = v0.x, y0 = v0.y, z0 = v0.z, x1 = v1.x, y1 = v1.y, z1 = v1.z, x2 = v2.x, y2 = v2.y, z2 = v2.z;
    FacePlane& p = table[static_cast<size_t>(f)];
    p.planeA = static_cast<float>((z2 - z1) * y0 + (z1 - z0) * y2 + (z0 - z2) * y1);
    p.planeB = static_cast<float>((x2 - x1) * z0 + (x1 - x0) * z2 + (x0 - x2) * z1);
    p.planeC = static_cast<float>((y2 - y1) * x0 + (y1 - y0) * x2 + (y0 - y2) * x1);
    p.planeD = static_cast<float>(-((y2 * z1 - y1 * z2) * x0 + (y1 * z0 - y0 * z1) * x2 + (y0 * z2 - y2 * z0) * x1));
    p.edge02 = static_cast<float>((x2 - x0) * (x2 - x0) + (y2 - y0) * (y2 - y0));
    p.edge12 = static_cast<float>((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    p.edge01 = static_cast<float>((x0 - x1) * (x0 - x1) + (y0 - y1) * (y0 - y1));
    if (!filing) continue;
    for (const CVertex3* corner : {&v0, &v2, &v1}) {
      if (!FindCell(corner->x, corner->y, &indexCoordX, &indexCoordY)) continue;
      int32_t* cell = FaceGrid[indexCoordY][indexCoordX];
      if (cell[0] >= CellEntries - 1) continue;
      cell[++cell[0]] = f;
    }
  }
  FacePlaneTable = std::move(table);
  if (LogLevel > 0) WriteLog("Physics   funEquationLinePolygon() deltaMatrixX", deltaMatrixX);
}
