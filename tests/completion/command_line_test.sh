#!/usr/bin/env bash
# wendrel-complete answers each line of standard input with the strip's candidates, at once.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }

got="$(printf '%s\n' 'th' 'I don' '12' 'x=ab' 'the end ' 'TH' | "$tool")"
expected="$(printf 'the\tthat\tthis\ndon'"'"'t\tdone\tDonna\n\n\n\nTHE\tTHAT\tTHIS')"
[ "$got" == "$expected" ] || { diff <(echo "$expected") <(echo "$got"); fail "candidates"; }

# One answer per line, flushed before the next line is read.
mkfifo "$work/in"
"$tool" < "$work/in" > "$work/out" &
pid=$!
exec 3> "$work/in"
echo 'hel' >&3
for _ in $(seq 50); do [ -s "$work/out" ] && break; sleep 0.1; done
[ "$(cat "$work/out")" == "$(printf 'help\thello\thell')" ] || fail "not flushed per line: $(cat "$work/out")"
exec 3>&-
wait "$pid"; pid=

printf 'We sat by the fire. We sat by the sea. We sat down.\n' > "$work/learn.txt"
[ "$(echo 'They sat ' | "$tool" --learn "$work/learn.txt")" == "$(printf 'by\tdown\tthe')" ] || fail "--learn"
[ "$(echo 'They sat ' | "$tool")" == "" ] || fail "learns nothing by default"

"$tool" --help | grep -q -- '--learn FILE' || fail "--help"
"$tool" --version | grep -q '^wendrel-complete ' || fail "--version"
if "$tool" --learn "$work/missing.txt" < /dev/null 2> "$work/err"; then fail "missing file accepted"; fi
grep -q 'cannot read' "$work/err" || fail "no message for a missing file"
set +e; "$tool" --bogus < /dev/null 2> /dev/null; status=$?; set -e
[ "$status" -eq 2 ] || fail "unknown option gives $status"
set +e; echo 'th' | "$tool" > /dev/full 2> /dev/null; status=$?; set -e
[ "$status" -eq 1 ] || fail "a failed write gives $status"
echo "PASS: wendrel-complete"
