// The user's own copy of the bundled scene, which an installed glide flies when started where there is no scene.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "app/app.h"

namespace fs = std::filesystem;

// The bundled scene of an installed glide, PREFIX/share/glide beside PREFIX/bin/glide; empty where glide runs
// from anywhere else (its build folder, an unzipped download).
static fs::path BundledScene() {
#ifdef __linux__
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  const fs::path scene = self.parent_path().parent_path() / "share" / "glide";
  if (!error && fs::is_regular_file(scene / "dbIlm" / "setting.ini", error)) return scene;
#endif
  return {};
}

// $XDG_DATA_HOME/glide/scene, or ~/.local/share/glide/scene where that is unset or relative (as the XDG base
// directories say); empty without a home.
static fs::path CopyFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && fs::path(data).is_absolute()) return fs::path(data) / "glide" / "scene";
  const char* home = std::getenv("HOME");
  if (home && *home) return fs::path(home) / ".local" / "share" / "glide" / "scene";
  return {};
}

// A start killed while copying leaves its partial copy behind; one untouched for an hour is no start's any more.
static void RemoveStalePartials(const fs::path& parent) {
  std::error_code error;
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (it->path().filename().string().starts_with(".scene-") && fs::last_write_time(it->path(), ignored) < old)
      fs::remove_all(it->path(), ignored);
  }
}

// Copies the scene into a fresh sibling of `copy`, then renames it into place: `copy` is complete or absent,
// whatever fails (a full or read-only home) and even where glide is killed halfway. Returns why it failed.
static std::string CopyScene(const fs::path& bundled, const fs::path& copy) {
  std::error_code error;
  fs::create_directories(copy.parent_path(), error);
  RemoveStalePartials(copy.parent_path());
  const fs::path partial = copy.parent_path() / (".scene-" + std::to_string(std::random_device()()));
  if (!error) fs::copy(bundled, partial, fs::copy_options::recursive, error);
  if (!error) fs::rename(partial, copy, error);
  if (!error) return "";
  std::error_code ignored;
  fs::remove_all(partial, ignored);
  // Another glide started at the same moment may have renamed its copy into place first.
  return fs::is_directory(copy, ignored) ? "" : error.message();
}

int EnterUsersScene() {
  std::error_code error;
  if (fs::exists("dbIlm/setting.ini", error)) return -1;
  const fs::path bundled = BundledScene();
  if (bundled.empty()) return -1;
  const fs::path copy = CopyFolder();
  std::string why = copy.empty() ? "neither XDG_DATA_HOME nor HOME is set" : "";
  if (why.empty() && !fs::is_directory(copy, error)) why = CopyScene(bundled, copy);
  if (why.empty()) fs::current_path(copy, error);
  if (why.empty() && error) why = error.message();
  if (why.empty()) return -1;
  const std::string text = "glide cannot make your copy of its scene in " + copy.string() + " (" + why +
                           "). Make room there or make it writable, or start glide with -C and a scene folder.";
  MessageBox(nullptr, text.c_str(), "Error", MB_OK);
  return 1;
}
