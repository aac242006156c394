// Reading inputs under a memory and time limit: the command runs in a child process that its parent watches.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/scene/cli.h"

// What a command may spend on reading one input (a model, a raster, a picture): the megabytes the whole
// process may hold in memory meanwhile, and the seconds the read may take.
struct ReadLimits {
  double megabytes;
  double seconds;
};

// --memory-limit and --time-limit, which every command that reads inputs takes.
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
