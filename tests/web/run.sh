#!/bin/sh
# The page's tests in headless Chromium: tests/web/run.sh WEB_BUILD LINUX_BUILD [NAME...]
# WEB_BUILD holds index.html, glide.js, glide.wasm and glide.data (build/web); LINUX_BUILD the Linux build's
# glide and glide-scene (build/test), run under xvfb-run for the reference. NAMEs pick tests by a word of their
# names. Needs node, npm, chromium and xvfb-run; puppeteer-core comes from package-lock.json (npm ci).
# The last line counts the tests: N passed, N failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 2 ]; then
  echo "usage: $0 WEB_BUILD LINUX_BUILD [NAME...]" >&2
  exit 2
fi
web=$1 linux=$2
shift 2
problem=
for need in "$web/index.html" "$web/glide.js" "$web/glide.wasm" "$web/glide.data" \
    "$linux/glide" "$linux/glide-scene"; do
  [ -f "$need" ] || problem="$problem missing $need;"
done
for tool in node npm xvfb-run "${GLIDE_CHROMIUM:-/usr/bin/chromium}"; do
  command -v "$tool" >/dev/null 2>&1 || problem="$problem no $tool;"
done
if [ -z "$problem" ] && { [ ! -f "$here/node_modules/.package-lock.json" ] ||
    [ "$here/package-lock.json" -nt "$here/node_modules/.package-lock.json" ]; }; then
  (cd "$here" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund) || problem="$problem npm ci failed;"
fi
if [ -n "$problem" ]; then
  echo "web tests cannot run:$problem" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
exec node "$here/web.test.js" "$web" "$linux" "$@"
