#!/usr/bin/env bash
# The manual page renders without a warning and names every command and every option the program's own help
# lists, so the two cannot drift apart unseen.
#   man_page_check.sh MAILFERRY MAN_PAGE
set -euo pipefail
program=$1 page=$2
export LC_ALL=C.UTF-8 MANWIDTH=200

warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "FAIL: man warns: $warnings" >&2; exit 1; }
rendered=$(man -l "$page" 2>/dev/null | col -b)

missing=()
commands=$("$program" help | sed -n '/^commands:/,/^$/p' | awk '/^  [a-z]/ {print $1}')
for command in $commands; do
    grep -qE "^ +mailferry $command( |$)" <<<"$rendered" || missing+=("command $command")
    [ "$command" = help ] && continue
    for flag in $("$program" help "$command" | sed -n 's/^  \(--[a-z][a-z-]*\).*/\1/p'); do
        grep -qF -- "$flag" <<<"$rendered" || missing+=("$command $flag")
    done
done
[ ${#missing[@]} -eq 0 ] || { echo "FAIL: the manual page lacks: ${missing[*]}" >&2; exit 1; }
echo "the manual page renders clean and names every command and option"
