// Command-line plumbing of glide-scene: its errors, the declarations of commands and options, their parsing.
#pragma once

#include <cfloat>
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

// How an option's values are read: each is checked as declared before the command's work begins.
enum class OptionKind { kFlag, kText, kNumber, kWhole, kChoice, kPoint };

// One option a command takes: --name with between minValues and maxValues values after it. Values past
// minValues are taken only while they read as numbers, so "--at 10 20 --at 5 5 3" parses as two options.
// The values of a numeric option, and of any option with such optional values, must be finite numbers:
// "--at 1 x" or "--at 1 2 nan" is a UsageError, not a value and a stray argument. Declare one with Option.
struct OptionSpec {
  std::string name;
  int minValues = 1;
  int maxValues = 1;
  bool repeats = false;
  bool numeric = false;
  OptionKind kind = OptionKind::kText;
  std::string metavar{};  // the values' names in usage and help: "UNITS", "X Y [Z]", "y|z" for a choice
  std::string help{};     // line breaks continue under the first line; "{range}" reads "LEAST to MOST"
  double fallback = 0, least = -DBL_MAX, most = DBL_MAX;
  std::string belowLeast{};  // why a value under least is refused, where the range alone does not say
};

// An option of that kind. A number, and each coordinate of a point, lies in [least, most], fallback where it is
// absent; a choice is one of metavar's words between '|'; a point, given any number of times, has the coordinates
// metavar names ("X Y [Z]": those in brackets optional).
OptionSpec Option(OptionKind kind, const std::string& name, const std::string& metavar, const std::string& help,
                  double fallback = 0, double least = -DBL_MAX, double most = DBL_MAX,
                  const std::string& belowLeast = "");

// An argument of a command by its place; what names it in the message about the count ("the scene folder DIR").
struct Positional {
  std::string name;
  std::string what{};
  std::string help{};  // a line of the help's table, or nothing
  bool optional = false;
};

// DIR, the first argument of every command.
inline const Positional kSceneFolder{"DIR", "the scene folder DIR"};

// A command as its help, the list of commands and the checks of its arguments show it.
struct CommandSpec {
  std::string name;
  std::vector<Positional> positional;
  std::string summary{};      // its line in the list of commands
  std::string description{};  // between the usage line and the table of options
  std::vector<OptionSpec> options{};
  std::string notes{};  // after the table
  bool reads = false;   // reads users' inputs under limits, in a watched child (--memory-limit, --time-limit)
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::vector<std::string>>> options;
  std::vector<OptionSpec> specs;  // as declared, for Number

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  // The first value of an option given once, or fallback when it is absent.
  std::string Value(const std::string& name, const std::string& fallback) const;
  // A declared number option's value, or its fallback when it is absent.
  double Number(const std::string& name) const;
};

// Splits argv (after the command's name) by the specs; --help is left to the caller as an option.
Args ParseArgs(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs);
// A command's arguments, with the count of positional ones and every option's values checked as declared
// (UsageError); nothing where --help was given.
std::optional<Args> ParseCommand(const std::vector<std::string>& argv, const CommandSpec& command);
// The options a command takes: its declared ones, the limits of reading ones, and --help.
std::vector<OptionSpec> AllOptions(const CommandSpec& command);
// An option's help as the help's table shows it, "{range}" filled in.
std::string OptionHelp(const OptionSpec& spec);
// "usage: glide-scene NAME ..." with the description, a table of the arguments and options, and the notes.
std::string HelpText(const CommandSpec& command);
// The command with its positional arguments, "[...]" where it takes options: "terrain DIR INPUT [...]".
std::string Synopsis(const CommandSpec& command);

// The default name of a command's entry, from the file it is made of: the file's name without its extension,
// each character but letters, digits, '-' and '_' made '_', after `kind` where it would start with '-' or be
// empty, cut to 80 characters; it keeps the rule below.
std::string EntryName(const std::string& input, const std::string& kind);
// The rule for the names of entries, --name's and the default ones alike; a UsageError for any other.
inline constexpr const char* kNameRule = "1 to 80 letters, digits, '_', '-' or '.', not starting with '-' or '.'";
void CheckEntryName(const std::string& name);

// The text in lower case, ASCII letters only (file extensions).
std::string Lower(std::string text);

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A value as the user would write it back: 2.5, 100, -0.25.
std::string Number(double value);

// The text as it may go to a terminal: line breaks and tabs become blanks, other control characters and bytes
// that are not UTF-8 \xNN. Readers' messages quote the files they read, so a damaged or hostile file could
// otherwise move the cursor or clear the screen.
std::string Printable(const std::string& text);

// One warning line of a command on stderr, made printable: "glide-scene COMMAND: warning: TEXT", never
// sharing its line with the progress line (see Step).
void Warn(const std::string& command, const std::string& text);

// The warnings about one input that may repeat item by item, one line a kind: a kind with one item warns as
// that item's own text does; several make "INPUT: N KIND (FIRST, SECOND, THIRD, …)", e.g. "car.glb: 14
// materials are black but emissive: their emissive colours show, unshaded (Material_6, Material_8, …)".
// Kinds print in the order they were first added, when the gathering ends.
class GatheredWarnings {
 public:
  GatheredWarnings(const std::string& command, const std::string& input) : command_(command), input_(input) {}
  ~GatheredWarnings();
  GatheredWarnings(const GatheredWarnings&) = delete;
  GatheredWarnings& operator=(const GatheredWarnings&) = delete;
  // One item of the kind `kind` words in the plural; `alone` is its warning where it stays the only one. An
  // item already added to the kind is not counted again.
  void Add(const std::string& kind, const std::string& item, const std::string& alone);

 private:
  struct Kind {
    std::string words, alone;
    std::vector<std::string> items;
  };
  std::string command_, input_;
  std::vector<Kind> kinds_;
};

// A reader's reason for a refusal, in brackets, or nothing where it gave none. Some readers quote the file
// (assimp the whole text it could not take for a number), so only its first 200 bytes are kept.
std::string ReaderReason(const std::string& reason);

