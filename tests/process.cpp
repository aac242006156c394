// Shared test helpers: running the demo as a child process and finding its window (POSIX, X11).
#include "tests/support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

std::string RunCapture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

DemoProcess::DemoProcess(const std::vector<std::string>& args) {
  std::vector<std::string> all = {DemoPath()};
  all.insert(all.end(), args.begin(), args.end());
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
}

DemoProcess::~DemoProcess() {
  if (!done_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int DemoProcess::Wait(double seconds) {
  int status = 0;
  if (!Until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds)) return -1;
  done_ = true;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

unsigned long DemoProcess::FindWindow(double seconds) {
  const std::string search = "xdotool search --onlyvisible --pid " + std::to_string(pid_) + " --name '^Game$' 2>/dev/null";
  std::string out;
  Until([&] { return !(out = RunCapture(search)).empty(); }, seconds);
  return std::strtoul(out.c_str(), nullptr, 10);
}

std::string DemoPath() { return GLIDE_DEMO_PATH; }
std::string ProbePath() { return GLIDE_PROBE_PATH; }

bool HaveDisplay() {
  const char* d = std::getenv("DISPLAY");
  return d && *d;
}
