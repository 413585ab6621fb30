#!/usr/bin/env bash
# Installs the Debian packages the build needs, and any named as arguments, only those that
# are missing.
set -euo pipefail

# qt6-base-dev for the desktop program; Qt's CMake package also looks for OpenGL (libgl-dev).
# SQLite, libzip and zstd read the other learners' files; the sqlite3 and unzip programs are the
# yardstick the import benchmark is measured against.
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev libgl-dev
  pkg-config libsqlite3-dev libzip-dev libzstd-dev sqlite3 unzip "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
