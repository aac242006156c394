// The watched child process that reads inputs, and its parent that stops it past a memory, time or stall limit.
#include "tools/scene/watchdog.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "tools/scene/progress.h"

extern char** environ;

namespace {

// The child finds the ends of its two pipes and its parent's id here: "UP DOWN PARENT".
const char* const kMarker = "GLIDE_SCENE_WATCHED";
// How often the parent looks at a reading child: a flood of a few GB a second passes the limit by a few
// tens of MB at most.
constexpr int kLookMs = 10;
// The child says "R<megabytes> <seconds> <stall seconds> <file>" before a read and "D" after it, each ending
// in a zero byte, which no path holds; after "D" it waits for the parent's one-byte answer, so that a kill
// decided during the read cannot land after it. Within a read it says "S" where a step that reports progress
// begins, "U" where one that cannot begins, and "P<fraction>" as a step's fraction grows.
int toParent = -1;
int fromParent = -1;
bool reading = false;  // in the child, within a WatchedRead
// The last fraction told, and when: growth is told at most every kTellMs.
double told = -1;
std::chrono::steady_clock::time_point toldAt;
constexpr int kTellMs = 50;

const char* const kLostParent = "glide-scene: lost touch with the process that watches its reading; run the command again";

bool Send(const std::string& record) {
  // The zero byte that ends the record is the string's own.
  for (size_t sent = 0; sent < record.size() + 1;) {
    const ssize_t n = write(toParent, record.c_str() + sent, record.size() + 1 - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

double ResidentMegabytes(pid_t pid) {
  std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/statm").c_str(), "r");
  if (!f) return 0;
  long size = 0, resident = 0;
  const bool read = std::fscanf(f, "%ld %ld", &size, &resident) == 2;
  std::fclose(f);
  return read ? static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

std::string Whole(double value) { return std::to_string(static_cast<long long>(value)); }

}  // namespace

// The largest inputs glide-scene takes (an 8192 x 8192 16-bit PNG, a 3601 x 3601 SRTM tile, a model of a
// million faces) need under 1 GB and 30 s on a busy two-core machine: the defaults leave four times that.
// The program alone, with its libraries, holds about 50 MB. Most of assimp's readers report only their start
// and end, so the stall limit must outlast a whole read of the largest model: 4,000,000 triangles of glTF or
// binary PLY go at most 8 s without progress on a two-core machine under a load of 9.
const std::vector<OptionSpec>& LimitOptions() {
  static const std::vector<OptionSpec> limits = [] {
    std::vector<OptionSpec> all{
        Option(OptionKind::kNumber, "--memory-limit", "MB", "memory the command may hold while it reads (default 4096)",
               4096, 100, 1e7),
        Option(OptionKind::kNumber, "--time-limit", "SECONDS", "time one read may take (default 120)", 120, 0.1, 1e6),
        Option(OptionKind::kNumber, "--stall-limit", "SECONDS",
               "time a read may go on without progress (default 30)", 30, 0.1, 1e6)};
    for (OptionSpec& limit : all) limit.numeric = true;
    return all;
  }();
  return limits;
}

ReadLimits ReadLimitsOf(const Args& args) {
  return {args.Number("--memory-limit"), args.Number("--time-limit"), args.Number("--stall-limit")};
}

bool IsWatchedChild() {
  static const bool child = [] {
    const char* marker = std::getenv(kMarker);
    long parent = 0;
    if (!marker || std::sscanf(marker, "%d %d %ld", &toParent, &fromParent, &parent) != 3) {
      toParent = fromParent = -1;
      return false;
    }
    unsetenv(kMarker);
    // Nothing the readers start may hold the pipes open after this process ends.
    fcntl(toParent, F_SETFD, FD_CLOEXEC);
    fcntl(fromParent, F_SETFD, FD_CLOEXEC);
    // The child ends with its parent, even one killed outright.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    return true;
  }();
  return child;
}

int RunWatched(char** argv, const char* command) {
  const auto fail = [command](const char* what) {
    std::fprintf(stderr, "glide-scene %s: cannot start its reading process: %s: %s\n", command, what,
                 std::strerror(errno));
    return 1;
  };
  int up[2], down[2];
  if (pipe2(up, O_CLOEXEC) != 0 || pipe2(down, O_CLOEXEC) != 0) return fail("pipe");
  // Only the child's ends are inherited.
  fcntl(up[1], F_SETFD, 0);
  fcntl(down[0], F_SETFD, 0);
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  environment.push_back(std::string(kMarker) + "=" + std::to_string(up[1]) + " " + std::to_string(down[0]) + " " +
                        std::to_string(getpid()));
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  // A fresh process image, not a fork: the child starts single-threaded, whatever the libraries do later.
  errno = posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data());
  if (errno != 0) return fail("/proc/self/exe");
  close(up[1]);
  close(down[0]);
  // An answer to a child that has just died must not end the parent before it reports.
  signal(SIGPIPE, SIG_IGN);

  std::string pending, reading;
  ReadLimits limits{0, 0, 0};
  // The stall clock runs from `progressed` unless a step that cannot report is under way.
  std::chrono::steady_clock::time_point since, progressed;
  bool held = false;
  double best = -1;
  std::optional<std::string> passed;
  for (;;) {
    pollfd watch{up[0], POLLIN, 0};
    const int ready = poll(&watch, 1, reading.empty() ? -1 : kLookMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0) {
      char bytes[4096];
      const ssize_t n = read(up[0], bytes, sizeof bytes);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the child has ended
      pending.append(bytes, static_cast<size_t>(n));
      for (size_t end; (end = pending.find('\0')) != std::string::npos; pending.erase(0, end + 1)) {
        if (pending[0] == 'D') {
          reading.clear();
          const char answer = 'D';
          // The child waits for the answer before it writes anything, so it can still be stopped unharmed.
          if (write(down[1], &answer, 1) != 1 && errno != EPIPE) {
            passed = std::string("lost touch with its reading process: ") + std::strerror(errno);
            kill(pid, SIGKILL);
            break;
          }
          continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (pending[0] == 'P') {
          const double fraction = std::strtod(pending.c_str() + 1, nullptr);
          if (fraction > best) {
            best = fraction;
            progressed = now;
          }
          continue;
        }
        if (pending[0] == 'S' || pending[0] == 'U') {
          held = pending[0] == 'U';
          best = -1;
          progressed = now;
          continue;
        }
        int used = 0;
        std::sscanf(pending.c_str() + 1, "%lf %lf %lf%n", &limits.megabytes, &limits.seconds, &limits.stallSeconds,
                    &used);
        reading = pending.substr(used + 2, end - used - 2);
        since = progressed = now;
        held = false;
        best = -1;
      }
    }
    if (reading.empty()) continue;
    const auto now = std::chrono::steady_clock::now();
    if (ResidentMegabytes(pid) > limits.megabytes)
      passed = "it needed more than " + Whole(limits.megabytes) + " MB of memory (raise the limit with --memory-limit MB)";
    else if (std::chrono::duration<double>(now - since).count() > limits.seconds)
      passed = "it took longer than " + Number(limits.seconds) + " s (raise the limit with --time-limit SECONDS)";
    else if (!held && std::chrono::duration<double>(now - progressed).count() > limits.stallSeconds)
      passed = "it stalled, making no progress for " + Number(limits.stallSeconds) +
               " s (raise the limit with --stall-limit SECONDS)";
    if (!passed) continue;
    kill(pid, SIGKILL);
    break;
  }
  const bool lost = passed && reading.empty();
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  close(up[0]);
  close(down[1]);
  const std::string prefix = "glide-scene " + std::string(command) + ": ";
  // The child's progress line, where it left one, is cleared first.
  if ((passed || !reading.empty() || WIFSIGNALED(status)) && DrawsProgress()) std::fputs("\r\x1b[K", stderr);
  if (lost) {
    std::fprintf(stderr, "%s%s; the scene is as it was\n", prefix.c_str(), passed->c_str());
    return 1;
  }
  if (passed) {
    std::fprintf(stderr, "%scannot read '%s': %s\n", prefix.c_str(), Printable(reading).c_str(), passed->c_str());
    return 1;
  }
  // Errors the command reports end its reads first; a child that ends inside one has crashed, or was ended by
  // a library (or by the sanitizer's report of a crash).
  const std::string end = WIFSIGNALED(status) ? strsignal(WTERMSIG(status))
                                              : "exit code " + std::to_string(WEXITSTATUS(status));
  if (!reading.empty())
    std::fprintf(stderr,
                 "%scannot read '%s' (the reader crashed: %s); the file may be damaged: save or export it "
                 "again\n",
                 prefix.c_str(), Printable(reading).c_str(), end.c_str());
  else if (WIFSIGNALED(status))
    std::fprintf(stderr, "%sfailed (%s)\n", prefix.c_str(), end.c_str());
  return WIFEXITED(status) && reading.empty() ? WEXITSTATUS(status) : 1;
}

WatchedRead::WatchedRead(const std::string& file, const ReadLimits& limits, const std::string& what) {
  // stat, not open: opening a FIFO waits for a writer.
  struct stat info {};
  const bool there = stat(file.c_str(), &info) == 0;
  if (there && S_ISDIR(info.st_mode)) throw ToolError(file + ": is a folder; give " + what);
  if (there && !S_ISREG(info.st_mode))
    throw ToolError(file + ": is not a regular file (a FIFO, device or socket could keep the read waiting for ever); give " +
                    what);
  char record[96];
  std::snprintf(record, sizeof record, "R%.17g %.17g %.17g ", limits.megabytes, limits.seconds, limits.stallSeconds);
  if (toParent >= 0 && !Send(record + file)) throw ToolError(kLostParent);
  reading = toParent >= 0;
  told = -1;
}

WatchedRead::~WatchedRead() {
  if (toParent < 0) return;
  reading = false;
  // Without its answer the parent may still stop this process at a time limit, in the middle of writing.
  if (!Send("D")) {
    PrintAboveProgress(kLostParent);
    _exit(1);
  }
  char answer = 0;
  while (read(fromParent, &answer, 1) < 0 && errno == EINTR) {
  }
}

// A lost parent is left to the end of the read to report.
void WatchStep(bool reports) {
  if (!reading) return;
  told = -1;
  Send(reports ? "S" : "U");
}

void WatchProgress(double fraction) {
  const auto now = std::chrono::steady_clock::now();
  if (!reading || fraction <= told || (fraction < 1 && now - toldAt < std::chrono::milliseconds(kTellMs))) return;
  told = fraction;
  toldAt = now;
  char record[32];
  std::snprintf(record, sizeof record, "P%.17g", fraction);
  Send(record);
}
