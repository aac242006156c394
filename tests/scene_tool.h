// glide-scene run as a user runs it or in this process, and the inputs and scene snapshots its tests share.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "scene_reset.h"
#include "support.h"
#include "tools/commands.h"

// The command's exit code; what it printed is left in out.txt and err.txt.
inline int Tool(const std::string& args) {
  return WEXITSTATUS(std::system((std::string(GLIDE_SCENE_PATH) + " " + args + " >out.txt 2>err.txt").c_str()));
}
inline std::string Err() { return ReadFile("err.txt"); }

// A command's work run in this process, outside the watched child: its exit code, what it printed on stdout, and
// on stderr its warnings and its error as glide-scene words them. The arguments split at blanks but within '...'.
// The scene's lock stays held until the next command, as the process that ran it has not ended.
struct Ran {
  int code = 0;
  std::string out, err;
};
inline Ran RunHere(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) {
    for (std::string more; word[0] == '\'' && word.back() != '\'' && in >> more;) word += " " + more;
    words.push_back(word[0] == '\'' ? word.substr(1, word.size() - 2) : word);
  }
  const std::filesystem::path back = std::filesystem::current_path();
  ResetScene();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Ran ran;
  ran.code = RunCommand(words);
  ran.out = testing::internal::GetCapturedStdout();
  ran.err = testing::internal::GetCapturedStderr();
  std::filesystem::current_path(back);
  return ran;
}

// What a command that must succeed printed.
inline std::string Ok(const std::string& line) {
  const Ran ran = RunHere(line);
  EXPECT_EQ(ran.code, 0) << line << ": " << ran.err;
  return ran.out;
}

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
