#!/bin/sh
# Sets up a Debian 12 machine and builds glide: ./build.sh demo (fly it), tools (glide-scene), windows (the
# Windows download, cross-built), web (the page and its download, built with emscripten), package (the Debian
# package) or test (every test).
set -eu
cd "$(dirname "$0")"
root=$(pwd)

usage() {
  echo "usage: ./build.sh demo | tools | windows | web | package | test" >&2
  exit 2
}

# install_packages LIST...: installs what is missing of packages/LIST.txt, asking apt-get only when needed.
install_packages() {
  missing=""
  for list in "$@"; do
    for p in $(grep -v '^#' "packages/$list.txt"); do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
  done
  [ -z "$missing" ] && return 0
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing:$missing"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
}

# build DIR TARGET [cmake options...]: configures DIR once per call (cheap when nothing changed) and builds
# TARGET, or everything when TARGET is empty; $configure, when set, is the configuring command (emcmake cmake).
# Each purpose has its own folder, so none rebuilds another's.
# A failed step counts as one failure in the summary line and ends the run.
build() {
  dir=$1
  target=$2
  shift 2
  if ! ${configure:-cmake} -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    echo "Configuring $dir failed; see above."
    stop
  fi
  if ! cmake --build "$dir" ${target:+--target "$target"}; then
    echo "Building $dir failed; see above."
    stop
  fi
}

xrun() {
  # -noreset: the server must not restart when the last client leaves, or the next program finds no display.
  xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$@"
}

passed=0
failed=0

summary() {
  echo "$passed passed, $failed failed"
}

stop() {
  failed=$((failed + 1))
  [ "$mode" != test ] || summary
  exit 1
}

# suite NAME DIR: runs DIR's tests under a virtual display and adds them to the counts; stops on a failure.
suite() {
  name=$1
  dir=$2
  shift 2
  status=0
  env "$@" xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --test-dir "$dir" --output-on-failure \
    >"$dir/ctest.log" 2>&1 || status=$?
  cat "$dir/ctest.log"
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$dir/ctest.log" | tail -1)
  if [ -z "$line" ]; then
    echo "The $name suite ran no tests; see above."
    stop
  fi
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$bad" -ne 0 ]; then
    echo "The $name suite failed; see above."
    summary
    exit 1
  fi
  if [ "$status" -ne 0 ]; then
    echo "The $name suite ended with code $status; see above."
    stop
  fi
}

