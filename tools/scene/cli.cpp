// Declarations of glide-scene's commands and options, their parsing and help, names of entries, number reading.
#include "tools/scene/cli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tools/scene/progress.h"
#include "tools/scene/watchdog.h"

// A word strtod reads whole, finite or not; *finite says whether it is a usable number.
static bool ReadsAsNumber(const std::string& text, bool* finite) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  *finite = errno == 0 && std::isfinite(value);
  return *end == '\0';
}

static bool IsNumber(const std::string& text) {
  bool finite = false;
  return ReadsAsNumber(text, &finite) && finite;
}

// A finite number in [least, most] that reads whole, or a UsageError naming what it is for.
static double ReadNumber(const std::string& text, const std::string& what, double least, double most) {
  if (!IsNumber(text)) throw UsageError(what + " must be a number, not '" + text + "'");
  const double value = std::strtod(text.c_str(), nullptr);
  if (value < least || value > most)
    throw UsageError(what + " must lie between " + Number(least) + " and " + Number(most) +
                     ", not " + text);
  return value;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    const size_t length = c < 0x80                ? 1
                          : c >= 0xC2 && c < 0xE0 ? 2
                          : c >= 0xE0 && c < 0xF0 ? 3
                          : c >= 0xF0 && c < 0xF5 ? 4
                                                  : 0;
    bool utf8 = length != 0 && i + length <= text.size();
    for (size_t k = 1; utf8 && k < length; ++k) utf8 = (byte(i + k) & 0xC0) == 0x80;
    // C0 controls, DEL and the C1 controls U+0080..U+009F.
    const bool control = c < 0x20 || c == 0x7F || (c == 0xC2 && utf8 && byte(i + 1) < 0xA0);
    if (c == '\n' || c == '\t') {
      out += ' ';  // GDAL ends some messages with a line of strerror: they stay on one line
      ++i;
      continue;
    }
    if (utf8 && !control) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
    out += escaped;
    ++i;
  }
  return out;
}

void Warn(const std::string& command, const std::string& text) {
  PrintAboveProgress("glide-scene " + command + ": warning: " + Printable(text));
}

void GatheredWarnings::Add(const std::string& kind, const std::string& item, const std::string& alone) {
  auto it = std::find_if(kinds_.begin(), kinds_.end(), [&](const Kind& k) { return k.words == kind; });
  if (it == kinds_.end()) it = kinds_.insert(kinds_.end(), Kind{kind, alone, {}});
  if (std::find(it->items.begin(), it->items.end(), item) == it->items.end()) it->items.push_back(item);
}

GatheredWarnings::~GatheredWarnings() {
  constexpr size_t kNamed = 3;
  for (const Kind& kind : kinds_) {
    if (kind.items.size() == 1) {
      Warn(command_, kind.alone);
      continue;
    }
    std::string names;
    for (size_t k = 0; k < std::min(kNamed, kind.items.size()); ++k) names += (k ? ", " : "") + kind.items[k];
    if (kind.items.size() > kNamed) names += ", \u2026";
    Warn(command_, input_ + ": " + std::to_string(kind.items.size()) + " " + kind.words + " (" + names + ")");
  }
}

std::string ReaderReason(const std::string& reason) {
  constexpr size_t kMost = 200;
  if (reason.empty()) return "";
  return " (" + (reason.size() > kMost ? reason.substr(0, kMost) + "..." : reason) + ")";
}

