#!/usr/bin/env bash
# wendrel-complete answers each line of standard input with the strip's candidates, at once.
set -euo pipefail
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# One line out for each line in: three words with the letters typed, in the case typed; the
# next words after a space; nothing in a number or after "=".
got="$(printf '%s\n' 'th' '12' 'x=ab' 'TH' 'I would like to ' 'Done. ' | "$tool")"
mapfile -t lines <<< "$got"
[ "${#lines[@]}" -eq 6 ] || fail "expected 6 lines, got: $got"
[[ "${lines[0]}" =~ ^the$'\t'th[a-z\']*$'\t'th[a-z\']*$ ]] || fail "th: ${lines[0]}"
[ -z "${lines[1]}" ] && [ -z "${lines[2]}" ] || fail "a number or after =: ${lines[1]}|${lines[2]}"
[[ "${lines[3]}" =~ ^THE$'\t'TH[A-Z\']*$'\t'TH[A-Z\']*$ ]] || fail "TH: ${lines[3]}"
[[ "${lines[4]}" =~ ^[a-z\']+$'\t'[a-z\']+$'\t'[a-z\']+$ ]] || fail "next words: ${lines[4]}"
[[ "${lines[5]}" =~ ^[A-Z][a-z\']*$'\t'[A-Z][a-z\']*$'\t'[A-Z][a-z\']*$ ]] || fail "sentence start: ${lines[5]}"

# One answer per line, flushed before the next line is read.
mkfifo "$work/in"
"$tool" < "$work/in" > "$work/out" &
pid=$!
exec 3> "$work/in"
echo 'hel' >&3
for _ in $(seq 50); do [ -s "$work/out" ] && break; sleep 0.1; done
[[ "$(cat "$work/out")" =~ ^hel[a-z]*$'\t'hel[a-z]*$'\t'hel[a-z]*$ ]] || fail "not flushed per line: $(cat "$work/out")"
exec 3>&-
wait "$pid"; pid=

printf 'We sat by the zorblax. We sat by the zorblax. We sat by the zorblax.\n' > "$work/learn.txt"
[ "$(echo 'They sat by the ' | "$tool" --learn "$work/learn.txt" | cut -f1)" == zorblax ] || fail "--learn"
[ "$(echo 'the zorb' | "$tool")" == "" ] || fail "learns nothing by default"

# --learning: a line that begins with a tab is learned as the window learns a finished word
# (the text ends with the word or with what ended it) and answered with an empty line.
got="$(printf '%s\n' $'\tWe sat by the zorblax' $'\tWe sat by the zorblax.' $'\tThe zorblax ' \
  'sat by the ' 'a zorb' | "$tool" --learning)"
[ "$(echo "$got" | head -3 | tr -d '\n')" == "" ] && [ "$(echo "$got" | wc -l)" -eq 5 ] || fail "--learning answers: $got"
[ "$(echo "$got" | sed -n 4p | cut -f1)" == zorblax ] || fail "--learning: a learned next word: $got"
[ "$(echo "$got" | sed -n 5p | cut -f1)" == zorblax ] || fail "--learning: a learned word by its letters: $got"
# Without --learning a tab is just text before the caret: nothing is learned.
got="$(printf '%s\n' $'\tthe zorblax' 'the zorb' | "$tool")"
[ "$(echo "$got" | sed -n 2p)" == "" ] || fail "learned without --learning: $got"

# A model that cannot be used: completion says so, and the program stops cleanly.
head -c 1000 "$(dirname "$tool")/english.lm" > "$work/broken.lm"
set +e; echo th | "$tool" --model "$work/broken.lm" > "$work/out" 2> "$work/err"; status=$?; set -e
[ "$status" -eq 1 ] && grep -q 'word completion is unavailable.*damaged' "$work/err" || fail "a damaged model: $status $(cat "$work/err")"
set +e; echo th | "$tool" --model "$work/missing.lm" > /dev/null 2> "$work/err"; status=$?; set -e
[ "$status" -eq 1 ] && grep -q 'missing' "$work/err" || fail "a missing model: $status"

"$tool" --help | grep -q -- '--learning' || fail "--help"
"$tool" --version | grep -q '^wendrel-complete ' || fail "--version"
if "$tool" --learn "$work/missing.txt" < /dev/null 2> "$work/err"; then fail "missing file accepted"; fi
grep -q 'cannot read' "$work/err" || fail "no message for a missing file"
set +e; "$tool" --bogus < /dev/null 2> /dev/null; status=$?; set -e
[ "$status" -eq 2 ] || fail "unknown option gives $status"
set +e; echo 'th' | "$tool" > /dev/full 2> /dev/null; status=$?; set -e
[ "$status" -eq 1 ] || fail "a failed write gives $status"
echo "PASS: wendrel-complete"
