#!/usr/bin/env bash
# Builds the project optimised from a profile of its own runs (Release, GCC profile feedback) into BUILD_DIR:
# an instrumented build of the tool, a training run, then the whole project again from the counts it wrote.
# The training prints and round-trips a generated module of the benchmarks' kind, made from another seed than
# theirs, and prints the test cases and the example. Both stages share the build directory: the profile names
# each object by its path there.
# Usage: scripts/build_profiled.sh [BUILD_DIR]   (default build-profiled)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
quill_install_packages
dir=${1:-build-profiled}

configure() {
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_PROFILE="$1" >/dev/null
}

rm -rf "$dir/profile"
configure generate
cmake --build "$dir" -j "$(nproc)" --target quill_tool gen_module

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
quill="$dir/tools/quill"
"$dir/bench/gen_module" 10 "$work/train.qul" 1
"$quill" fmt "$work/train.qul" >"$work/printed.qul"
"$dir/bench/gen_module" 1 "$work/small.qul" 2
"$quill" roundtrip "$work/small.qul"
for case in tests/cases/*.qul examples/*.qul; do
  "$quill" fmt "$case" >/dev/null
done

configure use
cmake --build "$dir" -j "$(nproc)"
