#!/usr/bin/env bash
# Interrupts conversions of a generated installation at many points and checks
# that a plain second run always ends with the files of an uninterrupted
# conversion.
#
#   tools/crash-sweep.sh [options] [BUILD_DIR]        (default build)
#
#   --mode kill|error   kill: SIGKILL at the Nth call of a system call, then a
#                       plain rerun must exit 0 and end identical.
#                       error: the Nth call fails (EIO, or ENOSPC for writes);
#                       the run must either stop (non-zero exit, a message,
#                       no closing message) or, when the failed call was one
#                       the program does without, end identical; then a plain
#                       rerun must exit 0 and end identical.
#   --calls LIST        system calls, comma-separated (default: every call that
#                       changes a file: openat,write,pwrite64,rename,renameat2,
#                       unlink,mkdir,rmdir,copy_file_range,ftruncate,fdatasync,
#                       fsync; in error mode also pread64)
#   --points N          points tried per system call, spread over its calls in
#                       one conversion (default 20; 0 tries every call)
#   --members N         size of the generated installation (default 300)
#   --temp-elsewhere    the temporary folder on another file system (/dev/shm),
#                       so that moves into it are copies
#
# Prints, per system call, how many of the points tried ended identical; exits
# 1 when any did not. strace's fault injection does the interrupting: the
# program itself is not changed for it.
set -euo pipefail

mode=kill
calls=""
points=20
members=300
temp_elsewhere=no
build=build
while [ $# -gt 0 ]; do
  case "$1" in
    --mode) mode=$2; shift 2 ;;
    --calls) calls=$2; shift 2 ;;
    --points) points=$2; shift 2 ;;
    --members) members=$2; shift 2 ;;
    --temp-elsewhere) temp_elsewhere=yes; shift ;;
    -*) echo "crash-sweep: unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
case "$mode" in kill|error) ;; *) echo "crash-sweep: --mode kill or error" >&2; exit 2 ;; esac
if [ -z "$calls" ]; then
  calls=openat,write,pwrite64,rename,renameat2,unlink,mkdir,rmdir,copy_file_range,ftruncate,fdatasync,fsync
  [ "$mode" = error ] && calls=$calls,pread64
