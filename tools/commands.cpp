// The table of glide-scene's commands, its usage, and the words of each command's results and failures.
#include "tools/commands.h"

#include "tools/check/check.h"
#include "tools/new/new.h"
#include "tools/object/object.h"
#include "tools/sky/sky.h"
#include "tools/terrain/terrain.h"

namespace {

// Each command's work prints what it returns; it throws UsageError (exit 2) or ToolError (exit 1).
struct Command {
  const CommandSpec* spec;
  int (*run)(const Args&);
};

int Printed(const std::string& line) {
  std::printf("%s\n", line.c_str());
  return 0;
}

const Command kCommands[] = {
    {&kNewCommand, [](const Args& args) { return Printed(MakeNew(args)); }},
    {&kTerrainCommand, [](const Args& args) { return Printed(MakeTerrain(args)); }},
    {&kObjectCommand, [](const Args& args) { return Printed(MakeObject(args)); }},
    {&kSkyCommand, [](const Args& args) { return Printed(MakeSky(args)); }},
    {&kCheckCommand,
     [](const Args& args) {
       const CheckReport report = CheckScene(args);
       std::fputs(report.findings.c_str(), stdout);
       if (report.status == kMapNotWritten) {
         std::fflush(stdout);
         std::fprintf(stderr, "glide-scene check: %s\n", report.map.c_str());
       } else if (!report.map.empty()) {
         std::printf("%s\n", report.map.c_str());
       }
       std::printf("%s\n", report.summary.c_str());
       return report.status;
     }},
};

const Command* Find(const std::string& name) {
  for (const Command& c : kCommands)
    if (name == c.spec->name) return &c;
  return nullptr;
}

}  // namespace

const std::vector<OptionSpec>& ProgramOptions() {
  static const std::vector<OptionSpec> options = {
      Option(OptionKind::kFlag, "--help", "", "show the list of commands"),
      Option(OptionKind::kFlag, "--version", "", "show the version")};
  return options;
}

std::vector<const CommandSpec*> Commands() {
  std::vector<const CommandSpec*> specs;
  for (const Command& c : kCommands) specs.push_back(c.spec);
  return specs;
}

const CommandSpec* FindCommand(const std::string& name) {
  const Command* command = Find(name);
  return command ? command->spec : nullptr;
}

void Usage(std::FILE* to) {
  std::fprintf(to, "usage: glide-scene COMMAND ARGS...   (glide-scene COMMAND --help for more)\n");
  for (const Command& c : kCommands)
    std::fprintf(to, "  glide-scene %-26s %s\n", Synopsis(*c.spec).c_str(), c.spec->summary.c_str());
  std::fprintf(to, "  glide-scene --version\n");
}

int RunCommand(const std::vector<std::string>& words) {
  const std::string& name = words.at(0);
  const Command* command = Find(name);
  if (!command) {
    std::fprintf(stderr, "glide-scene: unknown command '%s'\n", name.c_str());
    Usage(stderr);
    return 2;
  }
  try {
    const std::optional<Args> args = ParseCommand({words.begin() + 1, words.end()}, *command->spec);
    if (!args) {
      std::fputs(HelpText(*command->spec).c_str(), stdout);
      return 0;
    }
    return command->run(*args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "glide-scene %s: %s (see glide-scene %s --help)\n", name.c_str(), Printable(e.what()).c_str(),
                 name.c_str());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "glide-scene %s: %s\n", name.c_str(), Printable(e.what()).c_str());
    return 1;
  }
}
