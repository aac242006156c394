// glide-scene check on the settings and link files: each line read by the program's rules, with its line number.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "config/config.h"
#include "platform/platform.h"
#include "tools/check/check.h"
#include "tools/terrain/terrain_mesh.h"

int Findings::Errors() const {
  int errors = 0;
  for (const Finding& f : all_) errors += f.error;
  return errors;
}

std::string FindingLine(const Finding& f) {
  std::string out = f.error ? "error: " : "warning: ";
  out += f.file;
  if (f.line > 0) out.append(":").append(std::to_string(f.line));
  return out.append(": ").append(f.text);
}

bool ForEachLine(Findings& out, const std::string& file, const char* text, size_t size,
                 const std::function<void(int number, const char* line, size_t length)>& each) {
  const char* const end = text + size;
  for (int n = 1; text != end; ++n) {
    const char* stop = FindLineFeed(text, end);
    size_t length = static_cast<size_t>(stop - text);
    if (stop != end && length > 0 && stop[-1] == '\r') --length;
    if (length > MaxLineLength) {
      out.Error(file, n, "the line is " + std::to_string(length) + " characters long; glide reads at most 254 and "
                         "ignores it and every line after it; shorten it");
      return false;
    }
    each(n, text, length);
    text = stop == end ? end : stop + 1;
  }
  return true;
}

