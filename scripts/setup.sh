#!/usr/bin/env bash
# Installs what building, testing and the command-line host need, from
# Debian's packages. Run as root on a fresh Debian machine; safe to repeat.
# Extra package lists for optional parts live in scripts/packages.d/*.txt.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

packages=(build-essential cmake pkg-config libogg-dev libvorbisidec-dev libgtest-dev)
for list in "$here"/packages.d/*.txt; do
    [ -e "$list" ] || continue
    while read -r name _; do
        case "$name" in ''|'#'*) continue ;; esac
        packages+=("$name")
    done < "$list"
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
