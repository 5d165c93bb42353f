#!/usr/bin/env bash
# Times zumo-batch straightening a JPEG into a JPEG at quality 85 beside libvips doing the
# same job, each as a whole process from the same file:
#   zumo-batch --straighten A --quality 85 in.jpg out.jpg
#   vips similarity in.jpg out.jpg[Q=85] --angle A
# The two run interleaved, their order alternating by round, so that a busy machine weighs on
# both alike. Prints per program the median wall time with its spread (minimum..maximum) and
# the median processor time (user + system, all threads), then our median as a multiple of
# vips's.
#   tools/compare-straighten.sh photo.jpg [rounds=9] [angle=3]
# ZUMO_BATCH names the program (default: build/batch/zumo-batch); with no JPEG of your own,
# `build/bench/zumo-encode-bench --photo photo.jpg` writes the benchmarks' 4000 x 3000 photo.
set -euo pipefail

[[ $# -ge 1 ]] || { sed -n '2,13p' "$0" >&2; exit 2; }
input=$(realpath "$1")
rounds=${2:-9}
angle=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
batch=${ZUMO_BATCH:-$root/build/batch/zumo-batch}
[[ -x "$batch" ]] || { echo "compare-straighten: $batch not found (set ZUMO_BATCH)" >&2; exit 2; }
command -v vips >/dev/null || { echo "compare-straighten: vips not installed (libvips-tools)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # name command...: appends "wall cpu" to $work/name.times
  local name=$1; shift
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time" >> "$work/$name.times"
}
ours() { run ours "$batch" --straighten "$angle" --quality 85 "$input" "$work/ours.jpg"; }
theirs() { run vips vips similarity "$input" "$work/vips.jpg[Q=85]" --angle "$angle"; }

for ((round = 0; round < rounds; ++round)); do
  if ((round % 2)); then theirs; ours; else ours; theirs; fi
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf "%-6s %8s %12s %8s\n" program "wall s" "spread" "cpu s"
for side in ours vips; do
  f=$work/$side.times
  wall=$(cut -d' ' -f1 "$f" | median)
  cpu=$(cut -d' ' -f2 "$f" | median)
  spread="$(cut -d' ' -f1 "$f" | sort -n | head -1)..$(cut -d' ' -f1 "$f" | sort -n | tail -1)"
  printf "%-6s %8.2f %12s %8.2f\n" "$side" "$wall" "$spread" "$cpu"
  eval "${side}_wall=$wall"
done
# shellcheck disable=SC2154  # set by the eval above
awk -v a="$ours_wall" -v b="$vips_wall" 'BEGIN { printf "ours: x%.2f of vips'"'"'s wall time\n", a / b }'
