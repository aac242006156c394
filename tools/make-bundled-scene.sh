#!/bin/sh
# Remakes the bundled scene (dbIlm/, Location/, Horizon/, Glader/) with glide-scene, from rolling hills drawn
# by ImageMagick. Objects/ is left as it is; its towers are placed half a metre into the new ground.
# usage: tools/make-bundled-scene.sh [GLIDE_SCENE]   (default build/tools/glide-scene)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$(realpath "${1:-$root/build/tools/glide-scene}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Three waves of hills over a 225 x 225 sixteen-bit heightmap: 224 x 224 quads, 100,352 triangles.
convert -size 225x225 xc:black -colorspace gray -fx "(16 + 9*sin(i/224*2*pi*1.5)*cos(j/224*2*pi*1.2) \
  + 5*sin(i/224*2*pi*3.7+1.3)*sin(j/224*2*pi*2.9+0.4) + 2*cos((i+j)/224*2*pi*6.1))/32" -depth 16 "$work/hills.png"

"$tool" new "$work/scene"
cat >> "$work/scene/dbIlm/scene.txt" <<'LINKS'
Objects/tower
towers on the hills
5
60
80
-0.5
150
300
-0.5
260
120
-0.5
330
360
-0.5
400
60
-0.5
LINKS
"$tool" terrain "$work/scene" "$work/hills.png" --name hills

rm -rf "$root/Location" "$root/Horizon" "$root/Glader" "$root/dbIlm"
for folder in dbIlm Location Horizon Glader; do cp -r "$work/scene/$folder" "$root/$folder"; done
