#!/usr/bin/env bash
# Builds and runs every test: each step in scripts/test.d runs in name order,
# and the run fails if any step fails. VELMORA_STEPS="NAME ..." runs only the
# steps whose file names contain one of the words.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh" || exit 1

failed=()
for step in "$root"/scripts/test.d/*.sh; do
    name="$(basename "$step" .sh)"
    if [ -n "${VELMORA_STEPS:-}" ]; then
        wanted=no
        for word in $VELMORA_STEPS; do [[ "$name" == *"$word"* ]] && wanted=yes; done
        [ "$wanted" = yes ] || continue
    fi
    echo "=== $name"
    start=$(date +%s)
    if bash "$step"; then
        echo "=== $name passed ($(( $(date +%s) - start )) s)"
    else
        echo "=== $name FAILED ($(( $(date +%s) - start )) s)"
        failed+=("$name")
    fi
done

if [ "${#failed[@]}" -gt 0 ]; then
    echo "failed steps: ${failed[*]}"
    exit 1
fi
echo "all steps passed"