fi
command -v strace >/dev/null || { echo "crash-sweep: strace is needed (apt-get install strace)" >&2; exit 2; }
for tool in "$build/vekconv" "$build/make_sample"; do
  [ -x "$tool" ] || { echo "crash-sweep: missing $tool" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/vekconv-sweep.XXXXXX")
shm=""
if [ "$temp_elsewhere" = yes ]; then shm=$(mktemp -d /dev/shm/vekconv-sweep.XXXXXX); fi
trap 'rm -rf "$work" ${shm:+"$shm"}' EXIT
# A copy of the program, so that a build made meanwhile does not change it.
cp "$build/vekconv" "$work/vekconv"
vekconv="$work/vekconv"

"$build/make_sample" "$work/sample" --members "$members" --seed 11 --last-year 2010 >/dev/null
export VEKCONV_TODAY=2011-03-01
# The installation ROOT, its temporary folder TMP.
tmp_of() { if [ -n "$shm" ]; then echo "$shm/tmp-$(basename "$1")"; else echo "$1/tmp"; fi; }
fresh() {
  rm -rf "$1" "$(tmp_of "$1")"
  cp -a "$work/sample" "$1"
  mkdir -p "$(tmp_of "$1")"
}
convert() {  # ROOT [strace arguments...]
  local root=$1
  shift
  if [ $# -gt 0 ]; then
    # (The shell's own word on the killed program stays out.)
    { (TMPDIR=$(tmp_of "$root") exec strace -f -qq -o "$root.trace" "$@" \
      "$vekconv" convert --drive-c "$root" -C "$root" >"$root.out" 2>"$root.err"); } 2>/dev/null
  else
    TMPDIR=$(tmp_of "$root") "$vekconv" convert --drive-c "$root" -C "$root" >"$root.out" 2>"$root.err"
  fi
}
# The converted files: the data folder and the temporary folder, as a listing
# of names with their bytes' digests.
state() {
  (cd "$1/Zelk" && find . -type f -print0 | sort -z | xargs -0 -r sha1sum)
  (cd "$(tmp_of "$1")" && find . -type f -print0 | sort -z | xargs -0 -r sha1sum)
}

fresh "$work/ref"
convert "$work/ref"
state "$work/ref" >"$work/ref.state"
closing="A conversão foi realizada."

failed=0
total_tried=0
total_ok=0
IFS=, read -r -a call_list <<<"$calls"
for call in "${call_list[@]}"; do
  # How often the call comes in one conversion.
  fresh "$work/count"
  TMPDIR=$(tmp_of "$work/count") strace -f -qq -o "$work/count.trace" -e trace="$call" \
    "$vekconv" convert --drive-c "$work/count" -C "$work/count" >/dev/null 2>&1 || true
  # strace counts the calls of each thread apart: the Nth call is the Nth of
  # any one thread, so the points go up to the count of the busiest thread.
  n=$( (grep "^[0-9]* *$call(" "$work/count.trace" | awk '{ c[$1]++ } END { m = 0; for (t in c) if (c[t] > m) m = c[t]; print m }') || true)
  n=${n:-0}
  if [ "$n" -eq 0 ]; then
    printf '%-16s not called\n' "$call"
    continue
  fi
  if [ "$points" -eq 0 ] || [ "$points" -ge "$n" ]; then
    mapfile -t which < <(seq 1 "$n")
  else
    mapfile -t which < <(awk -v n="$n" -v p="$points" 'BEGIN { for (i = 0; i < p; i++) print int(1 + i * (n - 1) / (p - 1)) }' | uniq)
  fi
  error=EIO
  case "$call" in write|pwrite64|copy_file_range|ftruncate|fdatasync|fsync) error=ENOSPC ;; openat) error=EACCES ;; esac
  tried=0
  ok=0
  stops=0
  for at in "${which[@]}"; do
    root="$work/run"
    fresh "$root"
    verdict=""
    if [ "$mode" = kill ]; then
      convert "$root" -e trace="$call" -e inject="$call:signal=KILL:when=$at" || true
      reached='killed by SIGKILL'
    else
      rc=0
      convert "$root" -e trace="$call" -e inject="$call:error=$error:when=$at" || rc=$?
      reached='INJECTED'
    fi
    # A point that the run did not reach tells nothing.
    if ! grep -q "$reached" "$root.trace"; then
      echo "  $call #$at of $n: not reached"
      continue
    fi
    tried=$((tried + 1))
    if [ "$mode" = error ]; then
      if [ "$rc" -ne 0 ]; then
        stops=$((stops + 1))
        if grep -q "$closing" "$root.out"; then verdict="exit $rc with the closing message"; fi
        # Our message, or the loader's when it could not even start the program.
        if ! grep -q "(erro)\|error while loading" "$root.err"; then verdict="exit $rc without a message"; fi
      elif ! diff -q <(state "$root" 2>/dev/null) "$work/ref.state" >/dev/null; then
        verdict="exit 0 but the files differ"
      fi
    fi
    if [ -z "$verdict" ]; then
      rc=0
      convert "$root" || rc=$?
      if [ "$rc" -ne 0 ]; then
        verdict="rerun exit $rc: $( (grep -v '^Convertendo\|^Glebrium 5.61' "$root.err" | head -3 | tr '\n' ' ') || true)"
      elif ! diff -q <(state "$root" 2>/dev/null) "$work/ref.state" >/dev/null; then
        verdict="rerun differs: $( (diff <(state "$root" 2>/dev/null) "$work/ref.state" | grep '^[<>]' | head -4 | tr '\n' ' ') || true)"
      fi
    fi
    if [ -z "$verdict" ]; then
      ok=$((ok + 1))
    else
      echo "  $call #$at of $n: $verdict"
    fi
  done
  if [ "$mode" = error ]; then
    printf '%-16s %3d/%-3d identical (up to %d calls a thread; %d stopped with a message, %d ran through)\n' \
      "$call" "$ok" "$tried" "$n" "$stops" "$((tried - stops))"
  else
    printf '%-16s %3d/%-3d identical (up to %d calls a thread)\n' "$call" "$ok" "$tried" "$n"
  fi
  total_tried=$((total_tried + tried))
  total_ok=$((total_ok + ok))
  [ "$ok" -eq "$tried" ] || failed=1
done
echo "$mode: $total_ok/$total_tried points ended identical"
exit $failed
