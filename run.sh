#!/usr/bin/env bash
# Installs what is missing, builds into build/, and runs the main job on a shipped example.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/setup.sh
quill_install_packages
quill_build
./build/tools/quill fmt examples/sort.qul
