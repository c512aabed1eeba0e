#!/usr/bin/env bash
# cmake --install into a fresh prefix gives programs that work from there and find each
# other: the collector runs the sampler installed beside it, and the report reads what
# the collector wrote.
#   check_install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for program in activity-sampler activity-log activity-report; do
    [ -x "$work/prefix/bin/$program" ] || { echo "FAIL: no $program in bin/"; exit 1; }
done
# Nothing else: no headers, libraries or test programs of the build's.
extra=$(cd "$work/prefix" && find . -type f ! -path './bin/activity-*' | head -5)
[ -z "$extra" ] || { echo "FAIL: installed besides the programs: $extra"; exit 1; }

# No desktop: the sampler answers with its no-window line, which the collector keeps as
# "none"; had it not found the sampler, the time would be "unavailable".
env -u DISPLAY -u WAYLAND_DISPLAY "$work/prefix/bin/activity-log" --dir "$work/log" \
    --samples 2 --interval 0.1 2>"$work/err"
grep -rq '"state": "none"' "$work/log" || {
    echo "FAIL: the installed collector didn't run the installed sampler:"
    cat "$work/log"/* "$work/err"
    exit 1
}
"$work/prefix/bin/activity-report" --dir "$work/log" --include-away --format csv \
    >"$work/report" || {
    echo "FAIL: the installed report didn't read the log"
    exit 1
}
echo "1 passed, 0 failed"
