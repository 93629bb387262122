#!/usr/bin/env bash
# Installs the Debian packages the project needs:
#   setup.sh              every list in scripts/packages/*.txt (build, demo, tests)
#   setup.sh --with NAME  also scripts/packages/extra/NAME.txt (for example the
#                         tools that regenerate sample content)
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

lists=("$here"/packages/*.txt)
while [ $# -gt 0 ]; do
  case "$1" in
    --with) lists+=("$here/packages/extra/$2.txt"); shift 2 ;;
    *) echo "setup: unknown argument $1" >&2; exit 2 ;;
  esac
done

packages=()
for list in "${lists[@]}"; do
  [ -f "$list" ] || { echo "setup: no package list $list" >&2; exit 2; }
  while read -r line; do
    line=${line%%#*}
    for p in $line; do packages+=("$p"); done
  done <"$list"
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: run scripts/setup.sh as root (or with sudo) to install them." >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
