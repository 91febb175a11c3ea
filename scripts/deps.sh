#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the programs
# need, skipping those already present. Each folder lists its own packages
# in packages.txt (names separated by blanks or lines, # starts a comment).
#
#   bash scripts/deps.sh              # every folder's packages.txt
#   bash scripts/deps.sh LIST...      # only the packages of these lists
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  lists=("$@")
else
  lists=(scripts/packages.txt */packages.txt)
fi
mapfile -t wanted < <(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "These packages are missing. Install them once, then run this again:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y --no-install-recommends "${missing[@]}"
