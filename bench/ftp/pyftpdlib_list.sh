#!/usr/bin/env bash
# The Ferrox remote list filled from pyftpdlib's MLSD of a folder of
# ENTRIES (default 1,000,000) empty files (made once in /dev/shm), RUNS
# (default 5) runs of remote_list_bench, each a fresh process and window.
#   bench/ftp/pyftpdlib_list.sh [BUILD_DIR] [ENTRIES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
entries=${2:-1000000}
dir=/dev/shm/hemlo-list-$entries
if [ ! -f "$dir/.complete" ]; then
  rm -rf "$dir"
  /usr/bin/python3 - "$dir" "$entries" <<'PY'
import os, sys
d, n = sys.argv[1], int(sys.argv[2])
os.makedirs(d + "/files")
for i in range(n):
    if i % 50 == 0:
        os.mkdir(f"{d}/files/folder {i:07d}")
    else:
        open(f"{d}/files/entry {i:07d}.dat", "wb").close()
open(d + "/.complete", "w").close()
PY
fi
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
(cd "$dir/files" && exec /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$dir/files" >/dev/null 2>&1) &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do (echo > /dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
echo "pyftpdlib $(/usr/bin/python3 -c 'import pyftpdlib; print(pyftpdlib.__ver__)'), $entries entries"
for run in $(seq "${RUNS:-5}"); do
  echo "run $run, load $(cut -d' ' -f1-3 /proc/loadavg)"
  QT_QPA_PLATFORM=offscreen "$build/bin/remote_list_bench" "$entries" 1 "$port" 2>/dev/null | grep -v '^steps'
done
