#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# CI, after the tests: builds the Debian package from the existing build
# folder, unpacks it into a scratch root and checks what a user gets: the
# installed rowsifter-cli on the example workbooks (its output as the README
# shows it), the installed window program starting, one copy per user and two
# users kept apart, a valid menu entry, the icons, the man pages and lintian.
# Usage: scripts/ci-package.sh [BUILD_FOLDER]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
checkout="$PWD"
build="$(realpath "${1:-build}")"

fail() { echo "ci-package.sh: $*" >&2; exit 1; }
step() { echo "== $*"; }

[ -f "$build/CMakeCache.txt" ] || fail "no configured build folder at $build"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
deb="$build/rowsifter_${version}_$(dpkg --print-architecture).deb"

step "package $(basename "$deb")"
rm -f "$build"/rowsifter_*.deb
# Everything is built already: the target only checks that and packs.
cmake --build "$build" --target package >"$build/ci-package.log" 2>&1 || { cat "$build/ci-package.log" >&2; fail "packaging failed"; }
[ -f "$deb" ] || fail "the package is not at $deb"

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
  # The folders the other users' copies made for their sockets.
  if [ "$(id -u)" -eq 0 ]; then rm -rf /tmp/RowSifter-runtime-64001 /tmp/RowSifter-runtime-64002; fi
}
trap cleanup EXIT
chmod 755 "$work"
root="$work/root"

step "control fields and contents"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = rowsifter ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version is $(field Version)"
grep -q 'libqt5widgets5' <<<"$(field Depends)" || fail "Depends lacks the Qt libraries: $(field Depends)"
dpkg -x "$deb" "$root"
for f in usr/bin/RowSifter usr/bin/rowsifter-cli \
         usr/share/applications/rowsifter.desktop \
         usr/share/man/man1/rowsifter-cli.1.gz usr/share/man/man1/RowSifter.1.gz \
         usr/share/doc/rowsifter/README.md usr/share/doc/rowsifter/copyright; do
  [ -s "$root/$f" ] || fail "missing from the package: /$f"
