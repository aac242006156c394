#!/bin/sh
# Remakes the bundled scene (dbIlm/, Location/, Horizon/, Objects/, Glader/) with glide-scene: rolling hills
# drawn by ImageMagick, and towers from tools/assets/tower.obj.
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
"$tool" terrain "$work/scene" "$work/hills.png" --name hills
# Towers ahead of the start and around it, each standing on the ground.
"$tool" object "$work/scene" "$root/tools/assets/tower.obj" --name tower \
  --at 60 -20 --at 150 70 --at 240 -60 --at 330 40 --at -120 150

rm -rf "$root/Location" "$root/Horizon" "$root/Objects" "$root/Glader" "$root/dbIlm"
for folder in dbIlm Location Horizon Objects Glader; do cp -r "$work/scene/$folder" "$root/$folder"; done
