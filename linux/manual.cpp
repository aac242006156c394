// Manual pages in man(7) roff and bash completion scripts, written from a program's declared options and commands.
#include "linux/manual.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// Text as roff prints it: backslashes, option dashes, characters beyond ASCII and a control character at the
// start of a line escaped. Line breaks become blanks (roff fills the lines itself).
std::string Roff(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const char before = i ? text[i - 1] : ' ';
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-' && (before == '-' || (i + 1 < text.size() && text[i + 1] == '-') || before == ' ' ||
                            before == '[' || before == '(' || before == '\'' || i == 0)) {
      out += "\\-";  // an option's dash, not a hyphen
    } else if (c == '\n') {
      out += ' ';
    } else if (c >= 0x80) {
      const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      unsigned code = c & (0x3F >> (length - 1));
      for (int k = 1; k < length && i + 1 < text.size(); ++k) code = code << 6 | (text[++i] & 0x3F);
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "\\[u%04X]", code);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return !out.empty() && (out[0] == '.' || out[0] == '\'') ? "\\&" + out : out;
}

// Paragraphs apart by blank lines, each one filled line of roff.
std::string Paragraphs(const std::string& text) {
  std::string out, paragraph;
  std::istringstream lines(text + "\n");
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) {
      paragraph += (paragraph.empty() ? "" : "\n") + line;
    } else if (!paragraph.empty()) {
      out += (out.empty() ? "" : ".PP\n") + Roff(paragraph) + "\n";
      paragraph.clear();
    }
  }
  return out;
}

std::string Bold(const std::string& text) { return "\\fB" + Roff(text) + "\\fR"; }
// An option's name in bold, every dash a minus sign, so that it can be copied into a command line.
std::string Name(const std::string& name) {
  std::string out = "\\fB";
  for (char c : name) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out + "\\fR";
}
std::string Italic(const std::string& text) { return "\\fI" + Roff(text) + "\\fR"; }

std::string OptionWords(const ManOption& option, bool alias = true) {
  std::string words = option.alias.empty() || !alias ? "" : Name(option.alias) + ", ";
  words += Name(option.name);
  return option.metavar.empty() ? words : words + " " + Italic(option.metavar);
}

std::string OptionItems(const std::vector<ManOption>& options) {
  std::string out;
  for (const ManOption& option : options) out += ".TP\n" + OptionWords(option) + "\n" + Roff(option.help) + "\n";
  return out;
}

std::string Arguments(const std::vector<ManArgument>& arguments) {
  std::string out;
  for (const ManArgument& a : arguments) {
    out += a.optional ? " [" : " ";
    out += Italic(a.name) + (a.optional ? "]" : "");
  }
  return out;
}

// What a value or an argument completes to, from its name: "d" folders, "f" files, "w:a b" words, "" nothing.
std::string ValueKind(const std::string& metavar) {
  if (metavar.find('|') != std::string::npos) {
    std::string words = metavar;
    for (char& c : words) c = c == '|' ? ' ' : c;
    return "w:" + words;
  }
  if (metavar == "DIR") return "d";
  if (metavar.rfind("FILE", 0) == 0 || metavar == "IMAGE" || metavar == "INPUT" || metavar == "MODEL") return "f";
  return "";
}

