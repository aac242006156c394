// Shared test helpers: scratch folders, files and lines.
#include "tests/support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

ScratchDir::ScratchDir() {
  std::random_device random;
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  do path_ = (temp / ("glide-test-" + std::to_string(random()))).string();
  while (!std::filesystem::create_directory(path_));
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::filesystem::current_path(previous_);
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& name, const std::string& content) {
  const std::filesystem::path p(name);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream(name, std::ios::binary) << content;
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> ReadLines(const std::string& name) {
  std::vector<std::string> lines;
  std::ifstream in(name);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}


bool Until(const std::function<bool()>& done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() > end) return false;
  return true;
}
