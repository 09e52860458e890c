#!/usr/bin/env bash
# The main job against the simulated adapters: set-up, the shipped 32-bit build, then vxcli shows
# the tree that the library builds for the adapters of examples/two-adapters.json under a scratch
# root. Extra arguments go to vxcli instead of "tree" (e.g. ./scripts/demo.sh get ROOT/VARUDebugLevel).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake --preset m32 >/dev/null
cmake --build --preset m32 -j "$(nproc)" --target vxima vxsim vxcli >/dev/null

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export VXIMA_ROOT=$root
export VXIMA_SIMULATOR=$PWD/examples/two-adapters.json

if [ $# -eq 0 ]; then set -- tree; fi
build/m32/bin/vxcli "$@"
