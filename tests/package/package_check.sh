#!/usr/bin/env bash
# Builds the Debian package from a copy of the source tree the way Debian builds packages
# (dpkg-buildpackage, Debian's compiler flags, the tests run), then checks it as a distribution would:
# lintian with no error and no warning, the AppStream metadata and the desktop entry valid,
# every file a user needs inside, and each installed program answering --help and --version
# from the unpacked package without a display.
# Usage: package_check.sh SOURCE-FOLDER WORK-FOLDER
# The work folder is made anew each time; its fixed place lets ccache reuse the objects of the
# previous package build.
set -euo pipefail
source_dir="$(cd "$1" && pwd)"
work="$2"

fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work/wendrel"
work="$(cd "$work" && pwd)"
tree="$work/wendrel"

# The tree as it stands (committed or not), without build folders or anything git ignores.
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    tar --null -T - -cf -) | tar -xf - -C "$tree"
else
  tar -C "$source_dir" --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$tree"
fi

# The programs that the package build's tests run (ctest -LE system: the menu tests start a
# D-Bus session and launch through gio and gdbus) must come from build dependencies, or from
# packages every Debian system has; the build below cannot see a missing one on this machine,
# where everything is installed.
echo "== the tests' programs are build dependencies"
build_depends="$(sed -n '/^Build-Depends:/,/^[^ ]/p' "$tree/debian/control" | sed '$d' |
  sed 's/^Build-Depends://; s/([^)]*)//g; s/<[^>]*>//g; s/\[[^]]*\]//g' | tr ',|' '\n\n' | awk 'NF {print $1}')"
for tool in dbus-run-session dbus-daemon gio gdbus setpriv; do
  found="$(command -v "$tool")" || fail "$tool, which the tests run, is not installed"
  package="$(dpkg -S "$found" 2>/dev/null || dpkg -S "$(readlink -f "$found")" 2>/dev/null ||
    dpkg -S "/usr$found" 2>/dev/null)" || fail "no package holds $found"
  package="${package%%:*}"
  if [ "$(dpkg-query -W -f='${Essential}' "$package")" = yes ] || grep -qxF "$package" <<<"$build_depends"; then
    echo "$tool: $package"
  else
    fail "the tests run $tool, but its package $package is not in Build-Depends"
  fi
done

echo "== dpkg-buildpackage -us -uc -b, with the tests (log: $work/build.log)"
export CCACHE_DIR="${CCACHE_DIR:-$(ccache --get-config cache_dir 2>/dev/null || echo "$HOME/.cache/ccache")}"
export CCACHE_BASEDIR="$work" CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
# Built as Debian builds it, tests included: a test that needs a package Build-Depends lacks
# fails here.
export DEB_BUILD_OPTIONS="parallel=$(nproc)"
unset DEB_BUILD_PROFILES
started=$SECONDS
if ! (cd "$tree" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1); then
  tail -n 40 "$work/build.log"
  fail "dpkg-buildpackage"
fi
echo "built in $((SECONDS - started)) s"
version="$(cd "$tree" && dpkg-parsechangelog -S Version)"
deb="$(ls "$work"/wendrel_"${version}"_*.deb)"
changes="$(ls "$work"/wendrel_"${version}"_*.changes)"

echo "== lintian"
lintian --fail-on error,warning --display-info "$changes" | tee "$work/lintian.log" || fail "lintian reports errors or warnings"
grep -E '^[EW]: ' "$work/lintian.log" && fail "lintian reports errors or warnings"

echo "== the package's files"
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
required=(
  /usr/bin/wendrel /usr/bin/wendrel-formula /usr/bin/wendrel-complete /usr/bin/wendrel-type
  /usr/share/man/man1/wendrel.1.gz /usr/share/man/man1/wendrel-formula.1.gz /usr/share/man/man1/wendrel-complete.1.gz
  /usr/share/man/man1/wendrel-type.1.gz
  /usr/share/applications/org.wendrel.Wendrel.desktop /usr/share/applications/org.wendrel.WendrelKeyboard.desktop
  /usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml
  /usr/share/icons/hicolor/64x64/apps/wendrel.png
  /usr/share/wendrel/sound1.wav /usr/share/wendrel/sound2.wav /usr/share/wendrel/sound3.wav
  /usr/share/wendrel/sound4.wav /usr/share/wendrel/sound5.wav /usr/share/wendrel/help.htm
  /usr/share/wendrel/english.lm
  /usr/share/doc/wendrel/copyright
)
for file in "${required[@]}"; do
  grep -qxF "$file" "$work/files" || fail "$file is not in the package"
done
# The key sounds play through a module of their own, loaded from the library folder.
grep -qE '^/usr/lib/[^/]+/wendrel/libwendrel-sound\.so$' "$work/files" || fail "the key sounds' module is not in the package"
# The desktop's menu is read through a module as well, loaded when a new Start Menu is filled.
grep -qE '^/usr/lib/[^/]+/wendrel/libwendrel-menu\.so$' "$work/files" || fail "the desktop menu's module is not in the package"
programs=($(grep '^/usr/bin/.' "$work/files"))
for program in "${programs[@]}"; do
  grep -qxF "/usr/share/man/man1/$(basename "$program").1.gz" "$work/files" ||
    fail "$program has no manual page"
done
echo "${#required[@]} required files and a manual page for each of ${#programs[@]} programs"

# The key sounds play through the program's own player: ALSA (loaded by the player, so named in
# Depends) or the sound server's client library, never Qt Multimedia and its media stack.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
grep -qi multimedia <<<"$depends" && fail "the package depends on Qt Multimedia: $depends"
grep -qE '(^|, )libasound2( |,|$)' <<<"$depends" || fail "the package does not depend on libasound2: $depends"

root="$work/root"
dpkg-deb -x "$deb" "$root"

echo "== metainfo and desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml"
for entry in org.wendrel.Wendrel org.wendrel.WendrelKeyboard; do
  desktop-file-validate "$root/usr/share/applications/$entry.desktop" || fail "desktop-file-validate $entry"
  [ -z "$(desktop-file-validate "$root/usr/share/applications/$entry.desktop")" ] ||
    fail "desktop-file-validate has remarks on $entry"
done
grep -qx 'Exec=wendrel --keyboard' "$root/usr/share/applications/org.wendrel.WendrelKeyboard.desktop" ||
  fail "the keyboard's desktop entry does not start keyboard mode"
grep -q '<launchable type="desktop-id">org.wendrel.Wendrel.desktop</launchable>' \
  "$root/usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml" || fail "the metainfo does not launch the desktop entry"
exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/usr/share/applications/org.wendrel.Wendrel.desktop")"
[ -x "$root/usr/bin/$exec_program" ] || fail "the desktop entry starts $exec_program, which the package lacks"

echo "== manual pages"
for program in "${programs[@]}"; do
  page="$root/usr/share/man/man1/$(basename "$program").1.gz"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man $(basename "$program"): $warnings"
done

echo "== --help and --version of the unpacked programs, without a display"
for program in "${programs[@]}"; do
  name="$(basename "$program")"
  help="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root$program" --help)" || fail "$name --help"
  grep -q "^Usage: $name" <<<"$help" || fail "$name --help: $help"
  shown="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root$program" --version)" || fail "$name --version"
  [ "$shown" = "$name $version" ] || fail "$name --version says '$shown', the package is $version"
  echo "$name: --help and --version ($shown)"
done
[ "$("$root/usr/bin/wendrel-formula" "2+3*4")" = 14 ] || fail "wendrel-formula 2+3*4"

echo "PASS: the Debian package $(basename "$deb")"
