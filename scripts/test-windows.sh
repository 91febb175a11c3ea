#!/usr/bin/env bash
# The Windows build and its tests: cross-compiles pi-lookup.exe and the unit
# tests with mingw-w64 into build/windows and runs them under Wine (Debian's
# wine64) through CTest, the window test on a virtual X server without a
# window manager. Pictures of the window end up in build/windows/app-pictures.
#
#   bash scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh scripts/packages-windows.txt

dir=build/windows
wine=/usr/lib/wine/wine64
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

cmake -S . -B "$dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPI_COMPONENTS="text;web;app"
cmake --build "$dir" -j "$(nproc)"

# A Wine prefix of the build's own, made once. Wine's .NET and HTML engines
# are not installed (nothing is downloaded). Chinese texts in the system's
# fonts fall back to the CJK font, as a Windows with East Asian support does.
export WINEPREFIX="$dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  timeout 300 "$wine" wineboot -i
  link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  for face in "MS Shell Dlg" "MS Shell Dlg 2" Tahoma "Microsoft Sans Serif" "Segoe UI" Arial \
              "Times New Roman" "DejaVu Sans"; do
    timeout 60 "$wine" reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f \
      > /dev/null
  done
  timeout 60 /usr/lib/wine/wineserver -w
fi

# A virtual X server on the first free display, and nothing else on it.
display=
for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp > "$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
cleanup() {
  /usr/lib/wine/wineserver -k 2> /dev/null || true
  kill "$xvfb_pid" 2> /dev/null || true
  wait "$xvfb_pid" 2> /dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

# One Wine server for the whole run, so that each test program starts quickly.
/usr/lib/wine/wineserver -p
timeout 120 "$wine" "$dir/text/tests/pl_text_tests.exe" --gtest_list_tests > /dev/null

rm -rf "$dir/app-pictures"
status=0
ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$(nproc)" || status=$?

# The window's pictures as PNG, for a person to look at.
for bmp in "$dir"/app-pictures/*.bmp; do
  [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
exit "$status"
