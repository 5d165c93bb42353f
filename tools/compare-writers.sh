#!/usr/bin/env bash
# Times our save path (zumo-encode-bench: read the JPEG, decode, encode, write the file) beside
# the reference command-line encoders, each as a whole process from the same JPEG:
#   convert in.jpg out.png      against  zumo-encode-bench png
#   cwebp -q Q in.jpg           against  zumo-encode-bench webp -q Q
#   heif-enc -A -q Q in.jpg     against  zumo-encode-bench avif -q Q
# The pairs run interleaved, each pair's order alternating by round, so that a busy machine
# weighs on both sides alike. Prints, per program, the median wall time with its spread
# (minimum..maximum), the median processor time (user + system, all threads) and the file's
# size, then our median and size as multiples of the reference's.
#   tools/compare-writers.sh photo.jpg [rounds=5] [webp quality=85] [avif quality=75]
# ZUMO_ENCODE_BENCH names the program (default: build/bench/zumo-encode-bench); with no JPEG
# of your own, run
#   zumo-encode-bench --photo photo.jpg
# first to get the benchmarks' 4000 x 3000 photo as a JPEG.
set -euo pipefail

[[ $# -ge 1 ]] || { sed -n '2,16p' "$0" >&2; exit 2; }
input=$(realpath "$1")
rounds=${2:-5}
webp_quality=${3:-85}
avif_quality=${4:-75}
root=$(cd "$(dirname "$0")/.." && pwd)
bench=${ZUMO_ENCODE_BENCH:-}
if [[ -z "$bench" ]]; then
  for candidate in "$root/build/bench/zumo-encode-bench"; do
    [[ -x "$candidate" ]] && { bench=$candidate; break; }
  done
fi
[[ -x "$bench" ]] || { echo "compare-writers: zumo-encode-bench not found (set ZUMO_ENCODE_BENCH)" >&2; exit 2; }
for tool in convert cwebp heif-enc; do
  command -v "$tool" >/dev/null || { echo "compare-writers: $tool not installed" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name|command; ref- names are the reference tools, ours- names our program.
pairs=(
  "ref-png|convert $input $work/ref.png" "ours-png|$bench png $input $work/ours.png"
  "ref-webp|cwebp -quiet -q $webp_quality $input -o $work/ref.webp" "ours-webp|$bench webp $input $work/ours.webp -q $webp_quality"
  "ref-avif|heif-enc -A -q $avif_quality $input -o $work/ref.avif" "ours-avif|$bench avif $input $work/ours.avif -q $avif_quality"
)

run() {  # name command...: appends "wall cpu" to $work/name.times
  local name=$1; shift
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time" >> "$work/$name.times"
}

for ((round = 0; round < rounds; ++round)); do
  for ((i = 0; i < ${#pairs[@]}; i += 2)); do
    first=${pairs[i]} second=${pairs[i + 1]}
    if ((round % 2)); then tmp=$first; first=$second; second=$tmp; fi
    # shellcheck disable=SC2086  # the commands are split into words on purpose
    run "${first%%|*}" ${first#*|}
    # shellcheck disable=SC2086
    run "${second%%|*}" ${second#*|}
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf "%-10s %8s %14s %8s %12s\n" program "wall s" "spread" "cpu s" bytes
for kind in png webp avif; do
  for side in ref ours; do
    f=$work/$side-$kind.times
    wall=$(cut -d' ' -f1 "$f" | median)
    cpu=$(cut -d' ' -f2 "$f" | median)
    spread="$(cut -d' ' -f1 "$f" | sort -n | head -1)..$(cut -d' ' -f1 "$f" | sort -n | tail -1)"
    size=$(stat -c %s "$work/$side.$kind")
    printf "%-10s %8.2f %14s %8.2f %12d\n" "$side-$kind" "$wall" "$spread" "$cpu" "$size"
    eval "${side}_wall=$wall ${side}_size=$size"
  done
  # shellcheck disable=SC2154  # set by the eval above
  awk -v w1="$ours_wall" -v w0="$ref_wall" -v s1="$ours_size" -v s0="$ref_size" -v k="$kind" \
    'BEGIN { printf "%-10s time x%.2f, size x%.3f of the reference\n", k ":", w1 / w0, s1 / s0 }'
done
