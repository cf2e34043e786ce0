#!/usr/bin/env bash
# Installs what is missing, builds Hemlo2 with its tests and runs the whole
# suite: unit tests, tests against real FTP servers, GUI tests under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" --test
"$root/scripts/build.sh" -DHEMLO_BUILD_TESTS=ON
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
cd "$root/build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 900

# The Qt-free core once more under AddressSanitizer and UBSan.
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHEMLO_SANITIZE=ON -DHEMLO_BUILD_TESTS=ON >/dev/null
ninja -C "$root/build-asan" -j2 core_tests
cd "$root/build-asan"
ctest -L core --output-on-failure -j2 --timeout 900
