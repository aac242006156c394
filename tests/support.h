// Shared test helpers: scratch folders, files, lines, and running the demo as a child process.
#pragma once

#include <functional>
#include <string>
#include <vector>

// A fresh empty folder under the system temp folder, made the working directory until destroyed.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

void WriteFile(const std::string& name, const std::string& content);
std::string ReadFile(const std::string& name);
std::vector<std::string> ReadLines(const std::string& name);
// Polls `done` until it holds, for up to `seconds`: whether it came to hold.
bool Until(const std::function<bool()>& done, double seconds = 10);
// Runs a shell command and returns its standard output.
std::string RunCapture(const std::string& command);

// The demo running in its own process, killed if still alive when destroyed.
class DemoProcess {
 public:
  DemoProcess(const std::vector<std::string>& args);
  ~DemoProcess();
  // Exit code, or -1 when it does not end within the given seconds.
  int Wait(double seconds);
  // X window id of the demo's window, 0 if it does not appear within the given seconds.
  unsigned long FindWindow(double seconds);

 private:
  int pid_;
  bool done_ = false;
};

std::string DemoPath();
std::string ProbePath();
bool HaveDisplay();
