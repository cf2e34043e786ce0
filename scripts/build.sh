#!/usr/bin/env bash
# Configures and builds Hemlo2 into ./build (Ninja, two jobs).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
ninja -C "$root/build" -j2
