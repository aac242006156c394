// The progress line on a terminal: the steps under way, redrawn by a ticker thread ten times a second.
#include "tools/scene/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/scene/cli.h"
#include "tools/scene/watchdog.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Shown {
  std::string what;
  bool reports;
  Clock::time_point start;
  double fraction = 0;
};

constexpr auto kTick = std::chrono::milliseconds(100);

// Guards what follows, and stderr while a progress line may be on it.
std::mutex guard;
std::vector<Shown> steps;
bool terminal = false;  // stderr was a terminal when the outermost step began
bool drawn = false;     // a progress line is on the screen
std::condition_variable_any tick;
std::jthread ticker;

// Columns of the terminal; one that reports none counts as 80.
size_t Columns() {
  winsize size{};
  const int columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
  return columns > 0 ? static_cast<size_t>(columns) : 80;
}

// The text in at most `most` columns as the terminal shows it: a wide character takes two, one the locale
// cannot read or measure takes one; "…" marks a cut.
std::string Fit(const std::string& text, size_t most) {
  std::mbstate_t state{};
  size_t used = 0, cut = 0;
  for (size_t i = 0; i < text.size();) {
    wchar_t c = 0;
    size_t length = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
    int width = 1;
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2)) {
      state = {};
      length = 1;
      while (i + length < text.size() && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) ++length;
    } else {
      length = std::max<size_t>(length, 1);
      const int measured = wcwidth(c);
      width = measured < 0 ? 1 : measured;
    }
    if (used + width < most) cut = i + length;
    used += width;
    if (used > most) return most == 0 ? "" : text.substr(0, cut) + "\u2026";
    i += length;
  }
  return text;
}

// Drawn one column short of the terminal's width, so that no terminal wraps it onto a second line. Nothing
// is drawn while the command runs in the background: the line would cover the shell's.
void Draw() {
  if (!DrawsProgress()) return;
  const Shown& step = steps.back();
  const double seconds = std::chrono::duration<double>(Clock::now() - step.start).count();
  const std::string tail = step.reports ? Format(": %d%%, %.1f s", static_cast<int>(step.fraction * 100), seconds)
                                        : Format(": %.1f s", seconds);
  const size_t room = Columns() - 1;
  const std::string line = Fit(Fit(step.what, room - std::min(room, tail.size())) + tail, room);
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  drawn = true;
}

void Clear() {
  if (drawn && DrawsProgress()) std::fputs("\r\x1b[K", stderr);
  drawn = false;
}

void Tick(std::stop_token stop) {
  std::unique_lock held(guard);
  while (!tick.wait_for(held, stop, kTick, [] { return false; }) && !stop.stop_requested())
    if (!steps.empty()) Draw();
}

}  // namespace

std::string OnFile(const std::string& verb, const std::string& file) {
  return verb + " " + std::filesystem::path(file).filename().string();
}

bool DrawsProgress() { return isatty(STDERR_FILENO) == 1 && tcgetpgrp(STDERR_FILENO) == getpgrp(); }

Step::Step(const std::string& what, bool reports) {
  {
    const std::lock_guard held(guard);
    if (steps.empty()) terminal = isatty(STDERR_FILENO) == 1;
    steps.push_back({Printable(what), reports, Clock::now()});
    if (terminal) Draw();
  }
  if (terminal && !ticker.joinable()) ticker = std::jthread(Tick);
  WatchStep(reports);
}

Step::~Step() {
  bool last = false, reports = true;
  {
    const std::lock_guard held(guard);
    steps.pop_back();
    last = steps.empty();
    if (!last) reports = steps.back().reports;
    if (terminal && last) Clear();
    if (terminal && !last) Draw();
  }
  // Stops the ticker and waits for it, outside the lock it takes.
  if (last) ticker = std::jthread();
  WatchStep(reports);
}

void ReportProgress(double fraction) {
  if (!(fraction >= 0)) return;
  fraction = std::min(fraction, 1.0);
  {
    const std::lock_guard held(guard);
    if (steps.empty() || !steps.back().reports) return;
    steps.back().fraction = std::max(steps.back().fraction, fraction);
  }
  WatchProgress(fraction);
}

void PrintAboveProgress(const std::string& line) {
  const std::lock_guard held(guard);
  Clear();
  std::fprintf(stderr, "%s\n", line.c_str());
  if (terminal && !steps.empty()) Draw();
}
