#!/usr/bin/env bash
# Installs the missing build dependencies, then configures and builds the project into build/.
# Sourced by run.sh and test.sh; quiet when everything is already present.
set -euo pipefail

QUILL_PACKAGES=(cmake ninja-build g++ flex bison libboost-dev libboost-regex-dev libgtest-dev libbenchmark-dev)

quill_missing_packages() {
  local pkg
  for pkg in "${QUILL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || echo "$pkg"
  done
}

quill_install_packages() {
  local missing
  missing=$(quill_missing_packages)
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: $(echo $missing | tr '\n' ' ')"
  $sudo apt-get update -qq >/dev/null
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

quill_build() {
  local dir=${QUILL_BUILD_DIR:-build}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${QUILL_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
