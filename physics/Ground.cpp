// Ground following: the face under the glider, the lift to the clearance, the sink, and the debug triangles.
#include <cmath>

#include "config/config.h"
#include "physics/physics.h"

int NamFace;
void (*DrawFaceMarker)(float red, float green, float blue, const CVertex3 corners[3]);

namespace {

float SquaredDistance(double x, double y, const CVertex3& v) {
  return static_cast<float>((x - v.x) * (x - v.x) + (y - v.y) * (y - v.y));
}

// The angle at the glider seen across one edge, by the law of cosines; NaN at a corner or past rounding.
float EdgeAngle(float p, float q, float e) {
  const double root = static_cast<float>(std::sqrt(static_cast<double>(q)));
  const double rootP = static_cast<float>(std::sqrt(static_cast<double>(p)));
  const float cosine = static_cast<float>((static_cast<double>(p) + q - e) / (root * (rootP * 2)));
  return static_cast<float>(std::acos(static_cast<double>(cosine)));
}

void MarkFace(float red, float green, float offset, const CVertex3& v0, const CVertex3& v2, const CVertex3& v1) {
  if (!DrawFaceMarker) return;
  const CVertex3 corners[3] = {{v0.x, v0.y, static_cast<float>(static_cast<double>(v0.z) + offset)},
                               {v2.x, v2.y, static_cast<float>(static_cast<double>(v2.z) + offset)},
                               {v1.x, v1.y, static_cast<float>(static_cast<double>(v1.z) + offset)}};
  DrawFaceMarker(red, green, 0, corners);
}

}  // namespace

// A face whose ground height is not finite (a vertical face) is tested and marked but never lifts or sinks
// the glider.
void FollowGround() {
  if (!FindCell(Glader.x, Glader.y, &indexCoordX, &indexCoordY) || !FaceGrid || LocationModel.empty()) return;
  const CModel& terrain = LocationModel[0];
  const int32_t* cell = FaceGrid[indexCoordY][indexCoordX];
  const double threshold = static_cast<double>(PI + PI) - 0.1;
  for (int32_t k = 1; k <= cell[0]; ++k) {
    const int32_t f = cell[k];
    const CFace& face = terrain.Face[f];
    const CVertex3& v0 = terrain.Vertices[face.Index[0]];
    const CVertex3& v1 = terrain.Vertices[face.Index[1]];
    const CVertex3& v2 = terrain.Vertices[face.Index[2]];
    const FacePlane& plane = FacePlaneTable[static_cast<size_t>(f)];
    const double x = Glader.x, y = Glader.y;
    const float to0 = SquaredDistance(x, y, v0), to1 = SquaredDistance(x, y, v1), to2 = SquaredDistance(x, y, v2);
    const float angle1 = EdgeAngle(to0, to2, plane.edge02);
    const float angle2 = EdgeAngle(to1, to2, plane.edge12);
    const float angle3 = EdgeAngle(to1, to0, plane.edge01);
    const float sum = static_cast<float>(static_cast<double>(angle1) + angle2 + angle3);
    if (sum > threshold) {
      const double t = plane.planeA * x + plane.planeB * y + plane.planeC * (static_cast<double>(Glader.z) - 100) +
                       static_cast<double>(plane.planeD);
      if (t > 0) NamFace = f;
      const float h = static_cast<float>(-(plane.planeA * x + plane.planeB * y + static_cast<double>(plane.planeD)) /
                                         plane.planeC);
      if (std::isfinite(h)) {
        if (GroundClearance > static_cast<double>(Glader.z) - h) {
          Glader.z = static_cast<float>(static_cast<double>(h) + GroundClearance);
          MarkFace(0, 1, 0.1f, v0, v2, v1);
        }
        Glader.z = static_cast<float>(Glader.z - static_cast<double>(MoveStep) / 2);
      }
    }
    MarkFace(1, 0, 0.05f, v0, v2, v1);
  }
}
