#!/usr/bin/env bash
# What the documentation says agrees with the program and with the tested command lines:
# the scales are quarter steps (package description, AppStream metadata, manual pages, README),
# and wendrel(1)'s touch-device example is the command line that README gives and the device
# check runs (with libinput and evdevtouch both reading the screen a tap may count twice).
#   documentation_test.sh SOURCE-FOLDER
set -uo pipefail
source_dir="$1"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for file in debian/control resources/org.wendrel.Wendrel.metainfo.xml doc/man/*.1 README.md; do
  grep -niE 'whole(\\?-| )number scale' "$source_dir/$file" && fail "$file speaks of whole-number scales"
  case "$file" in debian/control | *.metainfo.xml | doc/man/wendrel.1)
    grep -qi 'quarter' "$source_dir/$file" || fail "$file does not say that the scales are quarter steps" ;;
  esac
done

# The environment of the touch-device command line, one VAR=value a line, sorted.
settings() { grep -oE 'QT_QPA_[A-Z_]+=[^ \\`"]+' | sed 's/\\-/-/g' | sort -u; }
readme="$(sed -n '/^## A small touch device/,/^## /p' "$source_dir/README.md" | sed -n '/^```sh/,/^```/p' | settings)"
manual="$(sed -n '/^\.SH EXAMPLES/,/^\.SH /p' "$source_dir/doc/man/wendrel.1" | settings)"
[ -n "$readme" ] || fail "README has no touch-device command line"
if [ "$readme" = "$manual" ]; then
  echo "PASS: wendrel(1)'s touch example is README's command line"
else
  fail "wendrel(1)'s touch example differs from README's command line:"
  diff <(echo "$readme") <(echo "$manual")
fi
# The device check runs that command line (its touchscreen is whichever device it finds).
device_test="$source_dir/tests/device/touch_device_test.py"
device="$(grep -oE '"QT_QPA_[A-Z_]+": "[^"]*"' "$device_test" | sed -E 's/"([^"]+)": "([^"]*)"/\1=\2/' | sort -u)"
while IFS= read -r setting; do
  name="${setting%%=*}"
  grep -q "\"$name\":" "$device_test" || fail "the device check does not set $name"
  [ "$name" = QT_QPA_EVDEV_TOUCHSCREEN_PARAMETERS ] || grep -qxF "$setting" <<<"$device" ||
    fail "the device check does not run with $setting"
done <<<"$readme"

[ "$failures" -eq 0 ] && echo "PASS: the documentation"
exit $((failures > 0))
