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

// False when cells overflow; ground heights are then not what the user meant, so nothing is judged by them.
bool CheckGrid(Findings& out, const CModel& terrain, const std::string& terrainFile) {
  const std::vector<int32_t> filings = CellFilings(terrain, GridDivisions);
  const int32_t fullest = Fullest(filings);
  if (fullest <= kCellLimit) return true;
  const long overfull = std::count_if(filings.begin(), filings.end(), [](int32_t n) { return n > kCellLimit; });
  const long cell = std::max_element(filings.begin(), filings.end()) - filings.begin();
  const double dx = (static_cast<double>(maxX) - minX) / GridDivisions, dy = (static_cast<double>(maxY) - minY) / GridDivisions;
  const CVertex3 centre{static_cast<float>(minX + (cell % GridCells - 0.5) * dx),
                        static_cast<float>(minY + (cell / GridCells - 0.5) * dy), 0};
  const std::string what = std::to_string(overfull) + " face-grid cell" + (overfull > 1 ? "s" : "") +
                           " would hold more than 254 faces (the fullest " + std::to_string(fullest) + ", around (" +
                           Height(centre.x) + ", " + Height(centre.y) + ")); glide files no more, so ground following "
                           "misses the ground in much of " + (overfull > 1 ? "them" : "it");
  // Finer cells hold fewer faces; the least change that fits keeps cells as large as the faces allow.
  int32_t finest = fullest;
  for (int divisions = static_cast<int>(std::floor(GridDivisions)) + 1; divisions < GridCells - 1; ++divisions) {
    finest = Fullest(CellFilings(terrain, static_cast<float>(divisions)));
    if (finest <= kCellLimit) {
      out.Error(SettingsFile, 9, what + "; set the grid divisions to " + std::to_string(divisions) + " or more (at most 253)");
      return false;
    }
  }
  const long faces = static_cast<long>(terrain.CountFace) * kCellLimit / finest;
  out.Error(terrainFile, 0, what + ", even at 253 divisions; reduce the terrain to about " + std::to_string(faces) +
                                " faces, or spread out the faces crowded there, and set the grid divisions to 253");
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
  if (!(maxX > minX && maxY > minY)) {
    out.Error(terrainEntry.name + ".obj", 0, "the terrain has no extent in X or in Y, so the face grid has no cells; "
                                             "the terrain must be a surface over X and Y, with Z up");
    return;
  }
  if (!(GridDivisions > 0 && GridDivisions < GridCells - 1)) return;
  if (!CheckGrid(out, terrain, terrainEntry.name + ".obj")) return;
  CheckStart(out, linkFile, terrainEntry.nameLine);
  CheckObjects(out, link, linkFile);
}
