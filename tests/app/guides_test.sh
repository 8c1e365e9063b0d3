#!/usr/bin/env bash
# Each guide PDF made by the build has text on each of its pages, read back by poppler's pdftotext.
set -euo pipefail
[ $# -eq 3 ] || { echo "expected three guides, got $#"; exit 1; }
for pdf in "$@"; do
    pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
    [ "${pages:-0}" -ge 1 ] || { echo "no pages: $pdf"; exit 1; }
    for ((page = 1; page <= pages; page++)); do
        words=$(pdftotext -f "$page" -l "$page" "$pdf" - | wc -w)
        [ "$words" -ge 10 ] || { echo "page $page of $pdf has no text"; exit 1; }
    done
    pdftotext "$pdf" - | grep -q "Mailferry" || { echo "$pdf does not read as a guide"; exit 1; }
done
echo "3 passed, 0 failed"
