#!/usr/bin/env bash
# An install under a prefix of its own (cmake --install --prefix DIR), and that copy moved
# elsewhere, find their modules beside the program's library folder: the key sounds' player
# (libwendrel-sound.so) is loaded when a sound is chosen, and the desktop menu's reader
# (libwendrel-menu.so) fills a new Start Menu folder. Without the modules each says so once on
# standard error, no empty Start Menu folder is left, and the next start with them fills it.
#   installed_elsewhere.sh BUILD-FOLDER MENU-FIXTURE
set -euo pipefail
build="$1"
menu="$2"

work="$(mktemp -d)"
app=""
cleanup() {
  [ -n "$app" ] && kill -9 "$app" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }

# Starts PREFIX/bin/wendrel with the user folders HOME (key sound 1 chosen) and the menu of the
# fixture; waits until both modules are loaded (or both reported missing) or 15 s have passed,
# then ends it with SIGTERM.
# Leaves the modules it loaded in $loaded and its standard error in $HOME/stderr.
loaded=""
run() {
  local prefix="$1" home="$2"
  mkdir -p "$home/config/wendrel"
  printf '10' >"$home/config/wendrel/config.dat"
  env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$work" XDG_DATA_DIRS="$menu/system" \
    XDG_CURRENT_DESKTOP=WendrelTest "$prefix/bin/wendrel" 2>"$home/stderr" &
  app=$!
  for _ in $(seq 150); do
    loaded="$(grep -oE '[^ ]*libwendrel-(sound|menu)\.so' "/proc/$app/maps" 2>/dev/null | sort -u || true)"
    [ "$(echo "$loaded" | grep -c .)" -eq 2 ] && break
    [ "$(grep -c 'could not be loaded' "$home/stderr")" -eq 2 ] && break
    sleep 0.1
  done
  sleep 0.5 # messages written after the last load
  kill -TERM "$app"
  wait "$app" || fail "$prefix/bin/wendrel ended with status $?"
  app=""
}

expect_modules_from() { # prefix, home, what
  local prefix="$1" home="$2" what="$3" module
  for module in libwendrel-sound.so libwendrel-menu.so; do
    if echo "$loaded" | grep -qE "^$prefix/lib/[^ ]*wendrel/$module$"; then
      echo "PASS: $what loads $module from its prefix"
    else
      fail "$what: $module not loaded from $prefix (loaded: ${loaded:-nothing})"
    fi
  done
  [ -n "$(find "$home/data/wendrel/Start Menu" -name '*.lnk' 2>/dev/null)" ] ||
    fail "$what: the Start Menu folder was not filled"
  ! grep -q 'could not be loaded' "$home/stderr" || fail "$what: $(cat "$home/stderr")"
}

run "$work/prefix" "$work/installed"
expect_modules_from "$work/prefix" "$work/installed" "an install under its own prefix"

mv "$work/prefix" "$work/moved"
run "$work/moved" "$work/moved-home"
expect_modules_from "$work/moved" "$work/moved-home" "the install moved elsewhere"

# Without the modules: said once each, and no Start Menu folder that looks filled.
modules="$(dirname "$(find "$work/moved" -name libwendrel-sound.so)")"
mkdir "$work/modules"
mv "$modules"/libwendrel-*.so "$work/modules/"
run "$work/moved" "$work/without"
for module in libwendrel-sound.so libwendrel-menu.so; do
  count="$(grep -c "$module could not be loaded" "$work/without/stderr" || true)"
  [ "$count" -eq 1 ] && echo "PASS: a missing $module is reported once" ||
    fail "a missing $module is reported $count times: $(cat "$work/without/stderr")"
done
[ ! -e "$work/without/data/wendrel/Start Menu" ] && echo "PASS: no empty Start Menu folder is left" ||
  fail "a Start Menu folder was left without the menu module"
mv "$work"/modules/* "$modules/"
run "$work/moved" "$work/without"
expect_modules_from "$work/moved" "$work/without" "the next start with the modules back"

[ "$failures" -eq 0 ]