namespace {

std::string Quoted(std::string text) {
  if (!text.empty() && text.back() == '\r') text.pop_back();
  std::string out = "'";
  return out.append(text.size() > 40 ? text.substr(0, 37) + "..." : text).append("'");
}

// The raw lines of a text, split at line feeds only, for lengths and quotes.
std::vector<std::string> RawLines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

constexpr double kMostSetting = 1e6;

bool SameValue(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

const char* const kSettingNames[9] = {"the log level",       "the link file path",   "the move step",
                                      "the turn step",       "the ground clearance", "the camera distance",
                                      "the camera yaw step", "the camera pitch step", "the grid divisions"};

}  // namespace

void CheckSettings(Findings& out, const Settings& glide) {
  const std::string file = SettingsFile;
  const std::optional<std::string> text = ReadSceneText(file);
  if (!text) {
    out.Error(file, 0, "missing or not a readable file; glide then loads no scene and the glider cannot move; make a "
                       "scene with 'glide-scene new DIR'");
    return;
  }
  std::istringstream in(*text);
  const std::vector<std::string> raw = RawLines(*text);
  // The same reads as the program's: 255-character buffer, a line too long fails the stream for good.
  Settings mine{0, "", 0, 0, 0, 0, 0, 0, 0};
  float* const floats[7] = {&mine.moveStep, &mine.turnStep, &mine.groundClearance, &mine.cameraDistance,
                            &mine.cameraYawStep, &mine.cameraPitchStep, &mine.gridDivisions};
  bool scanned[9] = {};
  for (int n = 1; n <= 9; ++n) {
    char strRead[255] = "";
    const bool wasGood = in.good();
    in.getline(strRead, 255);
    const bool tooLong = wasGood && in.fail() && !in.eof() && in.gcount() == 254;
    if (tooLong)
      out.Error(file, n, "the line is " + std::to_string(raw[n - 1].size()) +
                             " characters long; glide reads its first 254 and then stops reading the file, so the "
                             "settings after it stay 0; shorten the line");
    else if (!wasGood || (in.fail() && in.gcount() == 0)) {
      out.Error(file, 0, "has " + std::to_string(n - 1) + " of the 9 lines glide reads, so " + kSettingNames[n - 1] +
                             " and the settings after it stay 0; add them (glide-scene new writes a complete file)");
      break;
    }
    if (n == 1) {
      scanned[0] = std::sscanf(strRead, "%d", &mine.logLevel) == 1;
    } else if (n == 2) {
      char word[255];
      scanned[1] = std::sscanf(strRead, "%254s", word) == 1;
      if (scanned[1] && std::strlen(word) < sizeof strLinkFile) mine.linkFile = word;
      if (scanned[1] && std::strlen(word) >= sizeof strLinkFile)
        out.Error(file, 2, "the link file path is " + std::to_string(std::strlen(word)) +
                               " characters long; glide takes at most 99 and ignores this one, so the scene is "
                               "empty; move the link file to a shorter path");
    } else {
      scanned[n - 1] = std::sscanf(strRead, "%f", floats[n - 3]) == 1;
    }
    if (!scanned[n - 1]) {
      const std::string what = Quoted(strRead) + (n == 2 ? " holds no path" : " does not read as a number");
      const std::string keeps = n == 2 ? std::string("glide finds no link file and shows no scene")
                                       : "glide keeps 0 for " + std::string(kSettingNames[n - 1]);
      if (n == 1) out.Warning(file, 1, what + "; " + keeps + "; write a whole number first on the line");
      else out.Error(file, n, what + "; " + keeps + "; write the value first on the line");
    }
    if (tooLong) break;
  }
  // Distances and angles a frame: beyond these the glider leaves any terrain in one frame, and soon after
  // its position overflows single precision.
  for (int n = 3; n <= 8; ++n) {
    const float v = *floats[n - 3];
    if (scanned[n - 1] && !(std::fabs(v) <= kMostSetting))
      out.Error(file, n, Quoted(raw[n - 1]) + " reads as " + Number(v) + ", " +
                             (std::isfinite(v) ? "beyond the " + Number(kMostSetting) + " any scene needs"
                                               : std::string("not a finite number")) +
                             ", so glide flies the glider to places that are not numbers; write " +
                             kSettingNames[n - 1] + " as a plain finite number (glide-scene terrain fits it to the "
                             "terrain)");
  }
  if (scanned[2] && mine.moveStep == 0)
    out.Error(file, 3, "the move step is 0, so W and S do not move the glider; set it to a distance per frame, e.g. 0.6");
  if (scanned[3] && mine.turnStep == 0)
    out.Error(file, 4, "the turn step is 0, so the arrow keys do not turn or pitch the glider; set it to radians per "
                       "frame, e.g. 0.03");
  const float g = mine.gridDivisions;
  if (scanned[8] && !(g > 0 && g < 254))
    out.Error(file, 9, "with grid divisions " + Number(g) +
                           (g >= 254 ? " the terrain's far edge falls outside the face grid's 255 cells"
                                     : " the face grid holds no face, so ground following finds no ground") +
                           "; set a value above 0 and below 254, e.g. 100");

  const bool same = mine.logLevel == glide.logLevel && mine.linkFile == glide.linkFile &&
                    SameValue(mine.moveStep, glide.moveStep) && SameValue(mine.turnStep, glide.turnStep) &&
                    SameValue(mine.groundClearance, glide.groundClearance) &&
                    SameValue(mine.cameraDistance, glide.cameraDistance) &&
                    SameValue(mine.cameraYawStep, glide.cameraYawStep) &&
                    SameValue(mine.cameraPitchStep, glide.cameraPitchStep) && SameValue(g, glide.gridDivisions);
  if (!same)
    out.Error(file, 0, "glide-scene check reads these settings differently from glide; please report this with the file");
}

namespace {

// A line that reads whole as a whole number, as a name or a text line out of step would.
bool IsWholeNumber(const std::string& text, long* value) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
  *value = v;
  return *end == '\0';
}

// A line that reads whole as a number, trailing blanks allowed; "2cv/car" or "Infra/bridge" only start like one.
bool IsNumberLine(const std::string& text) {
  char* end = nullptr;
  std::strtof(text.c_str(), &end);
  if (end == text.c_str()) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
  return *end == '\0';
}

const char* const kAxes[3] = {"X", "Y", "Z"};

// The link file's reading, step by step as the program does it, with the lines each step came from.
class LinkReader {
 public:
  LinkReader(Findings& out, std::string file) : out_(out), file_(std::move(file)) {}

