// glide-scene check on flight: the face grid's cell limit, the glider's start, where terrain and objects stand.
#include <algorithm>
#include <cmath>
#include <utility>

#include "config/config.h"
#include "physics/physics.h"
#include "tools/check/check.h"
#include "tools/terrain/terrain_mesh.h"

namespace {

constexpr int32_t kCellLimit = CellEntries - 1;  // faces one cell holds

int32_t Fullest(const std::vector<int32_t>& filings) { return *std::max_element(filings.begin(), filings.end()); }

// Heights to the centimetre: ground heights at a corner are found a millimetre aside.
std::string Height(double value) { return Number(std::round(value * 100) / 100 + 0.0); }

std::string Place(const CVertex3& p) {
  std::string out = "(";
  return out.append(Number(p.x)).append(", ").append(Number(p.y)).append(", ").append(Number(p.z)).append(")");
}

bool Fits(const CModel& terrain, float divisions) { return Fullest(CellFilings(terrain, divisions)) <= kCellLimit; }

// The middle of a cell, for telling the user where to look.
std::string CellPlace(long cell) {
  const double dx = (static_cast<double>(maxX) - minX) / GridDivisions, dy = (static_cast<double>(maxY) - minY) / GridDivisions;
  std::string out = "(";
  return out.append(Height(minX + (cell % GridCells - 0.5) * dx)).append(", ")
      .append(Height(minY + (cell / GridCells - 0.5) * dy)).append(")");
}

std::string Cells(long n) { return std::to_string(n) + " face-grid cell" + (n > 1 ? "s" : ""); }

// False when cells overflow or have holes; ground heights are then not what the user meant, so nothing is
// judged by them. The grid divisions suggested neither overflow nor leave holes; each search halves its range,
// so a check costs a few dozen passes over the faces whatever the terrain.
bool CheckGrid(Findings& out, const CModel& terrain, const std::string& terrainFile) {
  const std::vector<int32_t> filings = CellFilings(terrain, GridDivisions);
  const int32_t fullest = Fullest(filings);
  if (fullest > kCellLimit) {
    const long overfull = std::count_if(filings.begin(), filings.end(), [](int32_t n) { return n > kCellLimit; });
    const long cell = std::max_element(filings.begin(), filings.end()) - filings.begin();
    const std::string what = Cells(overfull) + " would hold more than 254 faces (the fullest " + std::to_string(fullest) +
                             ", around " + CellPlace(cell) + "); glide files no more, so ground following misses the "
                             "ground in much of " + (overfull > 1 ? "them" : "it");
    const int32_t finest = Fullest(CellFilings(terrain, GridCells - 2));
    if (finest > kCellLimit) {
      const long faces = static_cast<long>(terrain.CountFace) * kCellLimit / finest;
      out.Error(terrainFile, 0, what + ", even at 253 divisions; reduce the terrain to about " + std::to_string(faces) +
                                    " faces, or spread out the faces crowded there");
      return false;
    }
    // Finer cells hold fewer faces but leave more holes: the coarsest grid that fits is the only candidate.
    int coarse = static_cast<int>(std::floor(GridDivisions)), fine = GridCells - 2;
    while (fine - coarse > 1) {
      const int middle = (coarse + fine) / 2;
      (Fits(terrain, static_cast<float>(middle)) ? fine : coarse) = middle;
    }
    if (HoleCells(terrain, static_cast<float>(fine)).empty())
      out.Error(SettingsFile, 9, what + "; set the grid divisions to " + std::to_string(fine));
    else
      out.Error(terrainFile, 0, what + "; at " + std::to_string(fine) + " divisions and more, where the cells hold few "
                                    "enough faces, faces larger than a cell leave cells without ground; make the "
                                    "terrain's faces even in size (glide-scene terrain makes a regular grid)");
    return false;
  }
  const std::vector<long> holes = HoleCells(terrain, GridDivisions);
  if (holes.empty()) return true;
  const std::string what = Cells(static_cast<long>(holes.size())) + " on the terrain, the first around " +
                           CellPlace(holes.front()) + ", have no face filed under their middle, because the faces "
                           "there are larger than a cell; ground following finds no ground there";
  // Coarser cells take in more of each face but fill up: the finest grid without holes is the only candidate.
  int coarse = 1, fine = static_cast<int>(std::ceil(GridDivisions));
  const bool none = !HoleCells(terrain, 1).empty();
  while (!none && fine - coarse > 1) {
    const int middle = (coarse + fine) / 2;
    (HoleCells(terrain, static_cast<float>(middle)).empty() ? coarse : fine) = middle;
  }
  if (!none && Fits(terrain, static_cast<float>(coarse)))
    out.Error(SettingsFile, 9, what + "; set the grid divisions to " + std::to_string(coarse));
  else
    out.Error(terrainFile, 0, what + ", and no grid divisions avoid this without overfull cells; make the terrain's "
                                  "faces even in size (glide-scene terrain makes a regular grid)");
  return false;
}

void CheckStart(Findings& out, const std::string& linkFile, int terrainLine) {
  const std::optional<float> ground = GroundHeight(0, 0);
  if (!ground) {
    out.Error(linkFile, terrainLine, "the glider starts at (0, 0), where ground following finds no terrain, so it "
                                     "never lifts the glider; make the terrain cover the origin (glide-scene terrain "
                                     "centres it there)");
  } else if (*ground > GroundClearance) {
    out.Warning(linkFile, terrainLine, "the glider starts at height 0, " + Height(*ground) + " below the ground at the "
                                       "origin, and glide lifts it out at the first frame; lower the terrain so the "
                                       "origin lies at most " + Number(GroundClearance) + " (the ground clearance) above it");
  }
}

// The chase camera's first eye: glide places it behind the glider at the origin, heading and pitch 0,
// before the first frame is drawn.
CVertex3 FirstEye() {
  const Restore restore(Glader, GladerYaw, GladerPitch, CameraYaw, CameraPitch, CameraEye, ApplyLookAt);
  Glader = CVertex3{0, 0, 0};
  GladerYaw = GladerPitch = CameraYaw = CameraPitch = 0;
  ApplyLookAt = nullptr;
  PositionCamera();
  return CVertex3{CameraEye.x, CameraEye.y, static_cast<float>(CameraEye.z + kEyeLift)};
}

void CheckCamera(Findings& out, const std::string& linkFile, int terrainLine) {
  const CVertex3 eye = FirstEye();
  const std::optional<float> ground = GroundHeight(eye.x, eye.y);
  if (!ground || *ground < eye.z) return;
  std::string place = "(";
  place.append(Height(eye.x)).append(", ").append(Height(eye.y)).append(", ").append(Height(eye.z)).append(")");
  out.Warning(linkFile, terrainLine, "the chase camera starts at " + place + ", " + Height(*ground - eye.z) +
                                     " below the ground there, so the first frames show the ground from inside and "
                                     "no glider; lower the terrain behind the start (-X) or move it aside "
                                     "('glide-scene terrain DIR INPUT' places a terrain so that the camera starts "
                                     "above it)");
}

// The placement point is the model's own origin; its lowest vertex should meet the ground there.
void CheckObjects(Findings& out, const LinkScan& link, const std::string& linkFile) {
  for (size_t i = 0; i < ObjectsModel.size() && i < link.sections[kObjects].size(); ++i) {
    const CModel& model = ObjectsModel[i];
    if (model.CountVertices == 0) continue;
    float low = model.Vertices[1].z, high = low;
    for (int32_t v = 1; v <= model.CountVertices; ++v) {
      low = std::min(low, model.Vertices[v].z);
      high = std::max(high, model.Vertices[v].z);
    }
    const float tolerance = std::max(1.0f, 0.05f * (high - low));
    const LinkedEntry& entry = link.sections[kObjects][i];
    for (size_t k = 0; k < entry.positionLines.size(); ++k) {
      const CVertex3& at = ObjectsLinks[i].Position[k];
      if (!WithinReach(at))
        continue;  // reported with the link file
      const std::optional<float> ground = GroundHeight(at.x, at.y);
      const std::string which = "'" + entry.name + "' at " + Place(at);
      if (!ground) {
        out.Warning(linkFile, entry.positionLines[k].x, which + " stands where there is no terrain; move it onto the terrain");
        continue;
      }
      const float gap = at.z + low - *ground;
      if (std::fabs(gap) <= tolerance) continue;
      out.Warning(linkFile, entry.positionLines[k].z,
                  which + (gap > 0 ? " floats " : " is buried ") + Height(std::fabs(gap)) + (gap > 0 ? " above" : " below") +
                      " the ground; set its Z to " + Height(*ground - low) + " to stand it on the ground");
    }
  }
}

}  // namespace

