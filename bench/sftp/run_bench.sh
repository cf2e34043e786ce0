#!/bin/bash
# SFTP benchmarks against OpenSSH's server on loopback: 1 GiB download and
# upload and 2,000 small files uploaded, our client against OpenSSH's
# `sftp -b` and `lftp sftp://` in the same run, alternated, median of RUNS.
# Every tool logs in with the same ed25519 key and keeps its default cipher
# (ours, through libssh2, AES-CTR; OpenSSH's sftp chacha20-poly1305; SFTP_CIPHER=...
# makes the OpenSSH-based peers use another). Never run by CI; run as root
# (the server logs in the account "hemlo-sftp", made when missing).
#   bench/sftp/run_bench.sh [build folder]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
client=$build/bin/sftp_bench_client
runs=${RUNS:-5}
[ -x "$client" ] || { echo "missing $client: build sftp_bench_client first" >&2; exit 1; }
for p in /usr/sbin/sshd ssh-keygen sftp lftp; do command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }; done
user=hemlo-sftp
getent passwd $user >/dev/null || useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin $user

work=$(mktemp -d /var/tmp/hemlo-sftp-bench-XXXXXX)
sshd_pid=
cleanup() { [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
chmod 755 "$work"
mkdir -p "$work/remote" "$work/local/many" /run/sshd
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
mkdir -p "$work/keys"; ssh-keygen -q -t ed25519 -N '' -f "$work/keys/id_ed25519"
cp "$work/keys/id_ed25519.pub" "$work/authorized_keys"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $port
HostKey $work/host_key
PidFile none
UsePAM no
PermitRootLogin no
PasswordAuthentication no
AuthorizedKeysFile $work/authorized_keys
StrictModes no
AllowUsers $user
Subsystem sftp internal-sftp
ForceCommand internal-sftp -d $work/remote
CONF
/usr/sbin/sshd -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
sshd_pid=$!
echo "making the files..."
head -c "${BIG_MB:-1024}M" /dev/urandom > "$work/local/big.bin"
cp "$work/local/big.bin" "$work/remote/big.bin"
for i in $(seq 1 "${FILES:-2000}"); do head -c $((1000 + i % 3000)) /dev/urandom > "$work/local/many/f$i.html"; done
chown -R $user "$work/remote"
sleep 0.5

key=$work/keys/id_ed25519
ssh_opts="-i $key -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR ${SFTP_CIPHER:+-o Ciphers=$SFTP_CIPHER}"
run_hemlo() { "$client" 127.0.0.1 "$port" $user "$key" "$work/known_hosts" "$@" >/dev/null; }
run_sftp() { printf '%s\n' "$1" > "$work/batch"; sftp -q -b "$work/batch" $ssh_opts -P "$port" $user@127.0.0.1 >/dev/null; }
run_lftp() { lftp -c "set sftp:connect-program 'ssh -a -x $ssh_opts'; open -u $user, -p $port sftp://127.0.0.1; $1" >/dev/null; }
seconds() { local t0 t1; t0=$(date +%s.%N); "$@"; t1=$(date +%s.%N); awk "BEGIN {printf \"%.3f\", $t1 - $t0}"; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

declare -A times
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq 1 "$runs"); do
  for tool in hemlo sftp lftp; do
    case $tool in
      hemlo) g=$(seconds run_hemlo get big.bin /dev/null)
             p=$(seconds run_hemlo put "$work/local/big.bin" up.bin)
             m=$(seconds run_hemlo putdir "$work/local/many" "many_${i}_$tool") ;;
      sftp)  g=$(seconds run_sftp "get big.bin /dev/null")
             p=$(seconds run_sftp "put $work/local/big.bin up.bin")
             m=$(seconds run_sftp "put -r $work/local/many many_${i}_$tool") ;;
      lftp)  g=$(seconds run_lftp "set xfer:clobber on; get big.bin -o /dev/null")
             p=$(seconds run_lftp "put $work/local/big.bin -o up.bin")
             m=$(seconds run_lftp "mirror -R $work/local/many many_${i}_$tool") ;;
    esac
    times[$tool,get]+="$g "; times[$tool,put]+="$p "; times[$tool,many]+="$m "
    rm -rf "$work/remote/up.bin" "$work/remote"/many_*
  done
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-6s %10s %10s %10s   (median s of %d; get/put 1 GiB, many 2,000 files)\n' tool get put many "$runs"
for tool in hemlo sftp lftp; do
  printf '%-6s' $tool
  for what in get put many; do
    printf ' %10s' "$(tr ' ' '\n' <<< "${times[$tool,$what]}" | grep . | median)"
  done
  printf '   runs: get %s| put %s| many %s\n' "${times[$tool,get]}" "${times[$tool,put]}" "${times[$tool,many]}"
done
