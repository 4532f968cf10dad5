#!/bin/sh
# Frames per second of whole quorvix-render runs: 30 frames of 1920 x 1080
# from the demo projects with their pictures scaled to 1920 x 1080, as TGA
# pictures and as one AVI movie, on 1 and 2 threads. Runs of each program
# given alternate, so that all of them see the same machine.
#   bench/render_fps.sh build/bin/quorvix-render [OTHER/quorvix-render ...]
# Needs ImageMagick's convert and python3. Writes into a fresh temp folder.
set -e
[ $# -ge 1 ] || { echo "usage: $0 QUORVIX-RENDER..." >&2; exit 2; }
DATA=$(dirname "$1")/Data
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$DATA" "$WORK/Data"
for f in demo_start demo_end; do
    /usr/bin/convert "$WORK/Data/$f.bmp" -resize '1920x1080!' -type TrueColor "BMP3:$WORK/Data/$f.bmp"
done
# TotalFrames of the mesh and the node project: 30.
python3 - "$WORK/Data" <<'PY'
import struct, sys
for name, at in (("demo_mesh.prj", 30 + 1088 + 4), ("demo_node.prj", 30 + 1088 + 16)):
    path = sys.argv[1] + "/" + name
    b = bytearray(open(path, "rb").read())
    struct.pack_into("<i", b, at, 30)
    open(path, "wb").write(b)
PY
REPS=${REPS:-3}
printf "%-14s %-4s %-8s %s\n" project type threads "frames per second (one per run, then per program)"
for project in demo_mesh.prj demo_node.prj; do
    for type in tga avi; do
        for threads in 1 2; do
            line=""
            for rep in $(seq "$REPS"); do
                for tool in "$@"; do
                    rm -rf "$WORK/out" && mkdir "$WORK/out"
                    start=$(date +%s.%N)
                    "$tool" "$WORK/Data/$project" --frames 1-30 --size 1920x1080 --type "$type" \
                        --output "$WORK/out" --quiet --threads "$threads"
                    end=$(date +%s.%N)
                    line="$line $(echo "scale=1; 30 / ($end - $start)" | bc)"
                done
            done
            printf "%-14s %-4s %-8s %s\n" "$project" "$type" "$threads" "$line"
        done
    done
done
