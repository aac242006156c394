// A program's manual page and bash completion, both made from the declarations of its options and commands.
#pragma once

#include <string>
#include <utility>
#include <vector>

// One option or argument. What its values are (a folder, a file, one of some words) follows from the metavar's
// words: DIR is a folder; FILE, FILE.png, IMAGE, INPUT and MODEL are files; "a|b" offers a and b.
struct ManOption {
  std::string name;
  std::string alias{};    // another spelling, or nothing
  std::string metavar{};  // the values' names: "N", "X Y [Z]", "y|z"; nothing for a flag
  std::string help{};     // line breaks are only where --help wraps it
};

struct ManArgument {
  std::string name;
  bool optional = false;
  std::string help{};
};

struct ManCommand {
  std::string name;
  std::vector<ManArgument> arguments;
  std::string summary, description, notes;
  std::vector<ManOption> options;
};

struct ManProgram {
  std::string name, version, date;  // date: YYYY-MM-DD
  std::string summary;              // the NAME line's words after the dash
  std::string description;          // paragraphs apart by a blank line; line breaks within them are wraps
  std::vector<ManOption> options;
  std::vector<ManCommand> commands;                          // none for a program without commands
  std::vector<std::pair<std::string, std::string>> files;    // path, what it is
  std::vector<std::pair<std::string, std::string>> examples;  // what it does, the command line
  std::string seeAlso;                                       // "glide-scene(1)"
};

// The manual page in man(7) roff: NAME, SYNOPSIS, DESCRIPTION, OPTIONS, COMMANDS, FILES, EXAMPLES, SEE ALSO.
std::string ManPage(const ManProgram& program);
// A bash completion script registered with complete -F: commands, then each option for a word starting with
// '-', each option's values, and folder or file names for the arguments.
std::string Completion(const ManProgram& program);
// Writes the manual page and the completion script as DIR/NAME.1 and DIR/NAME.bash; false with a message on failure.
bool WriteManual(const ManProgram& program, const std::string& dir);
