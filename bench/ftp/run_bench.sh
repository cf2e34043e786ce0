#!/bin/bash
# FTP client benchmarks against vsftpd on loopback, with curl (active mode,
# -P -) as the peer in the same run. Never run by CI.
#   bench/ftp/run_bench.sh [build folder]   (default: build-ftp)
# TLS=1 runs everything over explicit TLS (vsftpd with a self-signed
# certificate, requiring TLS and session reuse; curl --ssl-reqd -k);
# TLS=implicit the same over implicit TLS (vsftpd implicit_ssl=YES, curl
# ftps://, ours as a host written ftps://), e.g.
#   TLS=implicit PARTS=big MODES=passive bench/ftp/run_bench.sh build
# Needs vsftpd, curl and ss; builds nothing itself: build ftp_bench_client
# first (ninja -C <build> ftp_bench_client, with -DHEMLO_BUILD_BENCH=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-ftp}
client=$build/bin/ftp_bench_client
runs=${RUNS:-5}
parts=${PARTS:-big many parse cancel}  # which groups to run
want() { case " $parts " in *" $1 "*) return 0;; esac; return 1; }
[ -x "$client" ] || { echo "missing $client: build ftp_bench_client first" >&2; exit 1; }
for p in /usr/sbin/vsftpd curl ss; do command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }; done

