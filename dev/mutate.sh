#!/bin/bash
# Plants the faults listed in dev/mutants.txt one at a time and reports which ones the tests catch.
# usage: dev/mutate.sh [ID...]    (all mutants when no ID is given; BUILD=folder, default build/mutate)
# Each mutant is a line "ID<TAB>FOLDER<TAB>TEXT<TAB>REPLACEMENT": TEXT must stand exactly once in the files
# under FOLDER, wherever they have moved. The build is Release; the test programs run whole, each stopping at its
# first failure, those of the mutated folder's side (tools or program) first. Not part of CI: a full run takes
# about as many minutes as there are mutants.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-build/mutate}
mkdir -p "$build"
list=dev/mutants.txt

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$build.configure.log" 2>&1 || {
  cat "$build.configure.log"; exit 1; }
# make_all: the build, and the Debian package that the install tests unpack.
make_all() { cmake --build "$build" && (cd "$build" && cpack -G DEB >/dev/null); }
make_all >/dev/null || { echo "the unmutated tree does not build"; exit 1; }

# run_tests FOLDER: 0 when every test program passes; the failing program's name on stdout otherwise.
run_tests() {
  programs=$(find "$build/tests" -maxdepth 1 -type f -name '*_test' -perm -u+x | sort)
  tools_first=$(echo "$programs" | grep -E '/(scene_[a-z]+|tools)_test$')
  others=$(echo "$programs" | grep -vE '/(scene_[a-z]+|tools)_test$')
  case $1 in tools*) ordered="$tools_first $others" ;; *) ordered="$others $tools_first" ;; esac
  for program in $ordered; do
    if ! (cd "$build/tests" && timeout 600 "$root/$program" --gtest_brief=1 --gtest_fail_fast >/dev/null 2>&1); then
      basename "$program"
      return 1
    fi
  done
  return 0
}

if [ $# -eq 0 ]; then
  echo "checking that the unmutated tree passes"
  if failing=$(run_tests all); then :; else echo "the unmutated tree fails in $failing"; exit 1; fi
fi

caught=0
missed=0
stillborn=0
total=0
while IFS=$'\t' read -r id folder text replacement; do
  case $id in ''|'#'*) continue ;; esac
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$id"; then continue; fi
  total=$((total + 1))
  files=$(grep -rlF --include='*.cpp' --include='*.h' -- "$text" "$folder")
  if [ "$(echo "$files" | grep -c .)" -ne 1 ] || [ "$(grep -cF -- "$text" "$files")" -ne 1 ]; then
    echo "$id $folder: the text is not found exactly once: $text"
    stillborn=$((stillborn + 1))
    continue
  fi
  cp "$files" "$build/mutant.saved"
  trap 'cp "$build/mutant.saved" "$files"; exit 1' INT TERM
  python3 - "$files" "$text" "$replacement" <<'PY'
import sys
path, old, new = sys.argv[1:]
text = open(path, encoding="utf-8").read()
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
  start=$(date +%s)
  if ! make_all >"$build/mutant.log" 2>&1; then
    verdict="does not build"
    stillborn=$((stillborn + 1))
  elif failing=$(run_tests "$folder"); then
    verdict="MISSED"
    missed=$((missed + 1))
  else
    verdict="caught by $failing"
    caught=$((caught + 1))
  fi
  cp "$build/mutant.saved" "$files"
  trap - INT TERM
  echo "$id $files: $verdict ($(( $(date +%s) - start )) s)"
done <"$list"
make_all >/dev/null
echo "$caught of $total caught, $missed missed, $stillborn not built or not found"
