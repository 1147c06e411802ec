#!/usr/bin/env bash
# Usage: install-missing.sh LABEL PACKAGE...
# Installs those of Debian's PACKAGEs (name or name:arch) that are not
# installed yet, saying "LABEL: installing ..." first; does nothing, and
# reaches no registry, when all are there. Run as root.
set -euo pipefail
label="${1:?usage: install-missing.sh LABEL PACKAGE...}"
shift
missing=()
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0
echo "$label: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
