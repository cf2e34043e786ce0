#!/usr/bin/env bash
# The Ferrox window as a screen reader sees it while it works: the
# accessibility probe (accessibility_probe.py) asks for the window's
# children's names over AT-SPI from another process, again and again, while
# window_responsiveness_bench runs its scenes (idle, a 1 GiB download,
# a silent server). Prints, per scene, the median and worst query time and
# the median against idle's.
#   bench/transfer/accessibility_bench.sh [BUILD_DIR] [SIZE_MIB]
# Needs at-spi2-core, dbus, xvfb, python3-gi, vsftpd (root).
set -euo pipefail
if [ -z "${HEMLO_A11Y_INNER:-}" ]; then
  export HEMLO_A11Y_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
mib=${2:-1024}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
/usr/libexec/at-spi-bus-launcher --launch-immediately &
sleep 1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$build/bin/window_responsiveness_bench" "$mib" 3000 > "$work/out" 2> "$work/scenes" &
app=$!
/usr/bin/python3 "$here/accessibility_probe.py" window_responsiveness_bench "$app" > "$work/queries" &
probe=$!
wait "$app"
wait "$probe" || true
cat "$work/out"
/usr/bin/python3 - "$work/scenes" "$work/queries" <<'PY'
import statistics, sys
scenes, queries = {}, []
for line in open(sys.argv[1]):
    f = line.split()
    if len(f) == 4 and f[0] == "scene":
        scenes.setdefault(f[2], {})[f[1]] = float(f[3])
for line in open(sys.argv[2]):
    t, ms, n = line.split()
    queries.append((float(t), float(ms), int(n)))
idle = None
for scene in ("idle", "download", "silent"):
    s = scenes.get(scene, {})
    took = [ms for t, ms, n in queries if s and s["begin"] <= t < s["end"]]
    if not took:
        print(f"accessibility query during {scene}: no queries")
        continue
    med = statistics.median(took)
    idle = idle or med
    print(f"accessibility query during {scene:8s}: {len(took):3d} queries, median {med:6.1f} ms, "
          f"worst {max(took):6.1f} ms, median / idle {med / idle:.2f}x "
          f"({max(n for t, ms, n in queries)} captions)")
PY
