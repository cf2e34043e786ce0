#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root, checks what it
# installs and starts the unpacked program the way the launcher does (its
# Exec line with a page), then ends it with SIGTERM as a logout would.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
pid=""
cleanup() { [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/out/hemlo2_*_amd64.deb)"
[[ "$(basename "$deb")" =~ ^hemlo2_[0-9]+\.[0-9]+\.[0-9]+_amd64\.deb$ ]] || fail "package name $deb"

# Every dependency names a Debian package (here: an installed one).
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libqt6webenginecore6-bin libqt6svg6 fonts-ipafont-gothic qt6-translations-l10n; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
dups="$(tr ',' '\n' <<<"$depends" | sed 's/(.*//; s/ //g' | sort | uniq -d)"
[ -z "$dups" ] || fail "Depends lists twice: $dups"
while read -r alternatives; do
  ok=""
  IFS='|' read -ra names <<<"$alternatives"
  for n in "${names[@]}"; do
    n="$(sed 's/(.*//; s/ //g' <<<"$n")"
    dpkg-query -W -f='${Status}' "$n" 2>/dev/null | grep -q "install ok installed" && ok=1
  done
  [ -n "$ok" ] || fail "dependency not a known installed package: $alternatives"
done < <(tr ',' '\n' <<<"$depends")

# What Debian expects of a package: lintian's errors and warnings fail it.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian"; }
fi

root="$work/root"
dpkg -x "$deb" "$root"
app=io.github.hemlo2.Hemlo2
for f in usr/bin/hemlo2 usr/share/hemlo2/help/index.html usr/share/hemlo2/help/ferrox.html \
         usr/share/applications/$app.desktop usr/share/metainfo/$app.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/hemlo2.svg usr/share/icons/hicolor/48x48/apps/hemlo2.png \
         usr/share/icons/hicolor/256x256/apps/hemlo2.png usr/share/doc/hemlo2/copyright \
         usr/share/doc/hemlo2/changelog.gz usr/share/man/man1/hemlo2.1.gz; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
[ -x "$root/usr/bin/hemlo2" ] || fail "hemlo2 not executable"
grep -qx 'License: GPL-3+' "$root/usr/share/doc/hemlo2/copyright" || fail "copyright: not GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$root/usr/share/metainfo/$app.metainfo.xml" ||
  fail "metainfo: not GPL-3.0-or-later"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/$app.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >/dev/null || fail "metainfo"
fi

# The launcher's Exec line with a page, in an offscreen session of our own.
page="$work/page.htm"
printf '<html>\r\n' >"$page"
exec_line="$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$app.desktop")"
[ "$exec_line" = "hemlo2 %F" ] || fail "Exec=$exec_line"
mkdir -m 700 "$work/run"
XDG_CONFIG_HOME="$work/cfg" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen \
  QTWEBENGINE_DISABLE_SANDBOX=1 "$root/usr/bin/hemlo2" "$page" >"$work/run.log" 2>&1 &
pid=$!
for _ in $(seq 300); do [ -d "$work/cfg/Hemlo2" ] && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
[ -d "$work/cfg/Hemlo2" ] || { cat "$work/run.log"; fail "no state folder"; }
[ "$(stat -c %a "$work/cfg/Hemlo2")" = 700 ] || fail "state folder not owner-only"
kill -TERM "$pid"
rc=0
wait "$pid" || rc=$?
pid=""
[ "$rc" = 0 ] || { cat "$work/run.log"; fail "exit status $rc after SIGTERM"; }
grep -q "$page" "$work/cfg/Hemlo2/Rireki.ini" || fail "the page did not enter the history"
echo "package ok: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
