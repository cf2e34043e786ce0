#!/usr/bin/env bash
# Configures and builds Hemlo2 into ./build (Ninja, two jobs). Arguments are
# passed to cmake after these defaults, so they override them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF -DCMAKE_CXX_FLAGS= -DCMAKE_EXE_LINKER_FLAGS= "$@" >/dev/null
ninja -C "$root/build" -j2
