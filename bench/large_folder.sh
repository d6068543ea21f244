#!/usr/bin/env bash
# Converts generated installations of 500,000 and 1,000,000 members and puts
# the conversion beside `cp -a` of the same installation, in the same run.
#
#   bench/large_folder.sh [BUILD_DIR] [MEMBERS ...]      (default: build 500000 1000000)
#
# The data's last year is 2010 and the conversion runs as of 2011-03-01
# (VEKCONV_TODAY), so that the due entries written for the unpaid months, and
# with them the work, do not grow with the date of the run.
# Needs /usr/bin/time (Debian package "time") for the peak memory.
set -euo pipefail

build=${1:-build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(500000 1000000)
for tool in "$build/vekconv" "$build/make_sample" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/vekconv-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

seconds() { awk "BEGIN { printf \"%.2f\", $1 }"; }
printf '%10s %10s %12s %10s %10s %8s %12s\n' members bytes files convert_s cp_a_s ratio peak_rss_mb
prev=""
for n in "${sizes[@]}"; do
  root="$work/inst-$n"
  "$build/make_sample" "$root" --members "$n" --seed 7 --last-year 2010 >/dev/null
  bytes=$(du -sb "$root" | cut -f1)
  files=$(find "$root" -type f | wc -l)
  sync

  start=$(date +%s.%N)
  cp -a "$root" "$work/copy-$n"
  end=$(date +%s.%N)
  cp_s=$(seconds "$end - $start")
  rm -rf "$work/copy-$n"
  sync

  mkdir -p "$work/tmp-$n"
  start=$(date +%s.%N)
  TMPDIR="$work/tmp-$n" VEKCONV_TODAY=2011-03-01 /usr/bin/time -f '%M' -o "$work/rss" \
    "$build/vekconv" convert --timings --drive-c "$root" -C "$root" >/dev/null 2>"$work/err" || {
      cat "$work/err" >&2; exit 1; }
  end=$(date +%s.%N)
  conv_s=$(seconds "$end - $start")
  rss_mb=$(awk '{ printf "%.1f", $1 / 1024 }' "$work/rss")
  ratio=$(awk "BEGIN { printf \"%.2f\", $conv_s / ($cp_s > 0 ? $cp_s : 0.001) }")
  printf '%10s %10s %12s %10s %10s %8s %12s\n' "$n" "$bytes" "$files" "$conv_s" "$cp_s" "$ratio" "$rss_mb"
  if [ -n "$prev" ]; then
    echo "growth of the conversion time from $prev_n to $n members: $(awk "BEGIN { printf \"%.2f\", $conv_s / $prev }")x"
  fi
  # Where the time went, step by step.
  grep '^  step ' "$work/err" | sed "s/^  step /    $n members, step /" >"$work/steps-$n"
  prev=$conv_s
  prev_n=$n
  rm -rf "$root" "$work/tmp-$n"
done
cat "$work"/steps-* 2>/dev/null || true
