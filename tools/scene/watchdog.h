// Reading inputs under limits of memory, time and stalling: the command runs in a child process that its parent
// watches.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/scene/cli.h"

// What a command may spend on reading one input (a model, a raster, a picture): the megabytes the whole
// process may hold in memory meanwhile, the seconds the read may take, and the seconds it may go without
// progress (see Step).
struct ReadLimits {
  double megabytes;
  double seconds;
  double stallSeconds;
};

// --memory-limit, --time-limit and --stall-limit, which every command that reads inputs takes.
const std::vector<OptionSpec>& LimitOptions();
ReadLimits ReadLimitsOf(const Args& args);

// Runs `command` (argv as main got it) again in a watched child process of the same program and returns its
// exit code. A child that passes a limit while reading is killed and the input named with the option that
// raises the limit; one that crashes while reading gets "cannot read NAME". Limits apply only during reads,
// so no child is stopped while it writes the scene.
int RunWatched(char** argv, const char* command);

// True in the child RunWatched started; the command then runs as usual.
bool IsWatchedChild();

// Marks the reading of one input for the watching parent, from construction until destruction. It first
// refuses, at once, a folder or another file that is not a regular one (a FIFO that would block, a device);
// `what` says what the file should be ("a model file"). A missing file is left to the reader, which names it
// as such. Outside a watched child only that check is made.
class WatchedRead {
 public:
  WatchedRead(const std::string& file, const ReadLimits& limits, const std::string& what);
  ~WatchedRead();
  WatchedRead(const WatchedRead&) = delete;
  WatchedRead& operator=(const WatchedRead&) = delete;
};

// What read() returns, read while `file` is marked as being read.
template <typename Read>
auto ReadWatched(const std::string& file, const ReadLimits& limits, const std::string& what, Read read) {
  const WatchedRead watched(file, limits, what);
  return read();
}

// What the steps of a watched read tell the watching parent: a step begins that reports its progress (the
// stall clock starts again from none) or one that cannot (the clock holds until the next step), or the
// step's reported fraction. Nothing outside a watched read.
void WatchStep(bool reports);
void WatchProgress(double fraction);
