#!/usr/bin/env bash
# Folder upload and folder download of Hemlo2's transfer operations against
# lftp (mirror, one connection) into vsftpd on loopback, in active and in
# passive mode: 2,000 files of 1-8 KiB in 40 folders, three levels deep,
# RUNS (default 5) runs alternating Hemlo2 and lftp.
#   bench/transfer/run_bench.sh [BUILD_DIR]      (MODES="active passive")
# Prints the median files per second for each and the ratio lftp's time /
# ours (above 1 means Hemlo2 is faster). Needs root (vsftpd), vsftpd, lftp.
set -euo pipefail

BUILD=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build-ops}
BENCH_BIN=$BUILD/bin/transfer_ops_bench
[ -x "$BENCH_BIN" ] || { echo "build transfer_ops_bench first (cmake -DHEMLO_BUILD_BENCH=ON)"; exit 2; }

WORK=$(mktemp -d /tmp/hemlo-bench-XXXXXX)
VSFTPD_PID=
cleanup() {
  [ -n "$VSFTPD_PID" ] && kill "$VSFTPD_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# The tree: site/d0..d3, each with s0..s2, each with t0..t1: 4 + 12 + 24 = 40
# folders, 50 files in each.
LOCAL=$WORK/local
/usr/bin/python3 - "$LOCAL" <<'PY'
import os, random, sys
random.seed(10)
root = os.path.join(sys.argv[1], "site")
folders = []
for a in range(4):
    folders.append(f"d{a}")
    for b in range(3):
        folders.append(f"d{a}/s{b}")
        for c in range(2):
            folders.append(f"d{a}/s{b}/t{c}")
assert len(folders) == 40
n = 0
for f in folders:
    os.makedirs(os.path.join(root, f), exist_ok=True)
    for i in range(50):
        with open(os.path.join(root, f, f"page{i:02d}.htm"), "wb") as out:
            out.write(os.urandom(random.randint(1024, 8192)))
        n += 1
print(f"tree: {n} files in {len(folders)} folders", file=sys.stderr)
PY

ROOT=$WORK/root
mkdir -p "$ROOT/pub/ours" "$ROOT/pub/lftp"
chmod 755 "$WORK" "$ROOT"
chown -R ftp:ftp "$ROOT/pub"
mkdir -p /var/run/vsftpd/empty
PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$WORK/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$PORT
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_world_readable_only=NO
anon_umask=022
no_anon_password=YES
anon_root=$ROOT
ftp_username=ftp
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
connect_from_port_20=NO
port_enable=YES
pasv_enable=YES
xferlog_enable=NO
force_dot_files=YES
secure_chroot_dir=/var/run/vsftpd/empty
pam_service_name=vsftpd
max_per_ip=0
max_clients=0
CONF
/usr/sbin/vsftpd "$WORK/vsftpd.conf" &
VSFTPD_PID=$!
for _ in $(seq 50); do (echo > /dev/tcp/127.0.0.1/$PORT) 2>/dev/null && break; sleep 0.1; done

# Active mode leaves one TIME_WAIT socket per data connection; a run that
# starts among thousands of them is slowed down, so each run waits (at most
# three minutes) for them to drain.
drain() {
  for _ in $(seq 180); do
    local n
    n=$(ss -tan state time-wait | tail -n +2 | wc -l)
    [ "$n" -lt 50 ] && return
    sleep 1
  done
}

now() { date +%s.%N; }
LFTP_LOGIN=(-u anonymous,bench@example.com "127.0.0.1:$PORT")

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END{print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
report() {  # what files ours_times lftp_times
  local what=$1 files=$2 ours lftp
  ours=$(median $3); lftp=$(median $4)
  printf "%-24s median of %s: hemlo %6.0f files/s (%.2f s)   lftp %6.0f files/s (%.2f s)   ratio %.2f   (hemlo %s; lftp %s)\n" \
    "$what" "$RUNS" "$(echo "$files / $ours" | bc -l)" "$ours" "$(echo "$files / $lftp" | bc -l)" "$lftp" \
    "$(echo "$lftp / $ours" | bc -l)" "$3" "$4"
}

RUNS=${RUNS:-5}
# Runs alternate hemlo and lftp, in both data-connection modes.
for MODE in ${MODES:-active passive}; do
  if [ "$MODE" = active ]; then PASSIVE=off; else PASSIVE=on; fi
  export FTP_MODE=$MODE
  OU=(); LU=(); OD=(); LD=()
  echo "$MODE mode, load at start $(cut -d' ' -f1-3 /proc/loadavg)"
  for _ in $(seq "$RUNS"); do
    rm -rf "$ROOT/pub/ours/site" "$ROOT/pub/lftp/site" "$WORK/dl_ours" "$WORK/dl_lftp"
    mkdir -p "$WORK/dl_ours" "$WORK/dl_lftp"
    drain
    read -r OURS_UP_FILES OURS_UP_S < <("$BENCH_BIN" upload "$PORT" pub/ours "$LOCAL/site")
    drain
    T0=$(now)
    (cd "$LOCAL" && lftp -e "set ftp:passive-mode $PASSIVE; set cmd:fail-exit yes; mirror -R --parallel=1 site pub/lftp/site; bye" "${LFTP_LOGIN[@]}" >/dev/null)
    LU+=("$(echo "$(now) - $T0" | bc -l)"); OU+=("$OURS_UP_S")
    diff -r "$LOCAL/site" "$ROOT/pub/ours/site" >/dev/null || { echo "uploaded tree differs"; exit 1; }
    diff -r "$LOCAL/site" "$ROOT/pub/lftp/site" >/dev/null || { echo "lftp's uploaded tree differs"; exit 1; }
    drain
    read -r OURS_DN_FILES OURS_DN_S < <("$BENCH_BIN" download "$PORT" pub/ours site "$WORK/dl_ours")
    drain
    T0=$(now)
    (cd "$WORK/dl_lftp" && lftp -e "set ftp:passive-mode $PASSIVE; set cmd:fail-exit yes; mirror --parallel=1 pub/lftp/site site; bye" "${LFTP_LOGIN[@]}" >/dev/null)
    LD+=("$(echo "$(now) - $T0" | bc -l)"); OD+=("$OURS_DN_S")
    diff -r "$LOCAL/site" "$WORK/dl_ours/site" >/dev/null || { echo "downloaded tree differs"; exit 1; }
    diff -r "$LOCAL/site" "$WORK/dl_lftp/site" >/dev/null || { echo "lftp's downloaded tree differs"; exit 1; }
  done
  echo "vsftpd on loopback, $MODE mode, $OURS_UP_FILES files, load at end $(cut -d' ' -f1-3 /proc/loadavg)"
  report "$MODE folder upload" "$OURS_UP_FILES" "${OU[*]}" "${LU[*]}"
  report "$MODE folder download" "$OURS_DN_FILES" "${OD[*]}" "${LD[*]}"
done
