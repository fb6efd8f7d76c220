#!/usr/bin/env bash
# `tavi render` against oiiotool on the same job: a 1920 x 1080 RGBA+Z float
# EXR multiplied by 0.5 (tavi through examples/multiply.json, a one-multiply
# network on colour and alpha). Both write zip-compressed float EXR, the
# default of each. Runs alternate, so that load on the machine falls on both
# alike; prints each run, the medians and their ratio (target: at most 1.5).
#
# Usage: bench/compare_oiiotool.sh [RUNS]   (default 5; needs a native build)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
tavi=build/native/bin/tavi
[[ -x $tavi ]] || { echo "build first: cmake --build --preset native" >&2; exit 1; }
command -v oiiotool >/dev/null || { echo "needs oiiotool (openimageio-tools)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input=$work/in.exr

# Smooth gradients with noise on top, so that compression does real work.
oiiotool \
  --pattern fill:topleft=0.1,0.2,0.3,1,1:topright=0.9,0.5,0.1,1,5:bottomleft=0.2,0.8,0.4,0.5,10:bottomright=1,1,1,1,20 1920x1080 5 \
  --pattern noise:type=gaussian:mean=0:stddev=0.05 1920x1080 5 --add \
  -d float --chnames R,G,B,A,Z --compression zip -o "$input"

tavi_command=("$tavi" render examples/multiply.json --input "$input" -o "$work/tavi.exr" --quiet)
oiio_command=(oiiotool "$input" --mulc 0.5 -o "$work/oiiotool.exr")

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }' 
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# One untimed run each warms the page cache and the dynamic loader's.
"${tavi_command[@]}" >/dev/null
"${oiio_command[@]}" >/dev/null

tavi_times=() oiio_times=()
for ((i = 1; i <= runs; i++)); do
  t=$(seconds "${tavi_command[@]}")
  o=$(seconds "${oiio_command[@]}")
  tavi_times+=("$t") oiio_times+=("$o")
  printf 'run %d: tavi %.3f s, oiiotool %.3f s\n' "$i" "$t" "$o"
done

tavi_median=$(printf '%s\n' "${tavi_times[@]}" | median)
oiio_median=$(printf '%s\n' "${oiio_times[@]}" | median)
ratio=$(awk -v a="$tavi_median" -v b="$oiio_median" 'BEGIN { print a / b }')
printf 'median of %d runs: tavi %.3f s, oiiotool %.3f s, ratio %.2f (target <= 1.5)\n' \
  "$runs" "$tavi_median" "$oiio_median" "$ratio"
echo "tavi:     ${tavi_command[*]}"
echo "oiiotool: ${oiio_command[*]}"
