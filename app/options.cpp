// Automation options: working folder, frame limit, key-script replay, screenshot and batch mode.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "app/app.h"
#include "image/image.h"
#include "render/render.h"

int iFrameLimit;
std::string strKeyScript;
std::string strScreenshot;
std::string strOverlayFile;
int iFramesDone;
bool bSaveFailed;
bool bNoVsync;

struct ScriptEvent {
  int frame;
  bool down;
  WPARAM key;
};

static std::vector<ScriptEvent> script;
static size_t nextEvent;
static std::vector<uint8_t> lastFrame;
static char lastOverlay[3][255];
static int lastWidth, lastHeight;

static WPARAM ParseKeyName(std::string name) {
  static const std::map<std::string, WPARAM> named = {
      {"left", VK_LEFT}, {"right", VK_RIGHT}, {"up", VK_UP}, {"down", VK_DOWN}, {"escape", VK_ESCAPE},
      {"esc", VK_ESCAPE}, {"space", VK_SPACE}, {"return", VK_RETURN}, {"tab", VK_TAB}};
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (auto it = named.find(name); it != named.end()) return it->second;
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
    return static_cast<WPARAM>(std::toupper(static_cast<unsigned char>(name[0])));
  if (name.size() >= 2 && name[0] == 'f') {
    const int n = std::atoi(name.c_str() + 1);
    if (n >= 1 && n <= 12 && name.find_first_not_of("0123456789", 1) == std::string::npos) return VK_F1 + n - 1;
  }
  return 0;
}

