#!/usr/bin/env bash
# Converts generated installations of 500,000 and 1,000,000 members and puts
# the conversion beside the honest floor of its work: writing its output.
#
#   bench/large_folder.sh [BUILD_DIR] [MEMBERS ...]      (default: build 500000 1000000)
#
# Each size is generated once; then, RUNS times (default 3, environment
# variable RUNS), the installation is copied with `cp -a` (timed, for
# reference) and the copy converted, followed by `sync` (timed: the
# conversion puts its files on the disk at every step's commit, so the sync
# finds little left). The converted output (data folder and temporary folder)
# is then copied with `cp -a`, also followed by `sync`: that is the floor, the
# time it takes just to write what the conversion must write and make it
# durable. The figure that matters is the ratio of the two.
#
# BASELINE=OTHER_BUILD_DIR also converts each copy with that build's program
# (the same way, in the same run) and prints its time beside this one's.
#
# Before each timed command the written data goes to disk and, where the
# script may (as root), the page cache is emptied, so that every command
# starts cold (DROP_CACHES=0 keeps the cache). The medians are printed.
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
runs=${RUNS:-3}
baseline=${BASELINE:-}
for tool in "$build/vekconv" "$build/make_sample" /usr/bin/time ${baseline:+"$baseline/vekconv"}; do
  [ -x "$tool" ] || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/vekconv-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
cold=no
if [ "${DROP_CACHES:-1}" = 1 ] && [ -w /proc/sys/vm/drop_caches ]; then cold=yes; fi
settle() {
  sync
  if [ "$cold" = yes ]; then echo 3 >/proc/sys/vm/drop_caches; fi
}
echo "page cache emptied before each timed command: $cold"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / ($2 > 0 ? $2 : 0.001) }"; }

# Converts installation $2 with program $1 and syncs; appends the seconds to
# file $3 and the peak memory (KB) to file $4.
convert_timed() {
  local program=$1 run=$2
  rm -rf "$run.tmp"
  mkdir -p "$run.tmp"
  settle
  local start end
  start=$(now)
  TMPDIR="$run.tmp" VEKCONV_TODAY=2011-03-01 /usr/bin/time -f '%M' -o "$work/rss-one" \
    "$program" convert --timings --drive-c "$run" -C "$run" >/dev/null 2>"$work/err" || {
      cat "$work/err" >&2; exit 1; }
  sync
  end=$(now)
  awk "BEGIN { print $end - $start }" >>"$3"
  cat "$work/rss-one" >>"$4"
}

printf '%10s %10s %6s %5s %10s %10s %10s %8s %8s %12s\n' members bytes files runs convert_s floor_s cp_in_s ratio \
  base_s peak_rss_mb
prev=""
for n in "${sizes[@]}"; do
  src="$work/inst-$n"
  "$build/make_sample" "$src" --members "$n" --seed 7 --last-year 2010 >/dev/null
  bytes=$(du -sb "$src" | cut -f1)
  files=$(find "$src" -type f | wc -l)
  : >"$work/conv" ; : >"$work/cp" ; : >"$work/floor" ; : >"$work/rss" ; : >"$work/base" ; : >"$work/base-rss"
  for ((r = 1; r <= runs; r++)); do
    run="$work/run-$n"
    rm -rf "$run" "$run.tmp" "$work/out"
    settle
    start=$(now)
    cp -a "$src" "$run"
    end=$(now)
    awk "BEGIN { print $end - $start }" >>"$work/cp"

    convert_timed "$build/vekconv" "$run" "$work/conv" "$work/rss"
    # Where the time went, step by step (the last run's).
    grep '^  step \|^  space' "$work/err" | sed "s/^  /    $n members, /" >"$work/steps-$n"
    out_bytes=$(du -sb "$run/Zelk" "$run.tmp" | awk '{ s += $1 } END { print s }')

    # The floor: the converted output written anew and made durable.
    settle
    start=$(now)
    mkdir -p "$work/out"
    cp -a "$run/Zelk" "$run.tmp" "$work/out/"
    sync
    end=$(now)
    awk "BEGIN { print $end - $start }" >>"$work/floor"
    rm -rf "$work/out"

    if [ -n "$baseline" ]; then
      rm -rf "$run" "$run.tmp"
      cp -a "$src" "$run"
      convert_timed "$baseline/vekconv" "$run" "$work/base" "$work/base-rss"
    fi
  done
  rm -rf "$work/run-$n" "$work/run-$n.tmp" "$src"
  conv_s=$(median <"$work/conv")
  cp_s=$(median <"$work/cp")
  floor_s=$(median <"$work/floor")
  base_s=$( [ -s "$work/base" ] && median <"$work/base" || echo -)
  rss_mb=$(sort -g "$work/rss" | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
  printf '%10s %10s %6s %5s %10.2f %10.2f %10.2f %8s %8s %12s\n' "$n" "$bytes" "$files" "$runs" "$conv_s" "$floor_s" \
    "$cp_s" "$(ratio "$conv_s" "$floor_s")" "$base_s" "$rss_mb"
  echo "    output: $out_bytes bytes (data folder and temporary folder)"
  echo "    conversion + sync runs: $(tr '\n' ' ' <"$work/conv" | xargs printf '%.2f ')s;" \
       "cp -a of the output + sync: $(tr '\n' ' ' <"$work/floor" | xargs printf '%.2f ')s;" \
       "cp -a of the input: $(tr '\n' ' ' <"$work/cp" | xargs printf '%.2f ')s"
  if [ -s "$work/base" ]; then
    echo "    baseline ($baseline) conversion + sync runs: $(tr '\n' ' ' <"$work/base" | xargs printf '%.2f ')s," \
         "ratio to the floor $(ratio "$base_s" "$floor_s"), peak $(sort -g "$work/base-rss" | tail -1 | awk '{ printf "%.1f", $1 / 1024 }') MB"
  fi
  if [ -n "$prev" ]; then
    echo "growth of the median conversion time from $prev_n to $n members: $(ratio "$conv_s" "$prev")x"
  fi
  prev=$conv_s
  prev_n=$n
done
cat "$work"/steps-* 2>/dev/null || true