Args ParseArgs(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs) {
  Args args;
  args.specs = specs;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (word.size() < 2 || word[0] != '-' || IsNumber(word)) {
      args.positional.push_back(word);
      continue;
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : specs)
      if (s.name == word) spec = &s;
    if (!spec) throw UsageError("unknown option " + word);
    if (!spec->repeats && args.Has(word)) throw UsageError(word + " is given twice");
    std::vector<std::string> values;
    // Optional values are taken only while they read as numbers, so such an option is numeric throughout.
    const bool numeric = spec->numeric || spec->maxValues > spec->minValues;
    while (static_cast<int>(values.size()) < spec->maxValues && i + 1 < argv.size()) {
      const std::string& next = argv[i + 1];
      bool finite = false;
      const bool reads = ReadsAsNumber(next, &finite);
      const bool required = static_cast<int>(values.size()) < spec->minValues;
      if (numeric && (required ? !(reads && finite) : reads && !finite))
        throw UsageError(word + " needs numbers, not '" + next + "'");
      if (!required && !(reads && finite)) break;
      values.push_back(argv[++i]);
    }
    if (static_cast<int>(values.size()) < spec->minValues)
      throw UsageError(word + " needs " + std::to_string(spec->minValues) + " value" +
                       (spec->minValues > 1 ? "s" : ""));
    args.options[word].push_back(std::move(values));
  }
  return args;
}

OptionSpec Option(OptionKind kind, const std::string& name, const std::string& metavar, const std::string& help,
                  double fallback, double least, double most, const std::string& belowLeast) {
  const bool point = kind == OptionKind::kPoint, flag = kind == OptionKind::kFlag;
  const int words = static_cast<int>(std::count(metavar.begin(), metavar.end(), ' ')) + 1;
  const int optional = static_cast<int>(std::count(metavar.begin(), metavar.end(), '['));
  return {name, flag ? 0 : point ? words - optional : 1, flag ? 0 : point ? words : 1, point, point, kind, metavar,
          help, fallback, least, most, belowLeast};
}

// The values of one option given, checked as declared.
static void CheckValues(const OptionSpec& spec, const std::vector<std::string>& values) {
  if (spec.kind == OptionKind::kChoice) {
    if (("|" + spec.metavar + "|").find("|" + values[0] + "|") != std::string::npos) return;
    std::string list = spec.metavar;
    for (size_t bar; (bar = list.find('|')) != std::string::npos;) list.replace(bar, 1, " or ");
    throw UsageError(spec.name + " must be " + list + ", not '" + values[0] + "'");
  }
  if (spec.kind == OptionKind::kPoint) {
    std::istringstream axes(spec.metavar);
    for (const std::string& value : values) {
      std::string axis;
      axes >> axis;
      std::erase(axis, '[');
      std::erase(axis, ']');
      ReadNumber(value, spec.name + " " + axis, spec.least, spec.most);
    }
    return;
  }
  if (spec.kind != OptionKind::kNumber && spec.kind != OptionKind::kWhole) return;
  const double value = ReadNumber(values[0], spec.name, -DBL_MAX, DBL_MAX);
  if (value < spec.least && !spec.belowLeast.empty())
    throw UsageError(spec.name + " must be at least " + Number(spec.least) + ", not " + values[0] + ": " +
                     spec.belowLeast);
  ReadNumber(values[0], spec.name, spec.least, spec.most);
  if (spec.kind == OptionKind::kWhole && value != std::floor(value))
    throw UsageError(spec.name + " must be a whole number");
}

std::vector<OptionSpec> AllOptions(const CommandSpec& command) {
  std::vector<OptionSpec> all = command.options;
  if (command.reads) all.insert(all.end(), LimitOptions().begin(), LimitOptions().end());
  all.push_back(Option(OptionKind::kFlag, "--help", "", ""));
  return all;
}

std::optional<Args> ParseCommand(const std::vector<std::string>& argv, const CommandSpec& command) {
  Args args = ParseArgs(argv, AllOptions(command));
  if (args.Has("--help")) return std::nullopt;
  const auto& declared = command.positional;
  const size_t least = static_cast<size_t>(
      std::count_if(declared.begin(), declared.end(), [](const Positional& p) { return !p.optional; }));
  if (args.positional.size() < least || args.positional.size() > declared.size()) {
    std::string needs;
    for (const Positional& p : declared)
      needs += (needs.empty() ? "" : " and ") + (p.optional ? "at most one " + p.name : p.what);
    throw UsageError("needs " + needs);
  }
  for (const OptionSpec& spec : args.specs)
    if (args.Has(spec.name))
      for (const std::vector<std::string>& values : args.options.at(spec.name)) CheckValues(spec, values);
  return args;
}

