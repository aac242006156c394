// glide-scene check on flight: the face grid's cell limit, the glider's start, where terrain and objects stand.
#include <algorithm>
#include <cmath>

#include "config/config.h"
#include "physics/physics.h"
#include "tools/check.h"

namespace {

constexpr int32_t kCellLimit = CellEntries - 1;  // faces one cell holds

int32_t Fullest(const std::vector<int32_t>& filings) { return *std::max_element(filings.begin(), filings.end()); }

// Heights to the centimetre: ground heights at a corner are found a millimetre aside.
std::string Height(double value) { return Number(std::round(value * 100) / 100 + 0.0); }

std::string Place(const CVertex3& p) { return "(" + Number(p.x) + ", " + Number(p.y) + ", " + Number(p.z) + ")"; }

bool Fits(const CModel& terrain, float divisions) { return Fullest(CellFilings(terrain, divisions)) <= kCellLimit; }

bool Sound(const CModel& terrain, float divisions) { return Fits(terrain, divisions) && HoleCells(terrain, divisions).empty(); }

// The middle of a cell, for telling the user where to look.
std::string CellPlace(long cell) {
  const double dx = (static_cast<double>(maxX) - minX) / GridDivisions, dy = (static_cast<double>(maxY) - minY) / GridDivisions;
  return "(" + Height(minX + (cell % GridCells - 0.5) * dx) + ", " + Height(minY + (cell / GridCells - 0.5) * dy) + ")";
}

std::string Cells(long n) { return std::to_string(n) + " face-grid cell" + (n > 1 ? "s" : ""); }

// False when cells overflow or have holes; ground heights are then not what the user meant, so nothing is
// judged by them. The grid divisions suggested are the nearest that neither overflow nor leave holes.
bool CheckGrid(Findings& out, const CModel& terrain, const std::string& terrainFile) {
  const std::vector<int32_t> filings = CellFilings(terrain, GridDivisions);
  const int32_t fullest = Fullest(filings);
  if (fullest > kCellLimit) {
    const long overfull = std::count_if(filings.begin(), filings.end(), [](int32_t n) { return n > kCellLimit; });
    const long cell = std::max_element(filings.begin(), filings.end()) - filings.begin();
    const std::string what = Cells(overfull) + " would hold more than 254 faces (the fullest " + std::to_string(fullest) +
                             ", around " + CellPlace(cell) + "); glide files no more, so ground following misses the "
                             "ground in much of " + (overfull > 1 ? "them" : "it");
    // Finer cells hold fewer faces.
    for (int divisions = static_cast<int>(std::floor(GridDivisions)) + 1; divisions < GridCells - 1; ++divisions)
      if (Sound(terrain, static_cast<float>(divisions))) {
        out.Error(SettingsFile, 9, what + "; set the grid divisions to " + std::to_string(divisions));
        return false;
      }
    const long faces = static_cast<long>(terrain.CountFace) * kCellLimit / Fullest(CellFilings(terrain, GridCells - 2));
    out.Error(terrainFile, 0, what + ", even at 253 divisions; reduce the terrain to about " + std::to_string(faces) +
                                  " faces, or spread out the faces crowded there");
    return false;
  }
  const std::vector<long> holes = HoleCells(terrain, GridDivisions);
  if (holes.empty()) return true;
  const std::string what = Cells(static_cast<long>(holes.size())) + " on the terrain, the first around " +
                           CellPlace(holes.front()) + ", have no face filed under their middle, because the faces "
                           "there are larger than a cell; ground following finds no ground there";
  // Coarser cells take in more of each face.
  for (int divisions = static_cast<int>(std::ceil(GridDivisions)) - 1; divisions >= 1; --divisions)
    if (Sound(terrain, static_cast<float>(divisions))) {
      out.Error(SettingsFile, 9, what + "; set the grid divisions to " + std::to_string(divisions));
      return false;
    }
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
  const float savedX = deltaMatrixX, savedY = deltaMatrixY;
  const double dx = (static_cast<double>(maxX) - minX) / divisions, dy = (static_cast<double>(maxY) - minY) / divisions;
  deltaMatrixX = static_cast<float>(dx);
  deltaMatrixY = static_cast<float>(dy);
  std::vector<uint8_t> onFiled(static_cast<size_t>(GridCells) * GridCells), onOther(onFiled.size());
  for (int32_t f = 0; f < terrain.CountFace; ++f) {
    const CVertex3* v[3];
    long filed[3];
    for (int i = 0; i < 3; ++i) {
      v[i] = &terrain.Vertices[terrain.Face[f].Index[i]];
      int column, row;
      filed[i] = FindCell(v[i]->x, v[i]->y, &column, &row) ? static_cast<long>(row) * GridCells + column : -1;
    }
    const double area = (v[1]->x - v[0]->x) * static_cast<double>(v[2]->y - v[0]->y) -
                        (v[2]->x - v[0]->x) * static_cast<double>(v[1]->y - v[0]->y);
    if (!(std::fabs(area) > 0)) continue;
    // Cell k's middle is minX + (k - 0.5) * dx; the columns and rows whose middles the face's box holds.
    auto first = [](float a, float b, float c, double origin, double size) {
      return std::max(1.0, std::ceil((std::min({a, b, c}) - origin) / size + 0.5));
    };
    auto last = [](float a, float b, float c, double origin, double size) {
      return std::min(GridCells - 1.0, std::floor((std::max({a, b, c}) - origin) / size + 0.5));
    };
    const double c0 = first(v[0]->x, v[1]->x, v[2]->x, minX, dx), c1 = last(v[0]->x, v[1]->x, v[2]->x, minX, dx);
    const double r0 = first(v[0]->y, v[1]->y, v[2]->y, minY, dy), r1 = last(v[0]->y, v[1]->y, v[2]->y, minY, dy);
    for (double row = r0; row <= r1; ++row)
      for (double column = c0; column <= c1; ++column) {
        const double x = minX + (column - 0.5) * dx, y = minY + (row - 0.5) * dy;
        bool inside = true;
        for (int i = 0; i < 3; ++i) {
          const CVertex3 &a = *v[i], &b = *v[(i + 1) % 3];
          inside = inside && ((b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y)) * area >= 0;
        }
        if (!inside) continue;
        const long cell = static_cast<long>(row) * GridCells + static_cast<long>(column);
        (cell == filed[0] || cell == filed[1] || cell == filed[2] ? onFiled : onOther)[static_cast<size_t>(cell)] = 1;
      }
  }
  deltaMatrixX = savedX;
  deltaMatrixY = savedY;
  std::vector<long> holes;
  for (size_t cell = 0; cell < onFiled.size(); ++cell)
    if (onOther[cell] && !onFiled[cell]) holes.push_back(static_cast<long>(cell));
  return holes;
}

void CheckFlight(Findings& out, const LinkScan& link, const std::string& linkFile) {
  if (!link.read) return;
  if (link.sections[kLocation].empty() || LocationModel.empty()) {
    out.Error(linkFile, 0, "has no terrain entry under the first section line, so glide has no ground to follow; add "
                           "one (glide-scene terrain makes it)");
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
  CheckObjects(out, link, linkFile);
}