std::vector<long> HoleCells(const CModel& terrain, float divisions) {
  const Restore restore(deltaMatrixX, deltaMatrixY);
  const double dx = (static_cast<double>(maxX) - minX) / divisions, dy = (static_cast<double>(maxY) - minY) / divisions;
  deltaMatrixX = static_cast<float>(dx);
  deltaMatrixY = static_cast<float>(dy);
  struct Face {
    const CVertex3* v[3];
    double area;
    // Whether cell (column, row)'s middle, minX + (column - 0.5) * dx, lies on the face, edges included.
    bool Covers(double x, double y) const {
      bool in = true;
      for (int i = 0; i < 3; ++i) {
        const CVertex3 &a = *v[i], &b = *v[(i + 1) % 3];
        in = in && ((b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y)) * area >= 0;
      }
      return in;
    }
  };
  auto middleX = [&](long column) { return minX + (static_cast<double>(column) - 0.5) * dx; };
  auto middleY = [&](long row) { return minY + (static_cast<double>(row) - 0.5) * dy; };
  std::vector<Face> faces;
  faces.reserve(static_cast<size_t>(terrain.CountFace));
  std::vector<uint8_t> onFiled(static_cast<size_t>(GridCells) * GridCells);
  for (int32_t f = 0; f < terrain.CountFace; ++f) {
    Face face;
    for (int i = 0; i < 3; ++i) face.v[i] = &terrain.Vertices[terrain.Face[f].Index[i]];
    const CVertex3* const* v = face.v;
    face.area = (v[1]->x - v[0]->x) * static_cast<double>(v[2]->y - v[0]->y) -
                (v[2]->x - v[0]->x) * static_cast<double>(v[1]->y - v[0]->y);
    if (!(std::fabs(face.area) > 0)) continue;
    for (int i = 0; i < 3; ++i) {
      int column, row;
      if (FindCell(v[i]->x, v[i]->y, &column, &row) && face.Covers(middleX(column), middleY(row)))
        onFiled[static_cast<size_t>(row) * GridCells + static_cast<size_t>(column)] = 1;
    }
    faces.push_back(face);
  }
  // The cells on the terrain's box that no filed face covers, per row linked to the next such column so that each
  // is visited once; a face's cost is the rows it spans that still hold one, and the pass ends when none is left.
  constexpr long kRow = GridCells + 1;
  const double onBox = std::min(GridCells - 1.0, std::floor(static_cast<double>(divisions) + 0.5));
  std::vector<uint16_t> next(static_cast<size_t>(GridCells * kRow));
  std::vector<int> openInRow(GridCells);
  long open = 0;
  for (long row = 1; row < GridCells; ++row)
    for (long column = 0; column < kRow; ++column) {
      const bool isOpen = row <= onBox && column >= 1 && column <= onBox &&
                          !onFiled[static_cast<size_t>(row * GridCells + column)];
      next[static_cast<size_t>(row * kRow + column)] = static_cast<uint16_t>(isOpen || column == GridCells ? column : column + 1);
      openInRow[static_cast<size_t>(row)] += isOpen;
      open += isOpen;
    }
  auto nextOpen = [&next](long row, long column) {
    uint16_t* const links = &next[static_cast<size_t>(row * kRow)];
    long c = column;
    while (links[c] != c) c = links[c];
    for (long k = column; links[k] != k;) k = std::exchange(links[k], static_cast<uint16_t>(c));
    return c;
  };
  std::vector<long> holes;
  for (size_t f = 0; f < faces.size() && open > 0; ++f) {
    const CVertex3* const* v = faces[f].v;
    const double low = std::min({v[0]->y, v[1]->y, v[2]->y}), high = std::max({v[0]->y, v[1]->y, v[2]->y});
    const double r0 = std::max(1.0, std::ceil((low - minY) / dy + 0.5));
    const double r1 = std::min(GridCells - 1.0, std::floor((high - minY) / dy + 0.5));
    for (double r = r0; r <= r1; ++r) {
      const long row = static_cast<long>(r);
      if (openInRow[static_cast<size_t>(row)] == 0) continue;
      const double y = middleY(row);
      double left = INFINITY, right = -INFINITY;
      for (int i = 0; i < 3; ++i) {
        const CVertex3 &a = *v[i], &b = *v[(i + 1) % 3];
        if (!(std::min(a.y, b.y) <= y && y <= std::max(a.y, b.y))) continue;
        const double x = a.y == b.y ? a.x : a.x + (y - a.y) * (static_cast<double>(b.x) - a.x) / (b.y - a.y);
        left = std::min({left, x, a.y == b.y ? static_cast<double>(b.x) : x});
        right = std::max({right, x, a.y == b.y ? static_cast<double>(b.x) : x});
      }
      if (!(left <= right)) continue;
      // The columns between the crossings, one more each side; the exact test decides at the edges.
      const long c0 = static_cast<long>(std::max(1.0, std::ceil((left - minX) / dx + 0.5) - 1));
      const long c1 = static_cast<long>(std::min(GridCells - 1.0, std::floor((right - minX) / dx + 0.5) + 1));
      for (long c = nextOpen(row, c0); c <= c1; c = nextOpen(row, c + 1)) {
        if (!faces[f].Covers(middleX(c), y)) continue;
        holes.push_back(row * GridCells + c);
        next[static_cast<size_t>(row * kRow + c)] = static_cast<uint16_t>(c + 1);
        --openInRow[static_cast<size_t>(row)];
        --open;
      }
    }
  }
  std::sort(holes.begin(), holes.end());
  return holes;
}

