#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Starts the real program under a virtual X display (xvfb-run) and saves a PNG
# of its window. Needs xvfb, imagemagick and a CJK font (fonts-wqy-zenhei).
# Usage: scripts/screenshot.sh OUT.png [path/to/RowSifter]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 OUT.png [path/to/RowSifter]" >&2
  exit 2
fi

root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "$1")"
bin="$(realpath -m "${2:-$root/build/RowSifter}")"
[ -x "$bin" ] || { echo "screenshot.sh: no program at $bin (build it first)" >&2; exit 1; }
for tool in xvfb-run import; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
fc-list 2>/dev/null | grep -qi "wqy" || echo "screenshot.sh: warning: no CJK font found, Chinese texts will not render" >&2

# The window is 940 x 480 and places itself from the screen size: centred
# across, a third of the free height (for its 580 px form height) down.
screen_w=1280
screen_h=800
win_w=940
win_h=480
win_x=$(( (screen_w - win_w) / 2 ))
win_y=$(( (screen_h - 580) / 3 ))
settle_seconds="${SCREENSHOT_SETTLE:-3}"

# The shot shows the built-in defaults and touches no real settings. A copy
# with no options file beside it (an installed one) runs where it is, with an
# empty configuration folder of its own; one with its own file runs as a
# private copy beside an empty one.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/config"
export XDG_CONFIG_HOME="$work/config"
if [ -e "$(dirname "$bin")/RowSifter.rsf" ]; then
  cp "$bin" "$work/RowSifter"
  : > "$work/RowSifter.rsf"
  program="$work/RowSifter"
else
  program="$bin"
fi

export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 ${screen_w}x${screen_h}x24" bash -c '
  set -u
  cd "$1"
  "$5" &
  pid=$!
  sleep "$2"
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "screenshot.sh: the program ended early (another copy running?)" >&2
    exit 1
  fi
  import -window root -crop "$3" +repage "$4"
  status=$?
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  exit $status
' screenshot "$work" "$settle_seconds" "${win_w}x${win_h}+${win_x}+${win_y}" "$out" "$program"

echo "$out"