std::string OptionHelp(const OptionSpec& spec) {
  std::string help = spec.help;
  if (const size_t at = help.find("{range}"); at != std::string::npos)
    help.replace(at, 7, Number(spec.least) + " to " + Number(spec.most));
  return help;
}

static std::string Usage(const OptionSpec& spec) {
  return "[" + spec.name + (spec.metavar.empty() ? "" : " " + spec.metavar) + "]" + (spec.repeats ? "..." : "");
}

// Rows "  WORD  help" of the arguments with help and the options, the help aligned after the widest word, its
// later lines under its first.
static std::string Table(const std::vector<OptionSpec>& specs, const std::vector<Positional>& positional = {}) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const Positional& p : positional)
    if (!p.help.empty()) rows.emplace_back(p.name, p.help);
  for (const OptionSpec& spec : specs)
    rows.emplace_back(spec.name + (spec.metavar.empty() ? "" : " " + spec.metavar), OptionHelp(spec));
  size_t width = 0;
  for (const auto& [word, help] : rows) width = std::max(width, word.size());
  std::string out;
  for (auto [word, help] : rows) {
    for (size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += width + 5)
      help.insert(at + 1, width + 4, ' ');
    out += "  " + word + std::string(width - word.size() + 2, ' ') + help + "\n";
  }
  return out;
}

// The command and its positional arguments: "sky DIR [IMAGE]".
static std::string Invocation(const CommandSpec& command) {
  std::string text = command.name;
  for (const Positional& p : command.positional) text += p.optional ? " [" + p.name + "]" : " " + p.name;
  return text;
}

std::string HelpText(const CommandSpec& command) {
  std::string help = "usage: glide-scene " + Invocation(command);
  const std::vector<OptionSpec> options = AllOptions(command);
  // Lines of at most 110 characters, the later ones indented to the first argument.
  const size_t indent = std::string("usage: glide-scene ").size() + command.name.size();
  for (size_t k = 0, start = 0; k + 1 < options.size(); ++k) {
    const std::string usage = Usage(options[k]);
    if (help.size() - start + 1 + usage.size() > 110) {
      start = help.size() + 1;
      help.append("\n").append(indent, ' ');
    }
    help.append(" ").append(usage);
  }
  help.append("\n").append(command.description).append(Table(command.options, command.positional));
  help.append(command.notes);
  if (command.reads)
    help.append("Each input is read under limits; one that needs more (a damaged or hostile file) stops with an "
                "error:\n").append(Table(LimitOptions()));
  return help;
}

std::string Synopsis(const CommandSpec& command) {
  return Invocation(command) + (command.options.empty() && !command.reads ? "" : " [...]");
}

std::string EntryName(const std::string& input, const std::string& kind) {
  std::string name;
  for (char c : std::filesystem::path(input).stem().string())
    name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  if (name.empty() || name[0] == '-') name = kind + name;
  return name.substr(0, 80);
}

void CheckEntryName(const std::string& name) {
  const bool plain = std::all_of(name.begin(), name.end(),
                                 [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '-' || c == '.'; });
  if (name.empty() || !plain || name.size() > 80 || name[0] == '-' || name[0] == '.')
    throw UsageError("--name '" + name + "' must be " + kNameRule);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Args::Value(const std::string& name, const std::string& fallback) const {
  const auto it = options.find(name);
  return it == options.end() || it->second.front().empty() ? fallback : it->second.front().front();
}

double Args::Number(const std::string& name) const {
  const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) { return s.name == name; });
  if (spec == specs.end()) throw std::logic_error(name + " is not a declared option");
  return Has(name) ? std::strtod(Value(name, "").c_str(), nullptr) : spec->fallback;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", value);
  return text;
}

std::string Format(const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  std::string text(static_cast<size_t>(std::vsnprintf(nullptr, 0, format, args)), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  va_end(args);
  return text;
}