  void Line(int n, const char* line, size_t length) {
    const std::string text(line, strnlen(line, length));
    if (length > 0 && line[0] == '#' && ++section_ == 4) fourthSectionLine_ = n;
    if (length == 0 || line[0] == '#' || line[0] == '\0') return;
    if (line[0] == ' ') {
      if (text.find_first_not_of(" \t\r") != std::string::npos)
        out_.Warning(file_, n, "the line starts with a blank, so glide skips it; remove the leading blanks if it is "
                               "part of an entry");
      return;
    }
    if (section_ == 0 && !reportedSectionZero_) {
      reportedSectionZero_ = true;
      out_.Error(file_, n, "data before the first section line; glide reads it but stores it nowhere; put a line "
                           "'# Location' above the terrain's entry");
    }
    if (section_ >= 4 && !reportedFourth_) {
      reportedFourth_ = true;
      out_.Error(file_, fourthSectionLine_, "a fourth section line; glide stores no entry after it (sections are "
                                            "Location, Horizon, Objects); remove it and move its entries into "
                                            "'# Objects'");
    }
    ++field_;
    if (field_ == 1) Name(n, text);
    else if (field_ == 2) textLine_ = n, text_ = text;
    else if (field_ == 3) Count(n, text);
    else Coordinate(n, text);
  }

  // The entry still open at the end of the file is dropped.
  void End() {
    if (field_ == 0 || outOfStep_) return;
    const int complete = field_ <= 3 ? k_ : k_ - 1;
    out_.Error(file_, nameLine_, "the entry " + Quoted(name_) + " ends with the file " +
                                     (field_ < 3 ? std::string("before its count")
                                                 : "after " + std::to_string(complete) + " of its " +
                                                       std::to_string(count_) + " positions") +
                                     "; glide drops it; add the missing lines or lower the count");
  }

  LinkScan scan;

 private:
  void Name(int n, const std::string& text) {
    nameLine_ = n;
    name_ = text;
    nameFits_ = text.size() < sizeof LinkInfo.NameModel;
    positionLines_.clear();
    if (IsNumberLine(text))
      OutOfStep(n, "the entry name " + Quoted(text) + " is a number: the lines before it are out of step (a "
                   "position line missing or one too many?); each entry is a name, a free-text line, a count and "
                   "three lines for each position");
    else if (!nameFits_ && !outOfStep_)
      out_.Error(file_, n, "the name is " + std::to_string(text.size()) + " characters long; glide reads the entry but "
                           "stores it nowhere; use a path of at most 99 characters");
  }

  void Count(int n, const std::string& text) {
    const bool scans = std::sscanf(text.c_str(), "%d", &count_) == 1;
    long whole;
    const bool plain = IsWholeNumber(text, &whole);
    long textValue;
    if ((!plain || count_ < 1 || count_ > 10) && IsWholeNumber(text_, &textValue) && textValue >= 1 && textValue <= 10) {
      OutOfStep(nameLine_, "the entry " + Quoted(name_) + " has no free-text line: glide takes " + Quoted(text_) +
                               " (line " + std::to_string(textLine_) + ") as its text and " + Quoted(text) +
                               " (line " + std::to_string(n) + ") as its count; add a line of text after the name");
    } else if (!scans) {
      OutOfStep(n, Quoted(text) + " is not a position count; glide keeps " + std::to_string(count_) +
                       " from the entry before and the lines go out of step; write the number of positions, 1 to 10");
    } else if (count_ < 1) {
      OutOfStep(n, "the position count " + std::to_string(count_) + " is not 1 to 10; glide drops the entry and "
                   "reads the next line as a new entry's name; write the number of positions");
    } else if (count_ > 10 && !outOfStep_) {
      out_.Error(file_, n, "the position count " + std::to_string(count_) + " is above 10; glide keeps only the first "
                           "10 positions; split the entry into two entries of the same name");
    }
    if (count_ < 1) field_ = 0;
  }

