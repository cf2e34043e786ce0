#!/usr/bin/env bash
# Installs what is missing, builds Hemlo2 and starts it. Arguments are pages
# to open.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DHEMLO_BUILD_TESTS=OFF
# State lives in the user's folder (~/.config/Hemlo2), never in build/bin, so
# deleting the build keeps history, favourites and profiles. Files an older
# build left in build/bin move there once (an existing file there wins).
state="${XDG_CONFIG_HOME:-$HOME/.config}/Hemlo2"
for f in Rireki.ini favorite.ini Ferrox.ini LastDir.ini FerroxCerts.ini; do
  if [ -f "$root/build/bin/$f" ]; then
    mkdir -p -m 700 "$state"
    if [ -e "$state/$f" ]; then
      echo "build/bin/$f left in place: $state/$f already exists" >&2
    else
      mv "$root/build/bin/$f" "$state/$f" && echo "moved build/bin/$f to $state/"
    fi
  fi
done
if [ "$(id -u)" -eq 0 ]; then
  # Chromium refuses its sandbox as root.
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$root/build/bin/hemlo2" "$@"
