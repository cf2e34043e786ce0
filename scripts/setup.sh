#!/usr/bin/env bash
# Installs the Debian packages Hemlo2 needs to build, run and test.
# Idempotent: only missing packages are installed, so an ordinary user who
# already has them never needs root.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-webengine-dev qt6-translations-l10n qt6-qpa-plugins libgl-dev
  fonts-ipafont-gothic adwaita-icon-theme libqt6svg6
  libgtest-dev libgmock-dev libicu-dev libssl-dev libpcre2-dev
  xvfb xauth
  vsftpd python3-pyftpdlib python3-openssl
  libssh2-1-dev libsecret-1-dev libtidy-dev qt6-image-formats-plugins
  openssh-server openssh-client gnome-keyring dbus
)
if [ "${1:-}" = "--test" ]; then
  # Peers for the benchmarks; packaging and launcher-file checks.
  PACKAGES+=(curl lftp tidy imagemagick dpkg-dev appstream desktop-file-utils lintian)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then SUDO=sudo; else
      echo "These packages are missing and you are not root: ${missing[*]}" >&2
      exit 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
