#!/bin/sh
# The Windows build under Wine, beside the Linux build: the scripted flight's log, overlay and screenshot,
# the live window, the message box, redirected output, a Unicode folder and bad input with the same messages.
# usage: tests/wine.sh LINUX_BUILD WINDOWS_BUILD, under an X display (xvfb-run); the last line counts the checks.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
export WINEPREFIX="$windows/wineprefix" WINEDEBUG=-all LANG=C.UTF-8
work="$windows/wine-test"
rm -rf "$work"
mkdir -p "$work"
passed=0
failed=0

# check NAME CONDITION: one check, passed when the shell condition holds.
check() {
  if eval "$2"; then passed=$((passed + 1)) && echo "ok: $1"; else failed=$((failed + 1)) && echo "FAILED: $1"; fi
}

# scene DIR [LEVEL]: a fresh copy of the bundled scene in DIR, with the settings' log level when given.
scene() {
  rm -rf "$1"
  mkdir -p "$1"
  cp -r "$root/dbIlm" "$root/Location" "$root/Horizon" "$root/Objects" "$root/Glader" "$1/"
  rm -f "$1/log.txt"
  [ $# -lt 2 ] || sed -i "1s/^[0-9]*/$2/" "$1/dbIlm/setting.ini"
}

# Either build's program; a Windows run has a time limit, so that a window or message box that never comes cannot
# hang the tests.
glide_linux() { "$linux/glide" "$@"; }
glide_windows() { timeout 300 wine "$windows/glide.exe" "$@"; }
probe() { timeout 60 wine "$windows/tests/winprobe.exe" "$@" | tr -d '\r'; }

# same_text A B: equal once the Windows file's CRLF line ends are read as LF.
same_text() {
  [ -s "$1" ] && tr -d '\r' <"$2" | cmp -s "$1" -
}

# Pixels that differ between two 800 x 600 24-bit BMPs of the same layout, below the overlay's text rows
# (the top 64): the rows are stored bottom up, so those are the first 536 rows after the 54-byte header.
differing_pixels() {
  cmp -l "$1" "$2" | awk '$1 > 54 && $1 <= 54 + 536 * 2400 { p = int(($1 - 55) / 3); if (p != last) n++; last = p }
    END { print n + 0 }'
}

ends_with_deinit() {
  tail -n 2 "$1" | grep -q 'init  DeInit() - Deinitialization OpenGL'
}

# ink BMP FIRST LAST: the overlay's black glyph pixels in rows FIRST to LAST, counted from the top of an
# 800 x 600 24-bit BMP: "LEFT RIGHT", the columns of the leftmost and the rightmost.
ink() {
  od -An -v -tu1 -j $((54 + (599 - $3) * 2400)) -N $((($3 - $2 + 1) * 2400)) "$1" | awk '
    { for (i = 1; i <= NF; i++) { s += $i; if (++k % 3) continue; x = (k / 3 - 1) % 800
        if (s == 0) { if (!n++ || x < l) l = x; if (x > r) r = x }; s = 0 } }
    END { print l + 0, r + 0 }'
}

start=$(date +%s)
wineboot -i >/dev/null 2>&1
# Windows has Courier New; Wine, lacking it, would draw the overlay in a proportional face. Its metric twin, which
# the Linux build's font lookup finds too, stands in, so that both builds draw the same glyphs.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d 'Liberation Mono' /f >/dev/null 2>&1

# The scripted flight on both builds, at log levels 1 and 2.
for level in 1 2; do
  for build in linux windows; do
    scene "$work/flight-$build-$level" "$level"
    (cd "$work/flight-$build-$level" && glide_$build --batch --keys "$root/tools/flight.keys" --frames 600 \
      --screenshot shot.bmp --overlay overlay.txt)
  done
  l="$work/flight-linux-$level"
  w="$work/flight-windows-$level"
  check "flight at log level $level: the same log ($(wc -l <"$l/log.txt") lines)" 'same_text "$l/log.txt" "$w/log.txt"'
  check "flight at log level $level: the same overlay lines" 'same_text "$l/overlay.txt" "$w/overlay.txt"'
  n=$(differing_pixels "$l/shot.bmp" "$w/shot.bmp")
  echo "flight at log level $level: $n of 428800 pixels differ below the overlay's text"
  check "flight at log level $level: the same screenshot below the text, but for at most 0.5 %" \
    '[ -s "$w/shot.bmp" ] && [ "$n" -le 2144 ]'
done

# The overlay's first line as drawn (rows 8 to 22, above its descenders): the same glyphs at the same place, and the
# same extent where the blank's glyph list moves the raster position by the blank's advance, as Windows documents
# for wglUseFontBitmaps. Debian 12's Mesa (22.3) drops the zero-size glBitmap with no bitmap that Wine records for a
# glyph without ink from a display list (GL_OUT_OF_MEMORY, 0x505): there the blanks move nothing and the line is
# shorter by their advances. The probe builds the lists with the program's own BuildFont. On Linux the line's ink
# spans a letter's advance for each character but the last, plus that one's ink.
read -r advance move letter error <<EOF
$(probe font)
EOF
blanks=$(head -n 1 "$l/overlay.txt" | tr -cd ' ' | wc -c)
length=$(head -n 1 "$l/overlay.txt" | tr -d '\r\n' | wc -c)
short=$((blanks * (${advance:-0} - ${move:-0})))
linux_ink=$(ink "$l/shot.bmp" 8 22)
windows_ink=$(ink "$w/shot.bmp" 8 22)
echo "the overlay's glyph lists: a blank moves ${move:-?} px (its advance ${advance:-?} px), a G ${letter:-?} px; GL error ${error:-?}"
check "the overlay's first line: ink at columns ${linux_ink% *} to ${linux_ink#* } on Linux, ${windows_ink% *} to \
${windows_ink#* } on Windows ($length characters, $blanks blanks: shorter by $short px)" \
  '[ "${letter:-0}" -gt 0 ] && { [ "$move" = "$advance" ] || { [ "$move" = 0 ] && [ "$error" = 0x505 ]; }; } &&
   [ "${linux_ink% *}" -lt "${linux_ink#* }" ] && [ "${windows_ink% *}" = "${linux_ink% *}" ] &&
   [ $((${linux_ink#* } - ${linux_ink% *} - (length - 1) * letter)) -ge 0 ] &&
   [ $((${linux_ink#* } - ${linux_ink% *} - (length - 1) * letter)) -lt "$letter" ] &&
   [ $((${windows_ink#* } + short - ${linux_ink#* })) -ge -4 ] && [ $((${windows_ink#* } + short - ${linux_ink#* })) -le 4 ]'

# Scene files with CRLF line ends, as Windows editors save them, fly the same.
scene "$work/crlf" 1
for f in "$work/crlf"/dbIlm/* "$work/crlf"/*/*.obj; do sed -i 's/$/\r/' "$f"; done
(cd "$work/crlf" && glide_windows --batch --keys "$root/tools/flight.keys" --frames 600 --overlay overlay.txt)
check "a scene with CRLF line ends: the same log and overlay as with LF" \
  'same_text "$work/flight-linux-1/log.txt" "$work/crlf/log.txt" &&
   same_text "$work/flight-linux-1/overlay.txt" "$work/crlf/overlay.txt"'

# The live window: its class, title and client size; W held through the X keyboard moves the glider; Esc ends it.
scene "$work/live"
cd "$work/live"
glide_windows --overlay overlay.txt &
pid=$!
size=$(probe size)
check "the window: class, title, 800 x 600 client area ($size)" '[ "$size" = "Pelican\`s 3dPrimers|Game|800 600" ]'
window=$(xdotool search --name '^Game$' | head -n 1)
timeout 10 xdotool windowfocus --sync "$window"
xdotool keydown w
sleep 2
xdotool keyup w
xdotool key Escape
wait $pid
code=$?
check "Esc ends the run with code 0 and the DeInit line" '[ $code -eq 0 ] && ends_with_deinit log.txt'

# A close request: the close command of the window menu, which the default window procedure makes WM_CLOSE.
scene "$work/close"
cd "$work/close"
glide_windows --overlay overlay.txt &
pid=$!
probe close
wait $pid
code=$?
check "a close request ends the run with code 0 and the DeInit line" '[ $code -eq 0 ] && ends_with_deinit log.txt'
check "W held moves the glider: $(head -n 1 "$work/live/overlay.txt" | tr -d '\r')" \
  '[ -s overlay.txt ] && [ "$(head -n 1 overlay.txt)" != "$(head -n 1 "$work/live/overlay.txt")" ]'

# A missing glider texture: a real message box titled "Error"; after OK the run goes on. In batch mode, stderr.
scene "$work/box"
cd "$work/box"
rm Glader/glader01.bmp
glide_windows --frames 30 &
pid=$!
text=$(probe error)
timeout 10 xdotool windowfocus --sync "$(xdotool search --name '^Error$' | head -n 1)"
xdotool key Return
wait $pid
code=$?
check "a missing texture shows the message box \"$text\"; the run goes on after OK" \
  '[ $code -eq 0 ] && [ "$text" = "Failed to open DIB file Glader/glader01.bmp." ] && ends_with_deinit log.txt'
glide_windows --batch --frames 5 2>stderr.txt
check "with --batch the message is on stderr" 'grep -q "^Error: Failed to open DIB file Glader/glader01.bmp" stderr.txt'

# Output redirected by the caller reaches the file, though glide.exe is a GUI program.
glide_windows --help >help.txt
check "--help redirected to a file" 'grep -q "^usage: glide" help.txt'

# A scene under a folder name with letters outside every single-byte code page.
scene "$work/Flüge ✈ полёт 飛行"
glide_windows -C "$work/Flüge ✈ полёт 飛行" --batch --frames 5 --screenshot "Flüge.bmp" 2>stderr.txt
code=$?
check "a scene in a folder named with non-ASCII letters" \
  '[ $code -eq 0 ] && [ ! -s stderr.txt ] && [ -s Flüge.bmp ] && grep -q LoadFromFile "$work/Flüge ✈ полёт 飛行/log.txt"'

# A scene that glide-scene (a Linux tool) made from an ESRI ASCII grid flies the same on both builds.
if [ -x "$linux/glide-scene" ]; then
  cd "$work"
  {
    printf 'ncols 16\nnrows 16\nxllcorner 0\nyllcorner 0\ncellsize 30\nNODATA_value -9999\n'
    for r in $(seq 0 15); do
      for c in $(seq 0 15); do printf '%d ' $(((r * c) % 50 + r + c)); done
      echo
    done
  } >grid.asc
  for build in linux windows; do
    "$linux/glide-scene" new "made-$build" >/dev/null && "$linux/glide-scene" terrain "made-$build" grid.asc >/dev/null
    (cd "made-$build" && glide_$build --batch --keys "$root/tools/flight.keys" --frames 300 --overlay overlay.txt)
  done
  check "a scene made by glide-scene from a grid: the same log and overlay" \
    'same_text made-linux/log.txt made-windows/log.txt && same_text made-linux/overlay.txt made-windows/overlay.txt'
fi

# Bad input gets the same message on both builds.
# bad NAME SETUP: SETUP spoils a fresh scene (run inside it); both builds fly it for 5 frames in batch mode.
bad() {
  for build in linux windows; do
    scene "$work/bad-$build"
    (cd "$work/bad-$build" && eval "$2" && glide_$build --batch --frames 5 2>stderr.txt >/dev/null)
  done
  check "$1: the same messages and log on both builds: $(head -n 1 "$work/bad-linux/stderr.txt")" \
    'same_text "$work/bad-linux/log.txt" "$work/bad-windows/log.txt" &&
     tr -d "\r" <"$work/bad-windows/stderr.txt" | cmp -s "$work/bad-linux/stderr.txt" -'
}
bad "a folder as the glider texture" 'rm Glader/glader01.bmp && mkdir Glader/glader01.bmp'
bad "a truncated texture" 'head -c 100 Glader/glader01.bmp >t && mv t Glader/glader01.bmp'
bad "a hostile mesh" 'printf "v 1e999 nan 3\nf 1/1/1 999999999/2/2 -7/3/3\nvt x\n" >Glader/glader01.obj'
bad "a folder as the settings file" 'rm dbIlm/setting.ini && mkdir dbIlm/setting.ini'
bad "a broken link file" 'printf "[garbage\n\001\002\n" >dbIlm/scene.txt'
bad "a device name as the link file" 'sed -i "2s|^[^ ]*|NUL|" dbIlm/setting.ini'
cd "$work/bad-windows"
glide_windows --batch --frames 5 --screenshot "no such folder/shot.bmp" 2>stderr.txt
code=$?
check "an unwritable screenshot: exit code 1 and the message" \
  '[ $code -eq 1 ] && grep -q "^glide: could not write screenshot .*no such folder/shot.bmp" stderr.txt'

echo "The Windows checks took $(($(date +%s) - start)) s."
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
