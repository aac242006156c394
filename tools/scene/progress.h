// The line that shows on a terminal how far a command's work has come, and the progress its reads report.
#pragma once

#include <string>

// One step of a command's work, shown on stderr while stderr is a terminal that runs the command in its
// foreground, on one line that is redrawn in place: "reading car.glb: 42%, 3.1 s" for a step whose reader
// reports how far it has come, "simplifying car.glb: 3.1 s" for one that cannot. Steps nest; the innermost
// is shown, and the line is cleared when the outermost ends. Within a watched read a reporting step's
// fractions are the progress the stall limit watches, from the step's start; a step that cannot report
// holds that watch until it ends.
class Step {
 public:
  Step(const std::string& what, bool reports);
  ~Step();
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;
};

// "reading car.glb": a step's name for what it does to a file, the file named without its folder.
std::string OnFile(const std::string& verb, const std::string& file);

// Whether stderr is a terminal in whose foreground this process runs: where the progress line is drawn.
bool DrawsProgress();

// How far the innermost step has come, 0 to 1: what the readers' callbacks report.
void ReportProgress(double fraction);

// Prints the line on stderr where a progress line may be shown: the progress line is cleared first, so the
// two never share a line, and drawn again below it.
void PrintAboveProgress(const std::string& line);