work=$(mktemp -d /var/tmp/hemlo-ftp-bench-XXXXXX)
vs_pid=
cleanup() { [ -n "$vs_pid" ] && kill "$vs_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
chmod 755 "$work"
mkdir -p "$work/empty" "$work/root/pub" "$work/local"
chmod 755 "$work/root" "$work/empty"
chown ftp:ftp "$work/root/pub"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
secure_chroot_dir=$work/empty
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$work/root
ftp_username=ftp
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_world_readable_only=NO
anon_umask=022
port_enable=YES
connect_from_port_20=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
xferlog_enable=NO
max_clients=0
max_per_ip=0
CONF
tls=()
scheme=ftp
if [ "${TLS:-0}" = 1 ] || [ "${TLS:-0}" = implicit ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=bench.hemlo.test \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
  cat >> "$work/vsftpd.conf" <<CONF
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
CONF
  tls=(--ssl-reqd -k)
  export FTP_TLS=1
  if [ "$TLS" = implicit ]; then
    echo "implicit_ssl=YES" >> "$work/vsftpd.conf"
    scheme=ftps
    export FTP_TLS=implicit
  fi
fi
/usr/sbin/vsftpd "$work/vsftpd.conf" > "$work/vsftpd.log" 2>&1 &
vs_pid=$!
for _ in $(seq 50); do curl -s "${tls[@]}" "$scheme://127.0.0.1:$port/" -o /dev/null && break; sleep 0.1; done
url="$scheme://127.0.0.1:$port/pub"
pub=$work/root/pub

now() { date +%s.%N; }
# seconds taken by a command
timed() { local s e; s=$(now); "$@"; e=$(now); awk -v s="$s" -v e="$e" 'BEGIN{printf "%.3f", e-s}'; }
best() { printf '%s\n' "$@" | sort -g | head -n1; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END{print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
ratio() { awk -v c="$1" -v o="$2" 'BEGIN{printf "%.3f", c/o}'; }
mibs() { awk -v t="$1" 'BEGIN{printf "%.0f MiB/s", 1024/t}'; }
drain() {  # active mode leaves a TIME_WAIT per data connection
  # DRAIN=0 skips the wait (Linux reuses TIME_WAIT ports on loopback
  # when net.ipv4.tcp_tw_reuse is 2, its default).
  [ "${DRAIN:-1}" = 0 ] && return
  for _ in $(seq 120); do
    [ "$(ss -tan state time-wait | wc -l)" -lt 50 ] && return
    sleep 1
  done
}

echo "machine: $(nproc) cores, $(. /etc/os-release; echo "$PRETTY_NAME"), $(curl --version | head -n1 | cut -d' ' -f1-2), vsftpd on 127.0.0.1:$port${FTP_TLS:+ over ${TLS/1/explicit} TLS}, load $(cut -d' ' -f1-3 /proc/loadavg)"
if want big; then
echo "making a 1 GiB file..."
head -c 1G /dev/urandom > "$pub/big.bin"
cp "$pub/big.bin" "$work/local/big.bin"

report() {  # name curl_times ours_times (runs alternate curl, ours)
  local name=$1 c o
  c=$(median $2); o=$(median $3)
  printf '%-36s median of %s: curl %7.3f s  ours %7.3f s  throughput ours/curl %s (best %s / %s; load %s)\n' \
    "$name" "$runs" "$c" "$o" "$(ratio "$c" "$o")" "$(best $2)" "$(best $3)" "$(cut -d' ' -f1 /proc/loadavg)"
}

# Both data-connection modes: curl -P - against FTP_MODE=active, curl's
# default (EPSV) against FTP_MODE=passive.
for mode in ${MODES:-passive active}; do
if [ "$mode" = active ]; then cflags=(-P - "${tls[@]}"); else cflags=("${tls[@]}"); fi
export FTP_MODE=$mode

c=(); o=()
for _ in $(seq "$runs"); do
  c+=("$(timed curl -s "${cflags[@]}" -o /dev/null "$url/big.bin")")
  o+=("$(timed "$client" get "$port" /pub/big.bin /dev/null)")
done
report "$mode: download 1 GiB to /dev/null" "${c[*]}" "${o[*]}"

c=(); o=()
for _ in $(seq "$runs"); do
  rm -f "$work/local/dl_curl" "$work/local/dl_ours"; sync
  c+=("$(timed curl -s "${cflags[@]}" -o "$work/local/dl_curl" "$url/big.bin")")
  rm -f "$work/local/dl_curl"; sync
  o+=("$(timed "$client" get "$port" /pub/big.bin "$work/local/dl_ours")")
  cmp -s "$work/local/dl_ours" "$pub/big.bin" || { echo "download differs" >&2; exit 1; }
done
rm -f "$work/local/dl_ours"
report "$mode: download 1 GiB to disk" "${c[*]}" "${o[*]}"

c=(); o=()
for _ in $(seq "$runs"); do
  rm -f "$pub/up_curl" "$pub/up_ours"; sync
  c+=("$(timed curl -s "${cflags[@]}" -T "$work/local/big.bin" "$url/up_curl")")
  rm -f "$pub/up_curl"; sync
  o+=("$(timed "$client" put "$port" "$work/local/big.bin" /pub/up_ours)")
  cmp -s "$pub/up_ours" "$work/local/big.bin" || { echo "upload differs" >&2; exit 1; }
done
rm -f "$pub/up_ours"
report "$mode: upload 1 GiB" "${c[*]}" "${o[*]}"
done
unset FTP_MODE
rm -f "$pub/big.bin" "$work/local/big.bin"
fi

if want many; then

echo "making 2000 files of 1-8 KiB..."
mkdir -p "$work/local/many"
files=()
for i in $(seq 2000); do
  f=$work/local/many/f$i.htm
  head -c $(( (RANDOM % 8 + 1) * 1024 )) /dev/urandom > "$f"
  files+=("$f")
done
glob=$(IFS=,; echo "{${files[*]}}")
c=(); o=()
for _ in $(seq "${MANY_RUNS:-2}"); do
  rm -rf "$pub/mc" "$pub/mo"; install -d -o ftp -g ftp "$pub/mc" "$pub/mo"
  drain
  c+=("$(timed curl -s -P - "${tls[@]}" -T "$glob" "$url/mc/")")
  drain
  o+=("$(FTP_MODE=active timed "$client" putmany "$port" /pub/mo "${files[@]}")")
done
[ "$(ls "$pub/mo" | wc -l)" = 2000 ] && [ "$(ls "$pub/mc" | wc -l)" = 2000 ] || { echo "many-file upload incomplete" >&2; exit 1; }
cb=$(median "${c[@]}"); ob=$(median "${o[@]}")
printf '%-28s median of %s: curl %7.3f s (%.2f ms/file)  ours %7.3f s (%.2f ms/file)  per-file time ours/curl %s (load %s)\n' \
  "2000 small files, one by one" "${#c[@]}" "$cb" "$(awk -v t="$cb" 'BEGIN{print t/2}')" "$ob" "$(awk -v t="$ob" 'BEGIN{print t/2}')" "$(ratio "$ob" "$cb")" "$(cut -d' ' -f1 /proc/loadavg)"

fi

if want parse; then
awk 'BEGIN{srand(1); split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec",m," ");
  print "total 100000";
  for(i=1;i<=100000;i++){ if(i%3==0) printf "drwxr-xr-x    2 owner    group        4096 %s %2d  %d dir_%d\r\n", m[i%12+1], i%28+1, 2000+i%20, i;
  else printf "-rw-r--r--    1 owner    group    %8d %s %2d %02d:%02d file_%d.htm\r\n", i*7, m[i%12+1], i%28+1, i%24, i%60, i }}' > "$work/listing.txt"
echo "parse 100,000-line Unix listing: $("$client" parse "$work/listing.txt" 5) (target < 100 ms)"
fi

if want cancel; then
echo "$("$client" cancel 20) (target < 1000 ms)"
fi
