// The scene lock and all-or-nothing writing of scene files; the settings, link file and texture formats glide reads.
#include "tools/scene/scene_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>

#include "config/config.h"
#include "image/image.h"
#include "platform/platform.h"
#include "tools/scene/cli.h"
#include "tools/scene/progress.h"

namespace fs = std::filesystem;

namespace {

const char kCommitFolder[] = ".glide-scene";
const std::string kLockFile = std::string(kCommitFolder) + "/lock";
const std::string kJournal = CommitJournal;
const char kJournalHeader[] = "glide-scene commit journal";
constexpr auto kLockWait = std::chrono::seconds(10);

// The scene folder as the user named it, for messages, and the lock held on it until the process ends.
std::string sceneDir;
int heldLock = -1;

std::string NewName(const std::string& file) { return file + ".glide-new"; }
std::string OldName(const std::string& file) { return file + ".glide-old"; }

// The new version of a file is written beside it under NewName by write, which throws on failure; nothing of it
// is left then.
void WriteNew(const std::string& file, const std::function<void(const std::string& temporary)>& write) {
  try {
    write(NewName(file));
  } catch (const ToolError&) {
    unlink(NewName(file).c_str());
    throw;
  }
}

bool Exists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

std::string Failure(const std::string& file, const char* what) {
  return sceneDir + "/" + file + ": " + what + ": " + std::strerror(errno);
}

// Writes bytes to the file (appended, or replacing it), flushed to the disk with sync.
void WriteFully(const std::string& file, std::string_view bytes, int mode, bool sync) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | mode, 0666);
  if (fd < 0) throw ToolError(Failure(file, "cannot write the file") + "; check the folder's permissions");
  const char* what = nullptr;
  for (size_t done = 0; done < bytes.size() && !what;) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    else if (n == 0 || errno != EINTR) {
      if (n == 0) errno = ENOSPC;
      what = "cannot write the file";
    }
  }
  if (!what && sync && fsync(fd) != 0) what = "cannot flush the file to the disk";
  const int saved = errno;
  if (close(fd) != 0 && !what) what = "cannot write the file";
  else errno = saved;
  if (what) throw ToolError(Failure(file, what) + "; check the free space and the disk");
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool ok = fd >= 0 && fsync(fd) == 0;
  const int saved = errno;
  if (fd >= 0) close(fd);
  errno = saved;
  if (!ok) throw ToolError(Failure(folder, "cannot flush the folder to the disk"));
}

void Rename(const std::string& from, const std::string& to, const std::string& file, const std::string& what) {
  if (std::rename(from.c_str(), to.c_str()) != 0) throw ToolError(Failure(file, what.c_str()));
}

std::string Parent(const std::string& path) {
  const std::string parent = fs::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// Each line of the journal is appended before the step it announces.
using Journal = SceneWrite::Journal;

Journal ReadJournal() {
  Journal journal;
  std::istringstream in(ReadSceneText(kJournal).value_or(""));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("folder ", 0) == 0) journal.folders.push_back(line.substr(7));
    if (line.rfind("file ", 0) == 0) journal.files.push_back(line.substr(5));
    if (line == "commit" || line == "undone") journal.renaming = line == "commit";
  }
  return journal;
}

// The lines that change what recovery does are flushed to the disk, and the lines before them with them.
void AppendJournal(const std::string& line) {
  WriteFully(kJournal, line + "\n", O_APPEND, line == "commit" || line == "undone");
}

// Removes the new files and the folders made for them, then the journal: nothing of the scene has changed.
void Discard(const Journal& journal) {
  for (const std::string& file : journal.files) unlink(NewName(file).c_str());
  for (auto folder = journal.folders.rbegin(); folder != journal.folders.rend(); ++folder) rmdir(folder->c_str());
  unlink(kJournal.c_str());
}

// Puts every old file back. Run again after an interruption it does the same: a new file in place goes back
// to its temporary name before the old one returns.
void RollBack(const Journal& journal) {
  if (journal.renaming) {
    const std::string back = "cannot put the old file back, so the scene is half written; run 'glide-scene check " +
                             sceneDir + " --recover' to try again";
    for (const std::string& file : journal.files)
      if (!Exists(NewName(file)) && Exists(file)) Rename(file, NewName(file), file, back);
    for (const std::string& file : journal.files)
      if (Exists(OldName(file))) Rename(OldName(file), file, file, back);
    AppendJournal("undone");
  }
  Discard(journal);
}

