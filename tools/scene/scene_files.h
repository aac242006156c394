// The files of a scene as glide-scene writes them: one writer at a time, all or nothing; settings, link file, textures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scene/scene.h"
#include "tools/scene/mesh_writer.h"

// How a command uses its scene folder. A command that writes holds the scene's lock until it exits (taking it on
// entering, or through LockMadeScene once its inputs are read), waiting up to 10 s for another to finish, and
// first finishes or rolls back an interrupted commit.
enum class SceneUse { kRead, kWrite, kCreate };
// Makes DIR the working folder, as glide -C does, so that the program's loaders read the scene's own
// relative paths. Resolve input paths before calling it. kCreate makes a missing folder. A DIR that is a symbolic
// link is written where it points, where glide -C reads it, and commands through either name share its lock.
void EnterScene(const std::string& dir, SceneUse use);
// Enters DIR, a scene that 'glide-scene new' made, or throws a ToolError that says how to make one.
void EnterMadeScene(const std::string& dir);
// Takes the scene's lock for the rest of the command, once its inputs are read: another command waits for it
// only about 10 s, and an input may take minutes. The scene's own files are read after this, so that no
// other command changes them in between.
void LockMadeScene();
// For check, which changes nothing: why the scene's last commit is unfinished (another command writing it now,
// or one interrupted, with how to mend it), or nothing when it is finished.
std::optional<std::string> UnfinishedCommit();
// The commit journal, beside the lock in a folder of the scene that glide never reads.
inline constexpr const char* CommitJournal = ".glide-scene/journal";

// The files one command writes, all or nothing. Put writes each to a temporary name beside its place, listed
// in the commit journal first; Commit moves the old files aside, renames the new ones into place and removes
// the old ones, or puts them back on any failure. A command killed meanwhile leaves the journal, by which the
// next writing command finishes or rolls back. Needs the scene's lock (EnterScene).
class SceneWrite {
 public:
  SceneWrite() = default;
  SceneWrite(const SceneWrite&) = delete;
  SceneWrite& operator=(const SceneWrite&) = delete;
  ~SceneWrite();
  // relative is a path inside the scene folder (the working folder).
  void Put(const std::string& relative, std::string_view bytes);
  void Commit();
  // What the commit journal lists: the folders a write made, the files it writes, and whether its renames began
  // ("commit") or were all undone ("undone").
  struct Journal {
    std::vector<std::string> folders, files;
    bool renaming = false;
  };

 private:
  Journal journal_;
  bool open_ = false;  // the journal is this write's own, to discard if it is not committed
};

// Writes a file outside the scene whole or not at all: write(temporary) fills its new version beside it, as
// SceneWrite's files are, which then takes its place at once. Where either fails, a ToolError says `failure`.
void WriteWhole(const std::string& file, const std::function<bool(const std::string& temporary)>& write,
                const std::string& failure);

// A 24-bit BMP with a 40-byte header of packed RGB rows, first row at the bottom, as the loader reads it.
std::string TextureBytes(int width, int height, const std::vector<uint8_t>& rgb);

// The nine settings lines, each value followed by a comment that says what it is.
struct Settings {
  int logLevel = 1;
  std::string linkFile = "dbIlm/scene.txt";
  float moveStep = 0.6f;
  float turnStep = 0.03f;
  float groundClearance = 6;
  float cameraDistance = 35;
  float cameraYawStep = 0.01f;
  float cameraPitchStep = 0.004f;
  float gridDivisions = 100;
};
inline constexpr const char* SettingsFile = "dbIlm/setting.ini";
// The settings as the program reads them (unreadable values stay at the program's start value 0).
Settings ReadSettings();
std::string SettingsText(const Settings& settings);
// The link file the settings name, or the usual one where they name none.
std::string LinkFileOf(const Settings& settings);

// A scene text file read as the program reads it: through a mapping, so that a FIFO, a device or a folder is
// absent at once instead of blocking; nothing for a missing or unreadable file, an empty text for an empty one.
std::optional<std::string> ReadSceneText(const std::string& file);

// The link file: sections Location, Horizon and Objects, each a list of entries.
struct LinkEntry {
  std::string name;  // the base name of NAME.obj and NAME.bmp
  std::string text;
  std::vector<CVertex3> positions;
};
enum Section { kLocation, kHorizon, kObjects };
struct LinkDoc {
  std::vector<LinkEntry> sections[3];

  // Makes entry the section's first, in place of the one there.
  void SetFirst(Section section, const LinkEntry& entry) {
    if (sections[section].empty()) sections[section].push_back(entry);
    else sections[section].front() = entry;
  }
};
// The entries as the program reads them from the file; an absent file gives no entries.
LinkDoc ReadLinkDoc(const std::string& file);
// The file's text. Free-text lines are made safe for the loader (control characters blank, cut to 200 bytes,
// "-" when empty); a name it cannot hold, or an entry without 1 to 10 places, is a ToolError. The text is read
// back by the loader before it is returned, and a ToolError where it would be misread.
std::string LinkText(const LinkDoc& doc);
