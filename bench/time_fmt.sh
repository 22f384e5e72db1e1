#!/usr/bin/env bash
# Times the whole "quill fmt" process on generated modules of about 1, 10 and 50 MB with /usr/bin/time -v, and
# prints MB/s and peak memory per input byte, from the fastest of RUNS runs per size (default 3: a shared
# machine's noise only ever adds time). The text goes to a file, as `quill fmt a.qul > b.qul` writes it.
# IDLE=s waits s seconds before each run. Back to back, a run gets memory that the run before it gave up; on a
# virtual machine whose host takes back the memory a guest leaves idle, a run after a pause pays for the host
# faulting its memory in again, as a single run of the tool usually does.
# Usage: [RUNS=n] [IDLE=s] bench/time_fmt.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x /usr/bin/time ] || { apt-get update -qq >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time >/dev/null; }
cmake --build "$build" --target quill_tool gen_module >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-8s %10s %10s %12s %14s\n' size bytes seconds MB/s peak_bytes/B
for mb in 1 10 50; do
  file="$work/module_$mb.qul"
  "$build/bench/gen_module" "$mb" "$file"
  bytes=$(stat -c %s "$file")
  seconds=""
  peak_kb=0
  for _ in $(seq "${RUNS:-3}"); do
    # time(1) gives the peak memory but wall time only to a hundredth of a second, too coarse for the 1 MB run:
    # the shell's clock (microseconds) times the same run.
    sleep "${IDLE:-0}"
    start=$EPOCHREALTIME
    /usr/bin/time -v "$build/tools/quill" fmt "$file" >"$work/printed.qul" 2>"$work/time.txt"
    end=$EPOCHREALTIME
    run=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    seconds=$(awk -v a="$seconds" -v b="$run" 'BEGIN { print (a == "" || b < a) ? b : a }')
    peak_kb=$((kb > peak_kb ? kb : peak_kb))
  done
  awk -v mb="$mb" -v b="$bytes" -v s="$seconds" -v k="$peak_kb" \
    'BEGIN { printf "%-8s %10d %10.3f %12.1f %14.1f\n", mb "MB", b, s, b/1e6/s, k*1024/b }'
done
