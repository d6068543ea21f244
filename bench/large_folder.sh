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
# Each size is run in every installation shape of SHAPES (default "normal
# dense"): "normal" is make_sample's default, "dense" its --dense-history
# (more years per member and several units per member and year in the yearly
# files). The generator is always this build's, so a baseline converts the
# same input.
#
# write_amp is the bytes the conversion wrote (the "written N MB" of every
# step of --timings, summed) over the bytes of its output (data folder and
# temporary folder): how often, on average, each output byte was written.
# The steps count whole MB, rounded down, so small sizes read a little low.
#
# BASELINE=OTHER_BUILD_DIR also converts each copy with that build's program
# (the same way, in the same run; every second run the baseline goes first)
# and prints its time beside this one's, and the ratio of the two run by run
# with its median: on a shared machine the figure to judge them by.
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
read -r -a shapes <<<"${SHAPES:-normal dense}"
[ ${#shapes[@]} -gt 0 ] || { echo "SHAPES names no shape" >&2; exit 2; }
for shape in "${shapes[@]}"; do
  case $shape in
    normal | dense) ;;
    *) echo "unknown shape $shape (normal or dense)" >&2; exit 2 ;;
  esac
done
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
# The MB written by all steps of the --timings lines in file $1 over the
# bytes $2, or "-" when the program printed no such figures.
write_amp() {
  awk -v out="$2" '/^  step .*written [0-9]+ MB/ {
      for (k = 1; k < NF; ++k) if ($k == "written") { mb += $(k + 1); found = 1 } }
    END { if (found && out > 0) printf "%.2f\n", mb * 1e6 / out; else print "-" }' "$1"
}

# Converts installation $2 with program $1 and syncs; appends the seconds to
# file $3 and the peak memory (KB) to file $4. The --timings lines stay in
# $work/err.
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

# The same copy converted by the baseline's program.
convert_baseline() {
  rm -rf "$run" "$run.tmp"
  cp -a "$src" "$run"
  convert_timed "$baseline/vekconv" "$run" "$work/base" "$work/base-rss"
  base_out=$(du -sb "$run/Zelk" "$run.tmp" | awk '{ s += $1 } END { print s }')
  write_amp "$work/err" "$base_out" >>"$work/base-amp"
}

printf '%10s %6s %10s %6s %5s %10s %10s %10s %8s %8s %12s %9s\n' members shape bytes files runs convert_s floor_s \
  cp_in_s ratio base_s peak_rss_mb write_amp
declare -A prev prev_n
: >"$work/steps"
for n in "${sizes[@]}"; do
  for shape in "${shapes[@]}"; do
    src="$work/inst-$n-$shape"
    dense=()
    [ "$shape" = dense ] && dense=(--dense-history)
    "$build/make_sample" "$src" --members "$n" --seed 7 --last-year 2010 "${dense[@]}" >/dev/null
    bytes=$(du -sb "$src" | cut -f1)
    files=$(find "$src" -type f | wc -l)
    : >"$work/conv" ; : >"$work/cp" ; : >"$work/floor" ; : >"$work/rss" ; : >"$work/base" ; : >"$work/base-rss"
    : >"$work/amp" ; : >"$work/base-amp"
    for ((r = 1; r <= runs; r++)); do
      run="$work/run-$n"
      # With a baseline, every second run converts with the baseline first,
      # so that neither program always follows the same work on the disk.
      if [ -n "$baseline" ] && ((r % 2 == 0)); then convert_baseline; fi
      rm -rf "$run" "$run.tmp" "$work/out"
      settle
      start=$(now)
      cp -a "$src" "$run"
      end=$(now)
      awk "BEGIN { print $end - $start }" >>"$work/cp"

      convert_timed "$build/vekconv" "$run" "$work/conv" "$work/rss"
      out_bytes=$(du -sb "$run/Zelk" "$run.tmp" | awk '{ s += $1 } END { print s }')
      write_amp "$work/err" "$out_bytes" >>"$work/amp"
      # Where the time went, step by step (the last run's).
      if ((r == runs)); then
        grep '^  step \|^  space' "$work/err" | sed "s/^  /    $n members, $shape, /" >>"$work/steps"
      fi

      # The floor: the converted output written anew and made durable.
      settle
      start=$(now)
      mkdir -p "$work/out"
      cp -a "$run/Zelk" "$run.tmp" "$work/out/"
      sync
      end=$(now)
      awk "BEGIN { print $end - $start }" >>"$work/floor"
      rm -rf "$work/out"

      if [ -n "$baseline" ] && ((r % 2 == 1)); then convert_baseline; fi
    done
    rm -rf "$work/run-$n" "$work/run-$n.tmp" "$src"
    conv_s=$(median <"$work/conv")
    cp_s=$(median <"$work/cp")
    floor_s=$(median <"$work/floor")
    if [ -s "$work/base" ]; then base_s=$(median <"$work/base" | xargs printf '%.2f'); else base_s=-; fi
    rss_mb=$(sort -g "$work/rss" | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
    if grep -qx -- - "$work/amp"; then amp=-; else amp=$(median <"$work/amp"); fi
    printf '%10s %6s %10s %6s %5s %10.2f %10.2f %10.2f %8s %8s %12s %9s\n' "$n" "$shape" "$bytes" "$files" "$runs" \
      "$conv_s" "$floor_s" "$cp_s" "$(ratio "$conv_s" "$floor_s")" "$base_s" "$rss_mb" "$amp"
    echo "    output: $out_bytes bytes (data folder and temporary folder)"
    echo "    conversion + sync runs: $(tr '\n' ' ' <"$work/conv" | xargs printf '%.2f ')s;" \
         "cp -a of the output + sync: $(tr '\n' ' ' <"$work/floor" | xargs printf '%.2f ')s;" \
         "cp -a of the input: $(tr '\n' ' ' <"$work/cp" | xargs printf '%.2f ')s;" \
         "write amplification: $(tr '\n' ' ' <"$work/amp")"
    if [ -s "$work/base" ]; then
      base_rss=$(sort -g "$work/base-rss" | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
      echo "    baseline ($baseline) conversion + sync runs: $(tr '\n' ' ' <"$work/base" | xargs printf '%.2f ')s," \
           "ratio to the floor $(ratio "$base_s" "$floor_s"), peak $base_rss MB," \
           "write amplification $(tr '\n' ' ' <"$work/base-amp")"
      # Run by run, each conversion over the baseline's of the same run: the
      # disk's speed drifts from run to run more than the two programs differ.
      paste "$work/conv" "$work/base" | awk '{ printf "%.3f\n", $1 / ($2 > 0 ? $2 : 0.001) }' >"$work/pairs"
      echo "    this build over the baseline, run by run: $(tr '\n' ' ' <"$work/pairs")(median" \
           "$(median <"$work/pairs" | xargs printf '%.3f'))"
    fi
    if [ -n "${prev[$shape]:-}" ]; then
      echo "growth of the median conversion time from ${prev_n[$shape]} to $n members ($shape):" \
           "$(ratio "$conv_s" "${prev[$shape]}")x"
    fi
    prev[$shape]=$conv_s
    prev_n[$shape]=$n
  done
done
cat "$work/steps"
