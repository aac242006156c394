#!/bin/sh
# Lines of code of the program, the tools and the tests, without blank lines and lines that are only a // comment.
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' \) -exec cat {} + |
    grep -v '^[[:space:]]*$' | grep -vc '^[[:space:]]*//'
}
program=$(count app config scene image physics render platform)
tools=$(count tools linux)
tests=$(count tests)
echo "program $program, tools $tools, tests $tests: tests are $((100 * tests / (program + tools + tests))) % of all"
