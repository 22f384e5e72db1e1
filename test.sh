#!/usr/bin/env bash
# Installs what is missing, builds into build/, and runs every test; non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/setup.sh
quill_install_packages
quill_build
ctest --test-dir build --output-on-failure -j "$(nproc)"