// Every new file is in place: the old ones go, then the journal.
void Finish(const Journal& journal) {
  const char* what = "cannot remove it, though the new files are in place; the next command that writes the scene "
                     "tries again";
  for (const std::string& file : journal.files)
    if (unlink(OldName(file).c_str()) != 0 && errno != ENOENT) throw ToolError(Failure(OldName(file), what));
  if (unlink(kJournal.c_str()) != 0) throw ToolError(Failure(kJournal, what));
}

// Finishes a commit whose renames were all done before the command died, and rolls back any other.
void Recover() {
  if (!Exists(kJournal)) return;
  const Journal journal = ReadJournal();
  const bool done = journal.renaming && std::none_of(journal.files.begin(), journal.files.end(),
                                                     [](const std::string& f) { return Exists(NewName(f)); });
  if (done)
    Finish(journal);
  else
    RollBack(journal);
  std::printf("glide-scene: %s: an earlier command was interrupted while writing the scene; %s\n", sceneDir.c_str(),
              done ? "finished its writing: its new files are in place"
                   : "rolled it back: the scene's files are as they were before it");
}

// flock: the kernel drops the lock with its holder, so a killed command never leaves the scene locked.
void LockScene() {
  if (heldLock >= 0) close(heldLock);
  heldLock = -1;
  std::error_code error;
  fs::create_directory(kCommitFolder, error);
  const int fd = open(kLockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw ToolError(Failure(kLockFile, "cannot open the scene's lock") + "; check the folder's permissions");
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    if ((saved != EWOULDBLOCK && saved != EINTR) || std::chrono::steady_clock::now() - start > kLockWait) {
      close(fd);
      errno = saved;
      throw ToolError(saved == EWOULDBLOCK
                          ? sceneDir + "/" + kLockFile + ": another glide-scene command is writing this scene; this "
                                "one waited 10 s for it; run it again when the other has finished"
                          : Failure(kLockFile, "cannot lock the scene"));
    }
    if (!told)
      PrintAboveProgress("glide-scene: waiting for another command writing " + sceneDir + " (" + sceneDir + "/" +
                         kLockFile + ")");
    told = true;
    usleep(20000);
  }
  heldLock = fd;
  Recover();
}

}  // namespace

void EnterScene(const std::string& dir, SceneUse use) {
  std::error_code error;
  if (use == SceneUse::kCreate) fs::create_directories(dir, error);
  if (!fs::is_directory(dir, error))
    throw ToolError(dir + ": no such scene folder" +
                    (use == SceneUse::kCreate ? " and it cannot be made" : "; make one with 'glide-scene new " + dir + "'"));
  if (chdir(dir.c_str()) != 0) throw ToolError(dir + ": cannot enter the folder: " + std::strerror(errno));
  sceneDir = dir;
  if (use != SceneUse::kRead) LockScene();
}

static ToolError NotScene() {
  return ToolError(sceneDir + ": not a scene, it has no " + SettingsFile + "; make one with 'glide-scene new " + sceneDir +
                   "'");
}

void EnterMadeScene(const std::string& dir) {
  EnterScene(dir, SceneUse::kRead);
  // An interrupted 'new' has its settings in its journal yet.
  if (!fs::exists(SettingsFile) && !Exists(kJournal)) throw NotScene();
}

void LockMadeScene() {
  LockScene();
  if (!fs::exists(SettingsFile)) throw NotScene();
}