# counted NAME LOG COMMAND...: a script of checks whose last line counts them ('N passed, N failed'), its output
# kept in LOG, added to the counts.
counted() {
  name=$1
  log=$2
  shift 2
  status=0
  "$@" >"$log" 2>&1 || status=$?
  cat "$log"
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
  if [ -z "$line" ]; then
    echo "The $name checks ended early; see above."
    stop
  fi
  passed=$((passed + ${line%% passed*}))
  bad=${line#*, }
  failed=$((failed + ${bad%% failed}))
  if [ "$status" -ne 0 ]; then
    echo "The $name checks failed; see above."
    summary
    exit 1
  fi
}

# windows_build DIR [cmake options...]: glide.exe cross-built with mingw-w64 in DIR.
windows_build() {
  dir=$1
  target=$2
  shift 2
  build "$dir" "$target" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release -DGLIDE_TOOLS=OFF \
    -DGLIDE_BENCH=OFF "$@"
}

# web_build: the page in build/web (glide.js, glide.wasm, glide.data) and its download dist/glide-VERSION-web.zip.
web_build() {
  # emcc runs its JavaScript tools with node, which finds Debian's packages of them only through NODE_PATH
  # when node itself is not Debian's.
  export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
  configure="emcmake cmake" build build/web "" -DCMAKE_BUILD_TYPE=Release -DGLIDE_TOOLS=OFF -DGLIDE_TESTS=OFF \
    -DGLIDE_BENCH=OFF
  version=$(sed -n 's/^project(glide VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  name=glide-$version-web
  rm -rf "build/web/$name" "dist/$name.zip"
  mkdir -p "build/web/$name" dist
  cp build/web/glide.js build/web/glide.wasm build/web/glide.data "build/web/$name/"
  cp platform/web/page/* "build/web/$name/"
  (cd build/web && zip -qrX "$root/dist/$name.zip" "$name")
}

# fuzz: each fuzzer for a while; its output goes to a log, which is shown only when it finds a crash.
fuzz() {
  for f in build/asan/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    mkdir -p "build/asan/corpus/$name" "build/asan/crashes"
    log="build/asan/$name.log"
    if "$f" -max_total_time="${GLIDE_FUZZ_SECONDS:-30}" -rss_limit_mb=4096 \
        -artifact_prefix="build/asan/crashes/$name-" "build/asan/corpus/$name" "fuzz/seeds/${name#fuzz_}" \
        >"$log" 2>&1; then
      passed=$((passed + 1))
      echo "$name: no crash in ${GLIDE_FUZZ_SECONDS:-30} s (log: $log)"
    else
      failed=$((failed + 1))
      tail -n 40 "$log"
      echo "$name found a crash; the input that causes it:"
      grep -o 'Test unit written to .*' "$log" | sed 's/Test unit written to /  /'
    fi
  done
  if [ "$failed" -ne 0 ]; then
    summary
    exit 1
  fi
}

[ $# -eq 1 ] || usage
mode=$1
mkdir -p build
case "$mode" in
  demo)
    install_packages demo
    [ -n "${DISPLAY:-}" ] || install_packages headless
    build build/demo glide -DCMAKE_BUILD_TYPE=Release -DGLIDE_TESTS=OFF -DGLIDE_BENCH=OFF -DGLIDE_TOOLS=OFF
    if [ -n "${DISPLAY:-}" ]; then
      exec build/demo/glide -C "$root"
    fi
    mkdir -p out
    xrun build/demo/glide --batch -C "$root" --keys tools/flight.keys --frames 600 --screenshot out/screenshot.png
    echo "No display: flew the scripted flight tools/flight.keys under Xvfb."
    echo "Screenshot of the last frame: $root/out/screenshot.png"
    echo "Trace log (appended): $root/log.txt"
    ;;
  tools)
    install_packages demo tools
    build build/tools glide-scene -DCMAKE_BUILD_TYPE=Release -DGLIDE_TESTS=OFF -DGLIDE_BENCH=OFF
    echo "Built $root/build/tools/glide-scene (glide-scene --help tells what it does)."
    ;;
  windows)
    install_packages windows
    windows_build build/windows glide -DGLIDE_TESTS=OFF
    version=$(sed -n 's/^project(glide VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    name=glide-$version-windows-x64
    rm -rf "build/windows/$name" "dist/$name.zip"
    mkdir -p "build/windows/$name" dist
    cp build/windows/glide.exe "build/windows/$name/"
    cp -r dbIlm Location Horizon Objects Glader "build/windows/$name/"
    rm -f "build/windows/$name/log.txt"
    sed 's/$/\r/' platform/win32/README.txt >"build/windows/$name/README.txt"
    (cd build/windows && zip -qrX "$root/dist/$name.zip" "$name")
    echo "Built $root/build/windows/glide.exe and the download $root/dist/$name.zip; it imports:"
    x86_64-w64-mingw32-objdump -p build/windows/glide.exe | sed -n 's/.*DLL Name: /  /p'
    ;;
  web)
    install_packages web
    web_build
    echo "Built the page in $root/build/web/ and the download $root/dist/$name.zip."
    echo "To fly it: (cd build/web && python3 -m http.server) and open http://localhost:8000/"
    ;;
  package)
    install_packages demo tools package
    # Debian's hardening flags, as its own packages are built: stack protector, fortified functions, relocations
    # made read-only and bound at start.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    build build/package "" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DGLIDE_TESTS=OFF -DGLIDE_BENCH=OFF \
      -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
      -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    rm -rf build/package/package
    if ! (cd build/package && cpack -G DEB) >build/package/cpack.log 2>&1; then
      cat build/package/cpack.log
      echo "Making the package failed; see above."
      stop
    fi
    mkdir -p dist
    deb=$(basename build/package/package/glide_*.deb)
    cp "build/package/package/$deb" dist/
    # Debian's checks of a package: errors stop here; warnings and notes are printed for whoever packs it.
    if ! lintian --fail-on error "dist/$deb"; then
      echo "lintian finds errors in dist/$deb; see above."
      stop
    fi
    echo "Built $root/dist/$deb; install it with: sudo apt install ./dist/$deb"
    ;;
  test)
    install_packages demo headless tools test windows package web browser
    command -v npm >/dev/null 2>&1 || install_packages npm
    # Release, as users build it: optimisers find warnings that other builds do not, and here they are errors.
    build build/test "" -DCMAKE_BUILD_TYPE=Release -DGLIDE_WERROR=ON
    suite gcc build/test
    # The same tests again with AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers for a while.
    CC=clang CXX=clang++ build build/asan "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIDE_SANITIZE=ON -DGLIDE_FUZZ=ON \
      -DGLIDE_BENCH=OFF -DGLIDE_WERROR=ON
    suite sanitizer build/asan ASAN_OPTIONS=detect_leaks=0
    # The Windows build: its unit tests under Wine, then the program beside the Linux build's, in one Wine prefix.
    windows_build build/windows-test "" -DGLIDE_WERROR=ON
    suite windows build/windows-test WINEPREFIX="$root/build/windows-test/wineprefix" WINEDEBUG=-all
    counted Windows build/windows-test/wine.log xrun tests/wine.sh build/test build/windows-test
    # The page in headless Chromium beside the Linux build (tests/web/run.sh).
    web_build
    counted web build/web/web-tests.log tests/web/run.sh build/web build/test
    fuzz
    summary
    ;;
  *)
    usage
    ;;
esac
