#!/usr/bin/env bash
# fetch-source.sh PACKAGE[=VERSION] DEST
#
# Fetches a Debian source package's upstream tarball, checks it against the
# SHA-256 sum in its .dsc, and unpacks it into DEST/PACKAGE. Prints that
# folder on success. A tree already unpacked there is reused without
# touching the network, so DEST works as a download cache.
#
# Only the .orig tarball is needed: the Debian packaging tarball is taken
# when the archive serves it, and its absence is not an error.
#
# The deb-src entry lives in a private apt state under a temporary folder
# (its own source list, package lists and cache), so the system's apt
# configuration is never changed and nothing is left behind. SUITE picks
# the release (default: this system's codename).
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 PACKAGE[=VERSION] DEST" >&2
    exit 2
fi
request="$1"
package="${request%%=*}"
mkdir -p "$2"
dest="$(cd "$2" && pwd)"
tree="$dest/$package"
stamp="$tree/.fetched-from"

if [ -f "$stamp" ]; then
    echo "$tree"
    exit 0
fi

suite="${SUITE:-$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")}"
mirror="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"

cat >"$work/source.sources" <<EOF
Types: deb-src
URIs: $mirror
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF

apt_private() {
    apt-get -q \
        -o Dir::Etc::SourceList="$work/source.sources" \
        -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::State::Lists="$work/lists" \
        -o Dir::Cache="$work/cache" \
        -o APT::Sandbox::User=root \
        "$@"
}

if ! apt_private update >"$work/update.log" 2>&1; then
    echo "fetch-source: cannot read the $suite source index:" >&2
    tail -n 3 "$work/update.log" >&2
    exit 1
fi
# apt-get fails when the packaging tarball is missing; the checks below decide.
(cd "$work/download" && apt_private source --download-only "$request" >"$work/source.log" 2>&1) || true

dsc="$(ls "$work/download"/*.dsc 2>/dev/null | head -n 1 || true)"
if [ -z "$dsc" ]; then
    echo "fetch-source: no .dsc for $request in $suite:" >&2
    tail -n 3 "$work/source.log" >&2
    exit 1
fi
orig_line="$(awk '/^Checksums-Sha256:/ {in_sums = 1; next}
                  /^[^ ]/ {in_sums = 0}
                  in_sums && $3 ~ /\.orig\.tar\./ {print $1, $3; exit}' "$dsc")"
if [ -z "$orig_line" ]; then
    echo "fetch-source: $dsc names no .orig tarball" >&2
    exit 1
fi
read -r sum orig <<<"$orig_line"
if [ ! -f "$work/download/$orig" ]; then
    echo "fetch-source: $orig was not served:" >&2
    tail -n 3 "$work/source.log" >&2
    exit 1
fi
if ! echo "$sum  $work/download/$orig" | sha256sum --check --status; then
    echo "fetch-source: $orig does not match the SHA-256 sum in $(basename "$dsc")" >&2
    exit 1
fi

rm -rf "$tree"
mkdir -p "$tree"
tar -xf "$work/download/$orig" -C "$tree" --strip-components=1
cp "$dsc" "$work/download/$orig" "$dest/"
echo "$(basename "$dsc") $orig sha256:$sum" >"$stamp"
echo "$tree"
