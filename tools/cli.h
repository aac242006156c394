// Command-line plumbing of glide-scene: its errors, option parsing and number reading.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A failure the user can mend: the message names the file and says how; glide-scene exits 1.
struct ToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A command line that does not fit the command's usage; glide-scene exits 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One option a command takes: --name with between minValues and maxValues values after it. Values past
// minValues are taken only while they read as numbers, so "--at 10 20 --at 5 5 3" parses as two options.
// The values of a numeric option, and of any option with such optional values, must be finite numbers:
// "--at 1 x" or "--at 1 2 nan" is a UsageError, not a value and a stray argument.
struct OptionSpec {
  std::string name;
  int minValues;
  int maxValues;
  bool repeats;
  bool numeric = false;
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::vector<std::string>>> options;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  // The first value of an option given once, or fallback when it is absent.
  std::string Value(const std::string& name, const std::string& fallback) const;
  double Number(const std::string& name, double fallback, double least, double most) const;
};

// Splits argv (after the command's name) by the specs; --help is left to the caller as an option.
Args ParseArgs(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs);
// A command's arguments: ParseArgs with --help among the specs; nothing, once `help` is printed, when it was given.
std::optional<Args> ParseCommand(const std::vector<std::string>& argv, std::vector<OptionSpec> specs, const char* help);

// A value as the user would write it back: 2.5, 100, -0.25.
std::string Number(double value);

// The text as it may go to a terminal: line breaks and tabs become blanks, other control characters and bytes
// that are not UTF-8 \xNN. Readers' messages quote the files they read, so a damaged or hostile file could
// otherwise move the cursor or clear the screen.
std::string Printable(const std::string& text);

// One warning line of a command on stderr, made printable: "glide-scene COMMAND: warning: TEXT".
void Warn(const std::string& command, const std::string& text);

// A reader's reason for a refusal, in brackets, or nothing where it gave none. Some readers quote the file
// (assimp the whole text it could not take for a number), so only its first 200 bytes are kept.
std::string ReaderReason(const std::string& reason);

// A finite number in [least, most] that reads whole, or a UsageError naming what it is for.
double ReadNumber(const std::string& text, const std::string& what, double least, double most);