void CheckFlight(Findings& out, const LinkScan& link, const std::string& linkFile) {
  if (!link.read) return;
  if (link.sections[kLocation].empty() || LocationModel.empty()) {
    out.Warning(linkFile, 0, "has no terrain entry under the first section line, so glide has no ground to follow; "
                             "add one with 'glide-scene terrain DIR INPUT'");
    return;
  }
  const LinkedEntry& terrainEntry = link.sections[kLocation][0];
  for (size_t i = 0; i < link.sections[kLocation].size() && i < LocationLinks.size(); ++i) {
    const LinkedEntry& entry = link.sections[kLocation][i];
    for (size_t k = 0; k < entry.positionLines.size(); ++k) {
      const CVertex3& at = LocationLinks[i].Position[k];
      if (i == 0 && k == 0) {
        if (at.x != 0 || at.y != 0 || at.z != 0)
          out.Error(linkFile, entry.positionLines[k].x,
                    "the terrain is placed at " + Place(at) + ", but ground following uses the mesh's own "
                    "coordinates, so the glider follows ground where none is drawn; place it at 0, 0, 0 and move "
                    "the mesh itself instead");
      } else {
        out.Warning(linkFile, entry.positionLines[k].x,
                    "'" + entry.name + "' at " + Place(at) + " is drawn, but ground following knows only the first "
                    "terrain entry at its first place, so the glider flies through this one");
      }
    }
  }
  const CModel& terrain = LocationModel[0];
  if (terrain.CountFace == 0) return;
  if (!(maxX > minX && maxY > minY && std::isfinite(maxX - minX) && std::isfinite(maxY - minY))) {
    out.Error(terrainEntry.name + ".obj", 0, "the terrain has no finite extent in X or in Y, so the face grid has no "
                                             "cells; the terrain must be a surface over X and Y, with Z up");
    return;
  }
  if (!(GridDivisions > 0 && GridDivisions < GridCells - 1)) return;
  if (!CheckGrid(out, terrain, terrainEntry.name + ".obj")) return;
  CheckStart(out, linkFile, terrainEntry.nameLine);
  CheckCamera(out, linkFile, terrainEntry.nameLine);
  CheckObjects(out, link, linkFile);
}
