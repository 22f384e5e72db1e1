#!/usr/bin/env bash
# Builds the parser fuzz target with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and runs it from the
# canonical test programs. Usage: fuzz/run.sh [seconds]   (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
missing=""
for pkg in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="$missing $pkg"
done
if [ -n "$missing" ]; then
  apt-get update -qq >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUILL_FUZZ=ON -DQUILL_SANITIZE=ON -DQUILL_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target parse_fuzz -j "$(nproc)"
corpus=build-fuzz/corpus
mkdir -p "$corpus"
cp tests/cases/*.qul examples/*.qul "$corpus"/ 2>/dev/null || true
./build-fuzz/fuzz/parse_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$corpus"
