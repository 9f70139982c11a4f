#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing need.
# Run as root (or through sudo). Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nettle-dev
  python3-xlrd python3-msoffcrypto-tool
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins qt6-translations-l10n fonts-liberation2
  xdg-utils xvfb xauth
  locales
  clang libfuzzer-14-dev libclang-rt-14-dev
)
# `setup.sh --bench` adds what the benchmark (bench/run.sh) needs: openpyxl and
# Gnumeric make its corpus, Node.js and npm run the SheetJS side.
if [ "${1:-}" = "--bench" ]; then
  packages+=(python3-openpyxl gnumeric)
  # A machine that already has Node.js with npm (from another source than
  # Debian, whose nodejs then conflicts with Debian's npm) keeps its own.
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The regional-format tests need these locales.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU.utf8$' || ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO sed -i -E 's/^# *(ru_RU.UTF-8 UTF-8|en_US.UTF-8 UTF-8)/\1/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
