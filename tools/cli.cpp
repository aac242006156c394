// Option parsing and number reading for glide-scene's commands.
#include "tools/cli.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

double ReadNumber(const std::string& text, const std::string& what, double least, double most) {
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
  std::fprintf(stderr, "glide-scene %s: warning: %s\n", command.c_str(), Printable(text).c_str());
}

std::string ReaderReason(const std::string& reason) {
  constexpr size_t kMost = 200;
  if (reason.empty()) return "";
  return " (" + (reason.size() > kMost ? reason.substr(0, kMost) + "..." : reason) + ")";
}

Args ParseArgs(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs) {
  Args args;
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

std::optional<Args> ParseCommand(const std::vector<std::string>& argv, std::vector<OptionSpec> specs,
                                 const char* help) {
  specs.push_back({"--help", 0, 0, false});
  Args args = ParseArgs(argv, specs);
  if (!args.Has("--help")) return args;
  std::fputs(help, stdout);
  return std::nullopt;
}

std::string Args::Value(const std::string& name, const std::string& fallback) const {
  const auto it = options.find(name);
  return it == options.end() || it->second.front().empty() ? fallback : it->second.front().front();
}

double Args::Number(const std::string& name, double fallback, double least, double most) const {
  return Has(name) ? ReadNumber(Value(name, ""), name, least, most) : fallback;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", value);
  return text;
}
