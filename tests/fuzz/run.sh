#!/usr/bin/env bash
# Runs fuzz targets built with -DVEKCONV_FUZZ=ON, each for a time, from its
# seeds in tests/fuzz/corpus/<target>. New inputs go to BUILD/fuzz-corpus,
# crashing ones to BUILD/fuzz-artifacts; the seeds are never changed.
#
#   tests/fuzz/run.sh BUILD SECONDS [TARGET...]    (all targets by default)
#
# Extra libFuzzer flags can be given in FUZZ_FLAGS. The inputs' scratch
# folders go to /dev/shm when it is there (a commit flushes files to the
# disk, which costs nothing in memory), otherwise to TMPDIR.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD SECONDS [TARGET...]" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
seconds=$2
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$here"/fuzz_*.cpp; do
    name=$(basename "$src" .cpp)
    [ "$name" = fuzz_support ] || targets+=("$name")
  done
fi
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

failed=()
for t in "${targets[@]}"; do
  exe="$build/$t"
  if [ ! -x "$exe" ]; then
    echo "fuzz: $exe is missing (build with -DVEKCONV_FUZZ=ON, target vek_fuzz)" >&2
    failed+=("$t")
    continue
  fi
  corpus="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  log="$build/fuzz-artifacts/$t.log"
  # shellcheck disable=SC2086
  "$exe" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    ${FUZZ_FLAGS:-} "$corpus" "$here/corpus/$t" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -E '^#[0-9]+ +DONE' "$log" | sed -E 's/.*(cov: [0-9]+ ft: [0-9]+).*/\1/')
  if [ $rc -eq 0 ]; then
    echo "fuzz: $t ${seconds}s, ${runs:-?} inputs, ${cov:-?}: no finding"
  else
    echo "fuzz: $t FOUND A FAULT (exit $rc); input in $artifacts, log $log:" >&2
    grep -E 'vekfuzz:|ERROR|SUMMARY|^ +#[0-9]+ ' "$log" | head -40 >&2
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: faults or failures in: ${failed[*]}" >&2
  exit 1
fi