std::optional<std::string> UnfinishedCommit() {
  if (!Exists(kJournal)) return std::nullopt;
  // Not blocking: a FIFO in the lock's place would wait for a writer.
  const int fd = open(kLockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  const bool busy = fd >= 0 && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (fd >= 0) close(fd);
  if (busy) return "another glide-scene command is writing the scene now; check again when it has finished";
  std::string files;
  for (const std::string& file : ReadJournal().files) files += (files.empty() ? "" : ", ") + file;
  return "a glide-scene command was interrupted while writing the scene" + (files.empty() ? "" : " (" + files + ")") +
         ", so its files may not fit together; run 'glide-scene check " + sceneDir +
         " --recover' (or any command that writes the scene) to finish or roll it back";
}

SceneWrite::~SceneWrite() {
  if (open_) Discard(journal_);
}

void SceneWrite::Put(const std::string& relative, std::string_view bytes) {
  if (heldLock < 0) throw std::logic_error("SceneWrite without the scene's lock");
  if (relative.find('\n') != std::string::npos || fs::is_directory(relative))
    throw ToolError(sceneDir + "/" + relative + ": cannot be written: it is a folder or its name holds a line break; "
                    "rename it, or name another file");
  if (!open_) {
    open_ = true;
    WriteFully(kJournal, std::string(kJournalHeader) + "\n", O_TRUNC, false);
  }
  std::vector<std::string> missing;
  for (fs::path folder = fs::path(relative).parent_path(); !folder.empty() && !fs::exists(folder);
       folder = folder.parent_path())
    missing.insert(missing.begin(), folder.string());
  for (const std::string& folder : missing) {
    AppendJournal("folder " + folder);
    journal_.folders.push_back(folder);
    if (mkdir(folder.c_str(), 0777) != 0) throw ToolError(Failure(folder, "cannot make the folder"));
  }
  if (std::find(journal_.files.begin(), journal_.files.end(), relative) == journal_.files.end()) {
    AppendJournal("file " + relative);
    journal_.files.push_back(relative);
  }
  WriteNew(relative, [&](const std::string& temporary) { WriteFully(temporary, bytes, O_TRUNC, true); });
}

void SceneWrite::Commit() {
  std::vector<std::string> folders{kCommitFolder};
  for (const std::vector<std::string>* list : {&journal_.files, &journal_.folders})
    for (const std::string& path : *list)
      if (std::find(folders.begin(), folders.end(), Parent(path)) == folders.end()) folders.push_back(Parent(path));
  open_ = false;
  try {
    AppendJournal("commit");
    journal_.renaming = true;
    for (const std::string& folder : folders) SyncFolder(folder);
    for (const std::string& file : journal_.files)
      if (Exists(file)) Rename(file, OldName(file), file, "cannot move the old file aside");
    for (const std::string& file : journal_.files) Rename(NewName(file), file, file, "cannot put the file in place");
    for (const std::string& folder : folders) SyncFolder(folder);
  } catch (const ToolError& failure) {
    try {
      RollBack(journal_);
    } catch (const ToolError& stuck) {
      throw ToolError(std::string(failure.what()) + "; then " + stuck.what());
    }
    throw ToolError(std::string(failure.what()) + "; the scene's files are as they were");
  }
  Finish(journal_);
}

void WriteWhole(const std::string& file, const std::function<bool(const std::string& temporary)>& write,
                const std::string& failure) {
  WriteNew(file, [&](const std::string& temporary) {
    if (!write(temporary) || std::rename(temporary.c_str(), file.c_str()) != 0) throw ToolError(failure);
  });
}

std::string TextureBytes(int width, int height, const std::vector<uint8_t>& rgb) {
  RGBImage image{width, height, const_cast<uint8_t*>(rgb.data())};
  const std::vector<uint8_t> bytes = EncodeDIBImage(&image);
  return std::string(bytes.begin(), bytes.end());
}

Settings ReadSettings() {
  LogLevel = 0;
  strLinkFile[0] = '\0';
  MoveStep = TurnStep = GroundClearance = CameraDistance = CameraYawStep = CameraPitchStep = GridDivisions = 0;
  LoadSetting();
  Settings s{LogLevel, strLinkFile, MoveStep, TurnStep, GroundClearance,
             CameraDistance, CameraYawStep, CameraPitchStep, GridDivisions};
  // The tools never write the scene's trace log.
  LogLevel = 0;
  return s;
}

std::string SettingsText(const Settings& s) {
  std::ostringstream out;
  out << s.logLevel << "  log level: 0 quiet, 1 start-up and loading, 2 every list insertion, 4 every window message\n"
      << s.linkFile << "  the scene link file\n"
      << FloatText(s.moveStep) << "  move step: distance travelled per frame while W or S is held\n"
      << FloatText(s.turnStep) << "  turn step: radians of turn or pitch per frame\n"
      << FloatText(s.groundClearance) << "  ground clearance: least height above the terrain\n"
      << FloatText(s.cameraDistance) << "  camera distance behind the glider\n"
      << FloatText(s.cameraYawStep) << "  camera yaw step: how fast the camera swings after the heading\n"
      << FloatText(s.cameraPitchStep) << "  camera pitch step: how fast the camera follows the pitch\n"
      << FloatText(s.gridDivisions) << "  grid divisions: face-grid cells across the terrain, 1 to 253\n";
  return out.str();
}

std::string LinkFileOf(const Settings& settings) {
  return settings.linkFile.empty() ? Settings{}.linkFile : settings.linkFile;
}

std::optional<std::string> ReadSceneText(const std::string& file) {
  size_t size = 0;
  const uint8_t* view = MapFile(file.c_str(), &size);
  // An empty file cannot be mapped; it reads as no text.
  if (!view) {
    std::error_code error;
    if (!fs::is_regular_file(file, error) || access(file.c_str(), R_OK) != 0) return std::nullopt;
    return std::string();
  }
  std::string text(reinterpret_cast<const char*>(view), size);
  UnmapFile(view, size);
  return text;
}

namespace {

LinkDoc ParseLinkText(const std::string& bytes) {
  ClearLinks();
  ReadLinkText(bytes.data(), bytes.size());
  LinkDoc doc;
  const std::vector<CLinkInfo>* lists[3] = {&LocationLinks, &HorizonLinks, &ObjectsLinks};
  for (int s = 0; s < 3; ++s)
    for (const CLinkInfo& info : *lists[s])
      doc.sections[s].push_back(
          LinkEntry{info.NameModel, info.Text, std::vector<CVertex3>(info.Position, info.Position + info.CountPosition)});
  return doc;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// The free-text line as the loader reads it back: control characters (a line break would put every later line
// out of step) become blanks, and it is cut well inside the longest line the loader reads, on a character's
// start. A line starting with '#' or a blank would be skipped, an empty one too.
std::string TextLine(const std::string& text) {
  constexpr size_t kMostText = 200;
  std::string line = text;
  for (char& c : line)
    if (IsControl(c)) c = ' ';
  line.erase(0, std::min(line.size(), line.find_first_not_of(" #")));
  if (line.size() > kMostText) {
    size_t cut = kMostText;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80) --cut;
    line.resize(cut);
  }
  return line.empty() ? "-" : line;
}

// A name is the path of files written under it, so it is refused rather than changed.
void CheckName(const std::string& name) {
  if (name.empty() || name[0] == '#' || name[0] == ' ' || std::any_of(name.begin(), name.end(), IsControl) ||
      name.size() >= sizeof LinkInfo.NameModel)
    throw ToolError("'" + name.substr(0, 60) + "': cannot be a link entry's name, which must be 1 to " +
                    std::to_string(sizeof LinkInfo.NameModel - 1) + " characters, without line breaks or control "
                    "characters, not starting with '#' or a blank; choose a shorter plain name");
}

bool SameEntries(const LinkDoc& a, const LinkDoc& b) {
  for (int s = 0; s < 3; ++s) {
    if (a.sections[s].size() != b.sections[s].size()) return false;
    for (size_t i = 0; i < a.sections[s].size(); ++i) {
      const LinkEntry &x = a.sections[s][i], &y = b.sections[s][i];
      if (x.name != y.name || x.text != y.text || x.positions.size() != y.positions.size()) return false;
      for (size_t k = 0; k < x.positions.size(); ++k)
        for (float CVertex3::*axis : {&CVertex3::x, &CVertex3::y, &CVertex3::z})
          if (FloatText(x.positions[k].*axis) != FloatText(y.positions[k].*axis)) return false;
    }
  }
  return true;
}

}  // namespace

LinkDoc ReadLinkDoc(const std::string& file) { return ParseLinkText(ReadSceneText(file).value_or("")); }

std::string LinkText(const LinkDoc& doc) {
  static const char* const headers[3] = {"# Location: the terrain (the first entry is the one ground following uses)",
                                         "# Horizon: the sky, drawn around the eye", "# Objects"};
  std::string out;
  LinkDoc written;
  for (int s = 0; s < 3; ++s) {
    out += headers[s];
    out += '\n';
    for (const LinkEntry& e : doc.sections[s]) {
      CheckName(e.name);
      if (e.positions.empty() || e.positions.size() > 10)
        throw ToolError("'" + e.name + "': a link entry holds 1 to 10 places, not " + std::to_string(e.positions.size()) +
                        "; split the places between entries of the same name");
      const std::string text = TextLine(e.text);
      written.sections[s].push_back(LinkEntry{e.name, text, e.positions});
      out += e.name + '\n' + text + '\n' + std::to_string(e.positions.size()) + '\n';
      for (const CVertex3& p : e.positions) out += FloatText(p.x) + '\n' + FloatText(p.y) + '\n' + FloatText(p.z) + '\n';
    }
  }
  if (!SameEntries(ParseLinkText(out), written))
    throw ToolError("the link file glide-scene made would not read back as written; please report this with the "
                    "command line");
  return out;
}
