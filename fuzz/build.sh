#!/bin/sh
# Builds the FTP fuzz targets with clang, libFuzzer, ASan and UBSan.
# Usage: fuzz/build.sh [output folder]   (default: build-fuzz beside fuzz/)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/build-fuzz}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$out"
flags="-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root/src"
sources="$root/src/ftp/id_exception.cpp $root/src/ftp/id_reply.cpp $root/src/ftp/id_socket.cpp \
$root/src/ftp/id_tcp_connection.cpp $root/src/ftp/id_ftp_list.cpp $root/src/ftp/id_ftp.cpp \
$root/src/ftp/id_ftp_list_dates.cpp $root/src/ftp/id_ftp_list_unix.cpp $root/src/ftp/id_ftp_list_dos.cpp \
$root/src/ftp/id_ftp_list_vms.cpp $root/src/ftp/id_ftp_list_facts.cpp \
$root/src/ftp/id_ftp_list_months.cpp $root/src/ftp/id_ftp_list_numbers.cpp $root/src/ftp/id_ftp_list_mainframe.cpp"
for target in reply_fuzzer listing_fuzzer; do
  # shellcheck disable=SC2086
  $cxx $flags -o "$out/$target" "$here/$target.cpp" $sources
  echo "built $out/$target"
done
