#!/usr/bin/env bash
# Installs what is missing, builds Hemlo2 with its tests and runs the whole
# suite: unit tests, tests against real FTP servers, GUI tests under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" --test
# Built the way a Debian packager builds (dpkg-buildflags: hardening,
# _FORTIFY_SOURCE, format checks), with every warning an error: ours to fix,
# never a user's build to fail. The file and debug prefix maps are left out: they name the
# checkout's path, which would keep ccache from sharing objects between
# checkouts.
export DEB_BUILD_MAINT_OPTIONS=reproducible=-fixfilepath,-fixdebugpath
"$root/scripts/build.sh" -DHEMLO_BUILD_TESTS=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24")
cd "$root/build"
"${xvfb[@]}" ctest --output-on-failure -j2 --timeout 900

# The Qt-free core and the Ferrox window once more under AddressSanitizer
# and UBSan.
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHEMLO_SANITIZE=ON -DHEMLO_BUILD_TESTS=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
ninja -C "$root/build-asan" -j2 core_tests ferrox_tests
cd "$root/build-asan"
# The tests' time bounds stretch by this factor (support/test_bounds.h).
export HEMLO_TEST_SLOWER=4
ctest -L core --output-on-failure -j2 --timeout 900
# Leaks are checked in the core only: the desktop libraries under the
# window (D-Bus, plugins unloaded at exit) keep allocations to the end.
ASAN_OPTIONS=detect_leaks=0 "${xvfb[@]}" ctest -L ferrox --output-on-failure -j2 --timeout 900

# The Ferrox window once more under ThreadSanitizer: its connections run on
# worker threads. The tests' main() has it count only accesses made by our
# own code (the desktop libraries are not built for it).
cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHEMLO_TSAN=ON -DHEMLO_BUILD_TESTS=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
ninja -C "$root/build-tsan" -j2 ferrox_tests
cd "$root/build-tsan"
export HEMLO_TEST_SLOWER=10
"${xvfb[@]}" ctest -L ferrox --output-on-failure -j2 --timeout 900
