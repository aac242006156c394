#!/bin/sh
# Sets up a Debian 12 machine, builds glide, and runs the demo (./build.sh demo) or every test (./build.sh test).
set -eu
cd "$(dirname "$0")"
root=$(pwd)

install_packages() {
  missing=""
  for p in $(cat tools/debian-packages.txt); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing:$missing"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y $missing
}

build() {  # build DIR [cmake options...]
  dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir"
}

xrun() {
  # -noreset: the server must not restart when the last client leaves, or the next demo finds no display.
  xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$@"
}

case "${1:-}" in
  demo)
    install_packages
    build build -DCMAKE_BUILD_TYPE=Release
    if [ -n "${DISPLAY:-}" ]; then
      exec build/glide -C "$root"
    fi
    mkdir -p out
    xrun build/glide --batch -C "$root" --keys tools/flight.keys --frames 600 --screenshot "$root/out/screenshot.png"
    echo "No display: flew the scripted flight tools/flight.keys under Xvfb."
    echo "Screenshot of the last frame: $root/out/screenshot.png"
    echo "Trace log (appended): $root/log.txt"
    ;;
  test)
    install_packages
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    xrun ctest --test-dir build --output-on-failure
    # The same tests again with AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzzers for a while.
    CC=clang CXX=clang++ build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIDE_SANITIZE=ON -DGLIDE_FUZZ=ON -DGLIDE_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=0 xrun ctest --test-dir build-asan --output-on-failure
    for f in build-asan/fuzz/fuzz_*; do
      [ -x "$f" ] || continue
      name=$(basename "$f")
      mkdir -p "build-asan/corpus/$name"
      "$f" -max_total_time="${GLIDE_FUZZ_SECONDS:-30}" -rss_limit_mb=4096 "build-asan/corpus/$name" "fuzz/seeds/${name#fuzz_}"
    done
    ;;
  *)
    echo "usage: ./build.sh demo | ./build.sh test" >&2
    exit 2
    ;;
esac
