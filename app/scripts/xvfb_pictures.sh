#!/usr/bin/env bash
# Pictures of the real window under a virtual X server, and a start of the
# program itself there.
#
#   bash app/scripts/xvfb_pictures.sh BUILD_DIR
#
# Saves BUILD_DIR/app-pictures-xvfb/*.png (the window system's own pixels of
# both pages in each state, answers canned), then starts BUILD_DIR's
# pi-lookup on the same kind of server, checks that it is still running after
# three seconds, saves a picture of the whole screen with the window centred
# on it (pi-lookup-screen.png, when ImageMagick's import is at hand) and ends
# it. Nothing is fetched: the window is only shown.
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
build=$(cd "$build" && pwd)
out=$build/app-pictures-xvfb
mkdir -p "$out"
export QT_QPA_PLATFORM=xcb

xvfb-run -a -s "-screen 0 1024x768x24" "$build/app/tests/pi-lookup-pictures" "$out" --screen

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1/app/qt/pi-lookup" & pid=$!
  sleep 3
  if ! kill -0 "$pid" 2>/dev/null; then echo "pi-lookup ended by itself" >&2; exit 1; fi
  if command -v import >/dev/null; then import -window root "$2/pi-lookup-screen.png"; fi
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "pi-lookup ran under Xvfb"
' _ "$build" "$out"
ls "$out"
