#!/usr/bin/env bash
# Installs the build into a staging root and runs the installed mailferry there on the demo store: it must find
# its shipped files (the archive package's parts) through the installed layout, convert, and report.
#   installed_run.sh BUILD_DIR DEMO_PST WORK_DIR VERSION
set -euo pipefail
build=$1 demo=$2 work=$3 version=$4
rm -rf "$work"
mkdir -p "$work"
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/install.log"
program="$work/stage/usr/bin/mailferry"
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$("$program" --version)" = "mailferry $version" ] || fail "--version prints $("$program" --version)"

status=0
XDG_CONFIG_HOME="$work/config" "$program" convert "$demo" --out "$work/out" --target archive --quiet \
    >"$work/report.txt" 2>"$work/errors.txt" || status=$?
[ $status -eq 0 ] || fail "convert ended with $status: $(cat "$work/errors.txt")"
grep -q "^Operation completed successfully" "$work/report.txt" || fail "no success line in the report"
package="$work/out/Outlook PST Export.rge"
for part in Archive.xml Contents/Info.plist Contents/PkgInfo; do
    cmp -s "$package/$part" "$work/stage/usr/share/mailferry/archive-package/$part" || fail "package part $part"
done
compgen -G "$work/out/Detailed Log Report *.txt" >/dev/null || fail "no log file beside the output"
echo "installed mailferry converted the demo store"
