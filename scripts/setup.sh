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

bash "$here/install-missing.sh" setup "${packages[@]}"