  void Coordinate(int n, const std::string& text) {
    if (field_ == 4) {
      ++k_;
      if (k_ <= 10) positionLines_.push_back({n, n});
    }
    if (field_ == 6 && k_ <= 10) positionLines_.back().z = n;
    float value;
    if (std::sscanf(text.c_str(), "%f", &value) != 1)
      OutOfStep(n, Quoted(text) + " is read as the " + kAxes[field_ - 4] + " of position " + std::to_string(k_) +
                   " of the entry " + Quoted(name_) + " (line " + std::to_string(nameLine_) + "), and it is not a "
                   "number; that entry has fewer position lines than its count " + std::to_string(count_) +
                   ", or a line is missing; glide keeps the value before");
    if (field_ < 6) return;
    field_ = k_ == count_ ? 7 : 3;
    if (field_ == 3) return;
    if (nameFits_ && section_ >= 1 && section_ <= 3)
      scan.sections[section_ - 1].push_back(LinkedEntry{name_, nameLine_, positionLines_});
    field_ = 0;
    k_ = 0;
  }

  // The first step out of line is reported; what follows it is the same fault seen again.
  void OutOfStep(int n, const std::string& text) {
    if (!outOfStep_) out_.Error(file_, n, text);
    outOfStep_ = true;
  }

  Findings& out_;
  std::string file_;
  int section_ = 0, field_ = 0, k_ = 0, count_ = 0;
  int fourthSectionLine_ = 0, nameLine_ = 0, textLine_ = 0;
  std::string name_, text_;
  bool nameFits_ = true, outOfStep_ = false, reportedSectionZero_ = false, reportedFourth_ = false;
  std::vector<LinkedEntry::Lines> positionLines_;
};

}  // namespace

LinkScan CheckLink(Findings& out, const std::string& file) {
  size_t size = 0;
  const uint8_t* view = MapFile(file.c_str(), &size);
  // An empty file cannot be mapped; it is read as one without lines.
  if (!view && !std::filesystem::is_regular_file(file)) {
    if (!file.empty())
      out.Error(SettingsFile, 2, "the link file " + Quoted(file) + " does not exist or cannot be read; glide shows "
                                 "no scene; write the path of the scene's link file, relative to the scene folder");
    return {};
  }
  LinkReader reader(out, file);
  const bool whole = ForEachLine(out, file, reinterpret_cast<const char*>(view), view ? size : 0,
                                 [&reader](int n, const char* line, size_t length) { reader.Line(n, line, length); });
  if (whole) reader.End();
  UnmapFile(view, size);
  reader.scan.read = true;

  const std::vector<CLinkInfo>* lists[3] = {&LocationLinks, &HorizonLinks, &ObjectsLinks};
  for (int s = 0; s < 3; ++s) {
    bool same = reader.scan.sections[s].size() == lists[s]->size();
    for (size_t i = 0; same && i < lists[s]->size(); ++i)
      same = reader.scan.sections[s][i].name == (*lists[s])[i].NameModel &&
             static_cast<int>(reader.scan.sections[s][i].positionLines.size()) == (*lists[s])[i].CountPosition;
    if (!same) {
      out.Error(file, 0, "glide-scene check reads this file's entries differently from glide; please report this with the file");
      continue;
    }
    for (size_t i = 0; i < lists[s]->size(); ++i)
      for (size_t k = 0; k < reader.scan.sections[s][i].positionLines.size(); ++k) {
        const CVertex3& at = (*lists[s])[i].Position[k];
        const float axes[3] = {at.x, at.y, at.z};
        for (int a = 0; a < 3; ++a) {
          if (std::fabs(axes[a]) <= kMostUnits) continue;
          const LinkedEntry::Lines& lines = reader.scan.sections[s][i].positionLines[k];
          out.Error(file, a == 2 ? lines.z : lines.x,
                    "the " + std::string(kAxes[a]) + " of position " + std::to_string(k + 1) + " of " +
                        Quoted(reader.scan.sections[s][i].name) + " reads as " + Number(axes[a]) + ", " +
                        (std::isfinite(axes[a]) ? "beyond the " + Number(kMostUnits) + " units glide can place"
                                                : std::string("not a finite number")) +
                        ", so glide draws it nowhere; write a plain finite number");
          break;
        }
      }
  }
  return reader.scan;
}
