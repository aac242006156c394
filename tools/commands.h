// glide-scene's commands by name, and one command line run in this process as the program runs it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/scene/cli.h"

// The declarations of every command, in the order of the list of commands.
std::vector<const CommandSpec*> Commands();
// The options of glide-scene itself, before any command: --help and --version.
const std::vector<OptionSpec>& ProgramOptions();
// The declaration of the command called `name`, or null.
const CommandSpec* FindCommand(const std::string& name);

// The list of commands.
void Usage(std::FILE* to);

// Runs the command whose name is words[0] with the words after it, in this process and unwatched: prints what
// it prints on stdout and stderr and returns its exit code (2 for a bad command line, 1 for a failure).
int RunCommand(const std::vector<std::string>& words);
