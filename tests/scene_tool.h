// glide-scene run as a user runs it, and the inputs and scene snapshots its tests share.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "support.h"

// The command's exit code; what it printed is left in out.txt and err.txt.
inline int Tool(const std::string& args) {
  return WEXITSTATUS(std::system((std::string(GLIDE_SCENE_PATH) + " " + args + " >out.txt 2>err.txt").c_str()));
}
inline std::string Err() { return ReadFile("err.txt"); }

// A BMP of 24-bit pixels with a header of `info` bytes (40, or the 124 image editors write); a negative height
// puts the top row first.
inline std::string Bmp(int32_t width, int32_t height, const std::string& pixels, uint32_t info = 40) {
  std::string bmp = "BM" + std::string(12 + info, '\0');
  const auto put = [&bmp](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) bmp[at + k] = static_cast<char>(v >> (8 * k));
  };
  put(2, static_cast<uint32_t>(bmp.size() + pixels.size()));
  put(10, static_cast<uint32_t>(bmp.size()));
  put(14, info);
  put(18, static_cast<uint32_t>(width));
  put(22, static_cast<uint32_t>(height));
  bmp[26] = 1;
  bmp[28] = 24;
  return bmp + pixels;
}

// A PNG whose header claims side x side pixels (`side` as its 4 big-endian bytes) over a small picture's pixels.
inline std::string ClaimingPng(const std::string& png, const char* side) {
  return std::string(png).replace(16, 8, std::string(side, 4) + std::string(side, 4));
}

// Every file and folder under `dir` with its bytes, but the scene's lock and the commands' output.
using Tree = std::map<std::string, std::string>;
inline Tree Snapshot(const std::string& dir) {
  namespace fs = std::filesystem;
  Tree tree;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir))
    if (e.path().filename() != "lock" && e.path().filename() != "out.txt" && e.path().filename() != "err.txt")
      tree[e.path().lexically_relative(dir).string()] = e.is_regular_file() ? ReadFile(e.path().string()) : "no file";
  return tree;
}