done
for size in 16 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/rowsifter.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "icon ${size}x${size} is missing or wrong"
done
# Installed programs must not reach back into the build folder.
for exe in "$root"/usr/bin/*; do
  if readelf -d "$exe" | grep -qE 'RPATH|RUNPATH'; then fail "$exe carries a library path"; fi
done

step "menu entry and man pages"
desktop-file-validate "$root/usr/share/applications/rowsifter.desktop"
grep -qx 'Exec=RowSifter' "$root/usr/share/applications/rowsifter.desktop" || fail "the menu entry does not start RowSifter"
for page in rowsifter-cli RowSifter; do
  warnings="$(zcat "$root/usr/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
zcat "$root/usr/share/man/man1/rowsifter-cli.1.gz" | grep -q -- '--find-file' || fail "the rowsifter-cli man page lacks its options"

step "installed rowsifter-cli"
cli="$root/usr/bin/rowsifter-cli"
export LC_ALL=C.UTF-8 LANG=C.UTF-8
[ "$("$cli" --version)" = "rowsifter-cli $version" ] || fail "--version says: $("$cli" --version)"
"$cli" --help | grep -q -- '--source' || fail "--help lacks --source"
mkdir "$work/out"
status=0
"$cli" --source "$checkout/examples/workbooks" --dest "$work/out" --find 苹果 --find 上海 2>"$work/cli.err" || status=$?
[ "$status" -eq 0 ] || { cat "$work/cli.err" >&2; fail "the example job exited $status"; }

# The README's printed lines, with … for the checkout; the order of files
# within a folder is the file system's own, and the seconds vary.
expected="$(awk '/^It prints/ { on = 1; next } on && /^    / { sub(/^    /, ""); print; seen = 1; next } seen { exit }' README.md)"
[ -n "$expected" ] || fail "no example output found in README.md"
normalize() { sed -e "s|^$checkout/|…/|" -e 's/耗时[0-9]*秒/耗时N秒/' | sort; }
if ! diff <(normalize <<<"$expected") <(normalize <"$work/cli.err"); then
  fail "the installed rowsifter-cli does not print what the README shows"
fi
[ "$(tail -n 1 "$work/cli.err" | sed 's/耗时[0-9]*秒/耗时N秒/')" = "$(tail -n 1 <<<"$expected" | sed 's/耗时[0-9]*秒/耗时N秒/')" ] \
  || fail "the summary line is not last"
# Debian's python3, which has python3-openpyxl.
rows="$(/usr/bin/python3 - "$work/out/RowBasket.xlsx" <<'PY'
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
print(sum(1 for sheet in book.worksheets for row in sheet.iter_rows() if any(c.value is not None for c in row)))
PY
)"
[ "$rows" = 22 ] || fail "RowBasket.xlsx holds $rows rows, not 22"

step "installed window program"
# Starts it the way the menu does (a bare name found through PATH) for a user
# whose home is fresh; no options file may appear before an option changes.
# $1: user id ("" for the current user), $2: home folder. Sets started to its
# pid (no command substitution: the copy must be this shell's child).
start_window() {
  local uid="$1" home="$2"
  mkdir -p "$home"
  local run=(env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen)
  if [ -n "$uid" ]; then
    chown "$uid:$uid" "$home"
    run=(setpriv --reuid="$uid" --regid="$uid" --clear-groups "${run[@]}")
  fi
  (cd "$home" && exec "${run[@]}" RowSifter) >"$home/log" 2>&1 &
  started=$!
  pids+=("$started")
}
alive_after() { sleep "$2"; kill -0 "$1" 2>/dev/null; }

start_window "" "$work/home-a"
first=$started
alive_after "$first" 2 || { cat "$work/home-a/log" >&2; fail "the installed window program ended at start"; }
[ ! -e "$work/home-a/.config/RowSifter" ] || fail "an options file was made before any option changed"
start_window "" "$work/home-a"
second=$started
# The second start hands over to the running copy and leaves with 0.
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$second" 2>/dev/null; then fail "a second start of the installed program did not hand over"; fi
wait "$second" || fail "the second start exited $?"
kill -0 "$first" 2>/dev/null || fail "the running copy ended when a second one started"

if [ "$(id -u)" -eq 0 ]; then
  step "two users apart"
  # Two other accounts (numeric ids need no entry in the user database).
  start_window 64001 "$work/home-b"
  b=$started
  start_window 64002 "$work/home-c"
  c=$started
  alive_after "$b" 2 || { cat "$work/home-b/log" >&2; fail "user 64001's copy ended while others run"; }
  kill -0 "$c" 2>/dev/null || { cat "$work/home-c/log" >&2; fail "user 64002's copy ended while others run"; }
  kill -0 "$first" 2>/dev/null || fail "the first user's copy ended when others started theirs"
  # Each listens on a socket of its own user's, in a folder only that user may enter.
  for uid in 64001 64002; do
    folder="/tmp/RowSifter-runtime-$uid"
    [ "$(stat -c '%u %a' "$folder" 2>/dev/null)" = "$uid 700" ] || fail "no private folder of user $uid's own"
    [ "$(stat -c %u "$folder/RowSifter.socket" 2>/dev/null)" = "$uid" ] || fail "no socket of user $uid's own"
  done
  start_window 64001 "$work/home-b"
  again=$started
  for _ in $(seq 50); do kill -0 "$again" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$again" 2>/dev/null; then fail "user 64001's second start did not hand over"; fi
  wait "$again" || fail "user 64001's second start exited $?"
  kill -0 "$b" 2>/dev/null && kill -0 "$c" 2>/dev/null && kill -0 "$first" 2>/dev/null \
    || fail "a copy ended when another user started again"
else
  echo "(two users apart: skipped, needs root to start copies as other users)"
fi

# The screenshot's copy would hand over to a running one of this user.
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
pids=()

step "screenshot of the installed window"
SCREENSHOT_SETTLE="${SCREENSHOT_SETTLE:-3}" bash scripts/screenshot.sh "$work/window.png" "$root/usr/bin/RowSifter" >/dev/null
[ "$(identify -format '%wx%h' "$work/window.png")" = 940x480 ] || fail "the screenshot is not the 940 x 480 window"
[ "$(identify -format '%k' "$work/window.png")" -gt 16 ] || fail "the screenshot shows no window"

step "lintian"
# Errors and warnings fail; what remains on purpose is overridden in
# packaging/lintian-overrides, each with its reason.
lintian --tag-display-limit 0 --fail-on error,warning --info "$deb" || fail "lintian found errors or warnings"

echo "ci-package.sh: $(basename "$deb") checked"
