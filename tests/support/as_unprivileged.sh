#!/usr/bin/env bash
# Runs a GoogleTest program as a user without privileges, so that the cases whose point is a
# file the user may not read or a folder the user may not write run even when the tests run as
# root (root reads and writes everything, and such cases skip). As root the program is copied to
# a folder of its own and run as "nobody" (setpriv, util-linux) with a home and a temporary
# folder of its own; otherwise it runs as it is. A case that still skips fails here, and so does
# a missing tool.
#   as_unprivileged.sh TEST-PROGRAM [ARGUMENT...]
set -euo pipefail
program="$1"
shift

if [ "$(id -u)" -ne 0 ]; then
  output="$("$program" "$@" 2>&1)" || { echo "$output"; exit 1; }
else
  command -v setpriv >/dev/null || { echo "FAIL: setpriv is missing (util-linux)"; exit 1; }
  user="$(id -u nobody)" group="$(id -g nobody)" ||
    { echo "FAIL: there is no user nobody to run as"; exit 1; }
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
  cp "$program" "$work/"
  mkdir "$work/home"
  chown "$user:$group" "$work/home"
  chmod 700 "$work/home"
  home="$work/home"
  output="$(env HOME="$home" TMPDIR="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home" \
    setpriv --reuid="$user" --regid="$group" --clear-groups -- "$work/$(basename "$program")" "$@" 2>&1)" ||
    { echo "$output"; exit 1; }
fi
echo "$output"
if grep -q '^\[  SKIPPED \]' <<<"$output"; then
  echo "FAIL: cases skipped although they ran without privileges"
  exit 1
fi
grep -qE '^\[  PASSED  \] [1-9][0-9]* test' <<<"$output" || { echo "FAIL: no case ran"; exit 1; }