static bool LoadScript(const std::string& file) {
  std::ifstream in(file);
  if (!in) {
    std::fprintf(stderr, "glide: cannot read key script %s\n", file.c_str());
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string action, name, rest;
    long frame = 0;
    if (!(words >> frame)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    } else if (words >> action >> name && !(words >> rest) && frame >= 1 && frame <= 1000000000 &&
               (action == "down" || action == "up") && ParseKeyName(name)) {
      script.push_back(ScriptEvent{static_cast<int>(frame), action == "down", ParseKeyName(name)});
      continue;
    }
    std::fprintf(stderr, "glide: %s:%d: expected 'FRAME down|up KEY'\n", file.c_str(), number);
    return false;
  }
  std::stable_sort(script.begin(), script.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  return true;
}

static bool ParseCount(const char* text, int* value) {
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (!*text || *end || n < 1 || n > 1000000000) return false;
  *value = static_cast<int>(n);
  return true;
}

// Names are UTF-8 both ways, whatever the C library's locale would make of them. A name that is not
// UTF-8 (or a folder name that has no UTF-8 form) gives an empty path or name, which then names no file.
static std::filesystem::path PathOf(const std::string& name) {
  try {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
  } catch (const std::exception&) {
    return {};
  }
}

static std::string NameOf(const std::filesystem::path& path) {
  try {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
  } catch (const std::exception&) {
    return {};
  }
}

// Where glide started, before any -C: the files of --keys, --screenshot and --overlay are taken from there.
static std::string startFolder;

// A relative path of the command line, taken from the folder glide started in whatever -C says.
static std::string FromStartFolder(const char* path) {
  if (PathOf(path).has_root_path() || startFolder.empty()) return path;
  return startFolder + "/" + path;
}

// Whether -C named the scene folder.
static bool folderGiven;

static int EnterFolder(const char* folder) {
  folderGiven = true;
  std::error_code error;
  std::filesystem::current_path(PathOf(folder), error);
  if (!error) return -1;
  std::fprintf(stderr, "glide: cannot enter folder %s\n", folder);
  return 2;
}

const GlideOption GlideOptions[] = {
    {"-C", nullptr, "DIR",
     "run in folder DIR (the scene's files are read relative to it; the files of\n"
     "--keys, --screenshot and --overlay stay relative to the folder glide started in)",
     EnterFolder},
    {"--frames", nullptr, "N", "quit after N rendered frames, as if Esc was pressed",
     [](const char* value) {
       if (ParseCount(value, &iFrameLimit)) return -1;
       std::fprintf(stderr, "glide: --frames needs a whole number from 1 to 1000000000\n");
       return 2;
     }},
    {"--keys", nullptr, "FILE",
     "replay a key script: lines 'FRAME down|up KEY', '#' starts a comment;\n"
     "an event of frame F is seen by frame F (frames count from 1);\n"
     "KEY is Left, Right, Up, Down, Escape, F1..F12, Space, a letter or a digit,\n"
     "in any case",
     [](const char* value) {
       strKeyScript = FromStartFolder(value);
       return -1;
     }},
    {"--screenshot", nullptr, "FILE", "save the last rendered frame: PNG when FILE ends in .png, else a 24-bit BMP",
     [](const char* value) {
       strScreenshot = FromStartFolder(value);
       return -1;
     }},
    {"--overlay", nullptr, "FILE", "write the last frame's three overlay lines to FILE",
     [](const char* value) {
       strOverlayFile = FromStartFolder(value);
       return -1;
     }},
    {"--batch", nullptr, nullptr, "report errors on stderr instead of message boxes",
     [](const char*) {
       bBatchMode = 1;
       return -1;
     }},
    {"--no-vsync", nullptr, nullptr, "do not wait for the display between frames (for benchmarks)",
     [](const char*) {
       bNoVsync = true;
       return -1;
     }},
    {"--help", "-h", nullptr, "show this text",
     [](const char*) {
       std::fputs(UsageText().c_str(), stdout);
       return 0;
     }},
    {"--version", nullptr, nullptr, "show the version",
     [](const char*) {
       std::printf("glide %s\n", GLIDE_VERSION);
       return 0;
     }},
};
const int CountGlideOptions = static_cast<int>(std::size(GlideOptions));

// "--keys FILE": the option with its value's name.
static std::string OptionWord(const GlideOption& option) {
  return std::string(option.name) + (option.metavar ? std::string(" ") + option.metavar : "");
}

std::string UsageText() {
  std::string text = "usage: glide";
  // Lines of at most 110 characters, the later ones indented to the first option.
  const size_t indent = text.size() + 1;
  size_t width = 0, lineStart = 0;
  for (const GlideOption& option : GlideOptions) {
    const std::string word = OptionWord(option);
    width = std::max(width, word.size());
    if (text.size() - lineStart + word.size() + 3 > 110) {
      lineStart = text.size() + 1;
      text.append("\n").append(indent - 1, ' ');
    }
    text.append(" [").append(word).append("]");
  }
  text += "\n";
  for (const GlideOption& option : GlideOptions) {
    const std::string word = OptionWord(option);
    std::string help = option.help;
    for (size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += width + 5)
      help.insert(at + 1, width + 4, ' ');
    text += "  " + word + std::string(width - word.size() + 2, ' ') + help + "\n";
  }
  return text + "Without a display, errors always go to stderr.\n";
}

int ParseOptions(int argc, char** argv) {
  std::error_code error;
  startFolder = NameOf(std::filesystem::current_path(error));
  if (!HasDisplay()) bBatchMode = 1;
  for (int i = 1; i < argc; ++i) {
    const GlideOption* option = std::find_if(std::begin(GlideOptions), std::end(GlideOptions), [&](const GlideOption& o) {
      return std::strcmp(argv[i], o.name) == 0 || (o.alias && std::strcmp(argv[i], o.alias) == 0);
    });
    if (option == std::end(GlideOptions) || (option->metavar && i + 1 == argc)) {
      std::fprintf(stderr, "glide: unknown option or missing value: %s\n%s", argv[i], UsageText().c_str());
      return 2;
    }
    if (const int code = option->apply(option->metavar ? argv[++i] : nullptr); code >= 0) return code;
  }
  if (!strKeyScript.empty() && !LoadScript(strKeyScript)) return 2;
  return folderGiven ? -1 : EnterUsersScene();
}

// Posts the script's key messages for the frame about to be rendered, so they are dispatched before it.
static void PostScriptKeys(int frame) {
  for (; nextEvent < script.size() && script[nextEvent].frame <= frame; ++nextEvent)
    PostMessage(hWnd, script[nextEvent].down ? WM_KEYDOWN : WM_KEYUP, script[nextEvent].key, 0);
}

void StartScript() { PostScriptKeys(1); }

void FinishFrame() {
  ++iFramesDone;
  // With a frame limit only the last frame is read back; otherwise any frame may turn out to be the last.
  if (!strScreenshot.empty() && (iFrameLimit == 0 || iFramesDone == iFrameLimit))
    ReadFramePixels(&lastFrame, &lastWidth, &lastHeight);
  if (!strOverlayFile.empty()) FormatOverlayLines(lastOverlay);
  PostScriptKeys(iFramesDone + 1);
  if (iFramesDone == iFrameLimit) PostMessage(hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
}

static bool HasSuffix(const std::string& name, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != suffix[i]) return false;
  return true;
}

// Only a regular file or a new one is written: opening a FIFO or a device to write would wait for a reader.
static bool Writable(const std::string& name) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(PathOf(name), error);
  return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

void SaveLastFrame() {
  if (!strOverlayFile.empty()) {
    FILE* f = Writable(strOverlayFile) ? std::fopen(strOverlayFile.c_str(), "w") : nullptr;
    const bool written = f && std::fprintf(f, "%s\n%s\n%s\n", lastOverlay[0], lastOverlay[1], lastOverlay[2]) >= 0;
    if (!(f && std::fclose(f) == 0 && written)) {
      std::fprintf(stderr, "glide: could not write overlay lines %s\n", strOverlayFile.c_str());
      bSaveFailed = true;
    }
  }
  if (strScreenshot.empty()) return;
  RGBImage image{lastWidth, lastHeight, lastFrame.data()};
  const bool png = HasSuffix(strScreenshot, ".png");
  if (lastFrame.empty() || !Writable(strScreenshot) || !(png ? SavePNGImage(strScreenshot.c_str(), &image) : SaveDIBImage(strScreenshot.c_str(), &image))) {
    std::fprintf(stderr, "glide: could not write screenshot %s\n", strScreenshot.c_str());
    bSaveFailed = true;
  }
}
