#!/usr/bin/env bash
# The programs' command lines as a user meets them: --help and --version without a display,
# one-line errors with status 2, failed writes and reads reported with a non-zero status.
# Usage: programs_test.sh WENDREL WENDREL-FORMULA [OTHER-PROGRAM...]
# (every program is checked for --help, --version and an unknown option)
set -uo pipefail
wendrel="$1" formula="$2" type="$3"
failures=0
check() { # description, expected status, actual status
  if [ "$2" != "$3" ]; then echo "FAIL: $1 (status $3, expected $2)"; failures=$((failures + 1)); fi
}
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

for program in "$@"; do
  name="$(basename "$program")"
  "${nodisplay[@]}" "$program" --help >"$out/help" 2>"$out/err"; check "$name --help" 0 $?
  grep -q "^Usage: $name" "$out/help" || { echo "FAIL: $name --help prints no usage"; failures=$((failures + 1)); }
  [ -s "$out/err" ] && { echo "FAIL: $name --help wrote to stderr"; failures=$((failures + 1)); }
  "${nodisplay[@]}" "$program" --version >"$out/version"; check "$name --version" 0 $?
  grep -qE "^$name [0-9]+\.[0-9]+\.[0-9]+$" "$out/version" || { echo "FAIL: $name --version: $(cat "$out/version")"; failures=$((failures + 1)); }
  "${nodisplay[@]}" "$program" --version >/dev/full 2>"$out/err"; check "$name --version >/dev/full" 1 $?
  grep -q "No space left" "$out/err" || { echo "FAIL: $name: no message for a failed write"; failures=$((failures + 1)); }
  "${nodisplay[@]}" "$program" --no-such-option >/dev/null 2>"$out/err"; check "$name --no-such-option" 2 $?
  [ "$(wc -l <"$out/err")" = 1 ] || { echo "FAIL: $name: the error is not one line:"; cat "$out/err"; failures=$((failures + 1)); }
done

# Keyboard mode without an X11 display (a Wayland session without X11, a console): one line
# that says so, and status 1.
for session in "" wayland-0; do
  env -u DISPLAY -u QT_QPA_PLATFORM ${session:+WAYLAND_DISPLAY=$session} "$wendrel" --keyboard >/dev/null 2>"$out/err"
  check "wendrel --keyboard without X11 (WAYLAND_DISPLAY=$session)" 1 $?
  grep -q "^wendrel: keyboard mode .*X11" "$out/err" || { echo "FAIL: wendrel --keyboard without X11 says: $(cat "$out/err")"; failures=$((failures + 1)); }
done

# What the toolkit does not take is refused once the toolkit has had its options.
QT_QPA_PLATFORM=offscreen "$wendrel" -platform offscreen stray >/dev/null 2>"$out/err"; check "wendrel stray" 2 $?
grep -q "unexpected argument 'stray'" "$out/err" || { echo "FAIL: wendrel stray: $(cat "$out/err")"; failures=$((failures + 1)); }

# Formulas as arguments, a leading minus, and failures of the streams.
[ "$("$formula" "2+3*4" -5+2 "1/0")" = "$(printf '14\n-3\nOverflow')" ] || { echo "FAIL: wendrel-formula with arguments"; failures=$((failures + 1)); }
"$formula" "2+3*4" >/dev/full 2>/dev/null; check "wendrel-formula FORMULA >/dev/full" 1 $?
echo "1+1" | "$formula" >/dev/full 2>/dev/null; check "wendrel-formula <input >/dev/full" 1 $?
"$formula" </ 2>"$out/err"; check "wendrel-formula reading a folder" 1 $?
grep -q "cannot read standard input" "$out/err" || { echo "FAIL: no message for a failed read"; failures=$((failures + 1)); }
printf 'state\n' | "$type" >/dev/full 2>/dev/null; check "wendrel-type <input >/dev/full" 1 $?
"$type" </ 2>"$out/err"; check "wendrel-type reading a folder" 1 $?
grep -q "cannot read standard input" "$out/err" || { echo "FAIL: wendrel-type: no message for a failed read"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "PASS: command lines"
exit $((failures > 0))
