#!/usr/bin/env bash
# Installs what is missing, builds Hemlo2 and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DHEMLO_BUILD_TESTS=OFF
if [ "$(id -u)" -eq 0 ]; then
  # Chromium refuses its sandbox as root.
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$root/build/bin/hemlo2"