// The values an option takes at least, and those after them that it takes while they read as numbers ("X Y [Z]").
std::pair<int, int> ValueCounts(const std::string& metavar) {
  if (metavar.empty()) return {0, 0};
  int words = 1, optional = 0;
  for (char c : metavar) words += c == ' ', optional += c == '[';
  return {words - optional, optional};
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

std::string ManPage(const ManProgram& p) {
  std::string upper = p.name;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  std::string out = ".TH " + upper + " 1 " + p.date + " \"glide " + p.version + "\" \"User Commands\"\n";
  out += ".SH NAME\n" + Roff(p.name) + " \\- " + Roff(p.summary) + "\n.SH SYNOPSIS\n";
  if (p.commands.empty()) {
    out += Bold(p.name);
    for (const ManOption& option : p.options) out += " [" + OptionWords(option, false) + "]";
    out += "\n";
  } else {
    for (const ManCommand& command : p.commands)
      out += Bold(p.name) + " " + Bold(command.name) + Arguments(command.arguments) + " [" + Italic("options") + "]\n.br\n";
    for (const ManOption& option : p.options) out += Bold(p.name) + " " + OptionWords(option) + "\n.br\n";
  }
  out += ".SH DESCRIPTION\n" + Paragraphs(p.description);
  out += ".SH OPTIONS\n" + OptionItems(p.options);
  if (!p.commands.empty()) {
    out += ".SH COMMANDS\n";
    for (const ManCommand& command : p.commands) {
      out += ".SS \"" + Roff(command.name) + Arguments(command.arguments) + "\"\n" + Roff(command.summary) + ".\n";
      if (!command.description.empty()) out += ".PP\n" + Paragraphs(command.description);
      for (const ManArgument& a : command.arguments)
        if (!a.help.empty()) out += ".TP\n" + Italic(a.name) + "\n" + Roff(a.help) + "\n";
      out += OptionItems(command.options);
      if (!command.notes.empty()) out += ".PP\n" + Paragraphs(command.notes);
    }
  }
  out += ".SH FILES\n";
  for (const auto& [path, what] : p.files) out += ".TP\n" + Italic(path) + "\n" + Roff(what) + "\n";
  out += ".SH EXAMPLES\n";
  for (const auto& [what, line] : p.examples) out += ".PP\n" + Roff(what) + "\n.PP\n.RS\n" + Bold(line) + "\n.RE\n";
  out += ".SH SEE ALSO\n" + Roff(p.seeAlso) + "\n";
  return out;
}

std::string Completion(const ManProgram& p) {
  std::string function = "_";
  for (char c : p.name) function += c == '-' ? '_' : c;
  const bool commands = !p.commands.empty();
  // Without commands the program is its own one command, whose words start at 1.
  std::vector<ManCommand> all = p.commands;
  if (!commands) all.push_back({"", {}, "", "", "", p.options});

  std::string out = "# bash completion for " + p.name + ", made from its declarations of options" +
                    (commands ? " and commands" : "") + "\n";
  // One name a line, never split at blanks nor expanded as a pattern; a quote the user opened is no part of it.
  out += function + "_names() {\n  local word=${cur#[\\\"\\']}\n  case $1 in\n"
         "    d) mapfile -t COMPREPLY < <(compgen -d -- \"$word\") ;;\n"
         "    f) mapfile -t COMPREPLY < <(compgen -f -- \"$word\") ;;\n"
         "    w:*) mapfile -t COMPREPLY < <(compgen -W \"${1#w:}\" -- \"$word\"); return ;;\n"
         "    *) return ;;\n  esac\n"
         "  compopt -o filenames 2>/dev/null\n}\n\n";
  out += function + "() {\n  local cur=${COMP_WORDS[COMP_CWORD]} command= first=1\n  COMPREPLY=()\n";
  if (commands) {
    std::string names;
    for (const ManCommand& command : p.commands) names += command.name + " ";
    for (const ManOption& option : p.options) names += option.name + " ";
    names.pop_back();
    out += "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n    COMPREPLY=($(compgen -W " + Quoted(names) +
           " -- \"$cur\"))\n    return\n  fi\n  command=${COMP_WORDS[1]} first=2\n";
  }
  // Walks the words before the one completed: each option's values are skipped, the other words counted as
  // arguments. need: values still due to the last option; more: numbers it may take after them.
  out += "  local i word need=0 more=0 kind= argument=0\n"
         "  for ((i = first; i < COMP_CWORD; i++)); do\n"
         "    word=${COMP_WORDS[i]}\n"
         "    if ((need > 0)); then need=$((need - 1)); continue; fi\n"
         "    if ((more > 0)) && [[ $word =~ ^[-+]?[0-9.]+([eE][-+]?[0-9]+)?$ ]]; then more=$((more - 1)); continue; fi\n"
         "    more=0\n"
         "    case \"$command $word\" in\n";
  for (const ManCommand& command : all)
    for (const ManOption& option : command.options) {
      const auto [need, more] = ValueCounts(option.metavar);
      if (need == 0) continue;
      out += "      " + Quoted(command.name + " " + option.name) + ") need=" + std::to_string(need) +
             " more=" + std::to_string(more) + " kind=" + Quoted(ValueKind(option.metavar)) + " ;;\n";
    }
  out += "      *\" \"-[!0-9.]*) ;;\n"
         "      *) argument=$((argument + 1)) ;;\n"
         "    esac\n"
         "  done\n"
         "  if ((need > 0)); then\n    " + function + "_names \"$kind\"\n    return\n  fi\n"
         "  if [[ $cur == -* ]]; then\n    case $command in\n";
  for (const ManCommand& command : all) {
    std::string names;
    for (const ManOption& option : command.options) names += option.name + " ";
    if (!names.empty()) names.pop_back();
    out += "      " + Quoted(command.name) + ") COMPREPLY=($(compgen -W " + Quoted(names) + " -- \"$cur\")) ;;\n";
  }
  out += "    esac\n    return\n  fi\n  case \"$command $argument\" in\n";
  for (const ManCommand& command : all)
    for (size_t k = 0; k < command.arguments.size(); ++k)
      if (const std::string kind = ValueKind(command.arguments[k].name); !kind.empty())
        out += "    " + Quoted(command.name + " " + std::to_string(k)) + ") " + function + "_names " + kind + " ;;\n";
  out += "  esac\n}\ncomplete -F " + function + " " + p.name + "\n";
  return out;
}

bool WriteManual(const ManProgram& program, const std::string& dir) {
  for (const auto& [file, text] : {std::pair{dir + "/" + program.name + ".1", ManPage(program)},
                                   std::pair{dir + "/" + program.name + ".bash", Completion(program)}}) {
    std::ofstream out(file, std::ios::binary);
    if (!(out << text) || !(out.close(), out)) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      return false;
    }
  }
  return true;
}
