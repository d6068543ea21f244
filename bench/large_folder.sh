#!/usr/bin/env bash
# Converts generated installations of 500,000 and 1,000,000 members and puts
# the conversion beside `cp -a` of the same installation, in the same run.
#
#   bench/large_folder.sh [BUILD_DIR] [MEMBERS ...]      (default: build 500000 1000000)
#
# Each size is generated once; then, RUNS times (default 3, environment
# variable RUNS), the installation is copied with `cp -a` (the baseline, timed)
# and the copy converted (timed). Before each timed command the written data
# goes to disk and, where the script may (as root), the page cache is emptied,
# so that the copy and the conversion both start cold: otherwise a copy into
# memory that a previous run has just freed takes a fifth of the time of one
# into new memory, and the ratio says more about the machine than about the
# program. DROP_CACHES=0 keeps the cache. The medians are printed.
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
for tool in "$build/vekconv" "$build/make_sample" /usr/bin/time; do
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

printf '%10s %10s %6s %5s %10s %10s %8s %12s\n' members bytes files runs convert_s cp_a_s ratio peak_rss_mb
prev=""
for n in "${sizes[@]}"; do
  src="$work/inst-$n"
  "$build/make_sample" "$src" --members "$n" --seed 7 --last-year 2010 >/dev/null
  bytes=$(du -sb "$src" | cut -f1)
  files=$(find "$src" -type f | wc -l)
  : >"$work/conv" ; : >"$work/cp" ; : >"$work/rss"
  for ((r = 1; r <= runs; r++)); do
    run="$work/run-$n"
    rm -rf "$run" "$work/tmp-$n"
    settle
    start=$(now)
    cp -a "$src" "$run"
    end=$(now)
    awk "BEGIN { print $end - $start }" >>"$work/cp"
    settle

    mkdir -p "$work/tmp-$n"
    start=$(now)
    TMPDIR="$work/tmp-$n" VEKCONV_TODAY=2011-03-01 /usr/bin/time -f '%M' -o "$work/rss-one" \
      "$build/vekconv" convert --timings --drive-c "$run" -C "$run" >/dev/null 2>"$work/err" || {
        cat "$work/err" >&2; exit 1; }
    end=$(now)
    awk "BEGIN { print $end - $start }" >>"$work/conv"
    cat "$work/rss-one" >>"$work/rss"
    # Where the time went, step by step (the last run's).
    grep '^  step ' "$work/err" | sed "s/^  step /    $n members, step /" >"$work/steps-$n"
  done
  rm -rf "$work/run-$n" "$work/tmp-$n" "$src"
  conv_s=$(median <"$work/conv")
  cp_s=$(median <"$work/cp")
  rss_mb=$(sort -g "$work/rss" | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
  ratio=$(awk "BEGIN { printf \"%.2f\", $conv_s / ($cp_s > 0 ? $cp_s : 0.001) }")
  printf '%10s %10s %6s %5s %10.2f %10.2f %8s %12s\n' "$n" "$bytes" "$files" "$runs" "$conv_s" "$cp_s" "$ratio" "$rss_mb"
  echo "    conversion runs: $(tr '\n' ' ' <"$work/conv" | xargs printf '%.2f ')s; cp -a runs: $(tr '\n' ' ' <"$work/cp" | xargs printf '%.2f ')s"
  if [ -n "$prev" ]; then
    echo "growth of the median conversion time from $prev_n to $n members: $(awk "BEGIN { printf \"%.2f\", $conv_s / $prev }")x"
  fi
  prev=$conv_s
  prev_n=$n
done
cat "$work"/steps-* 2>/dev/null || true
