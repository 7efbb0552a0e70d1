#!/usr/bin/env bash
# Renders every page of the wizard, in both modes, to PNG files for review:
#
#   tools/wizard-screenshots.sh OUTDIR [QUICKINTRO-EXE]
#
# Builds nothing. Without an executable it takes build/windows-x64's, or
# build/windows's where this machine can run 32-bit code. The pages are shot
# from the test build beside it, quickintro_scripted.exe (the same sources
# with the hooks below), which may also be given directly. Uses the caller's
# Wine set-up when DISPLAY and WINEPREFIX are set (as tools/demo.sh does),
# else starts its own with tools/wine-env.sh.
#
# Each page is one run of the wizard: "--press-next N" walks it to the page
# and "--report-painted FILE" tells when the page is painted and where the
# window lies; the window is cut from the screen with ImageMagick's import,
# and deleting FILE closes the wizard without storing anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/wizard-screenshots.sh OUTDIR [QUICKINTRO-EXE]}
exe=${2:-}

if [ -z "$exe" ]; then
  for candidate in "$root/build/windows-x64/bin/quickintro.exe" "$root/build/windows/bin/quickintro.exe"; do
    if [ -f "$candidate" ]; then exe=$candidate; break; fi
  done
fi
[ -n "$exe" ] && [ -f "$exe" ] || { echo "no quickintro.exe: build it first (cmake --build --preset windows-x64)" >&2; exit 1; }
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
[ "$(basename "$exe")" = quickintro_scripted.exe ] || exe=$(dirname "$exe")/quickintro_scripted.exe
[ -f "$exe" ] || { echo "no $exe: build the wizard's scripted test build first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The loader follows the executable: 64-bit PE runs under wine64.
if [ "$("$root/tools/pe-bits" "$exe")" = 64 ]; then bits=64 loader=/usr/lib/wine/wine64; else bits=32 loader=/usr/lib/wine/wine; fi

if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  . "$root/tools/wine-env.sh" "$root/build/screenshots-wineprefix-$bits" "$bits"
  trap zara_wine_stop EXIT
fi
export WINEDEBUG=-all
# The display has no window manager: let Wine draw the wizard's title bar.
"$loader" reg add 'HKCU\Software\Wine\AppDefaults\quickintro_scripted.exe\X11 Driver' /v Managed /d N /f \
  </dev/null >/dev/null 2>&1

pages=(welcome select-tray open-preferences hide run-at-startup download-skins drag-n-drop critical-days)
report=$out/.painted

# shoot MODE-ARGUMENT NAME PRESSES: one page of one run, saved as NAME.png.
shoot() {
  local mode=$1 name=$2 presses=$3
  rm -f "$report"
  "$loader" "$exe" $mode --press-next "$presses" --report-painted "Z:${report//\//\\}" </dev/null >/dev/null 2>&1 &
  local pid=$! tries=0
  until [ -f "$report" ]; do
    if [ $((tries += 1)) -gt 600 ] || ! kill -0 "$pid" 2>/dev/null; then
      echo "the wizard did not paint $name" >&2
      kill "$pid" 2>/dev/null || true
      return 1
    fi
    sleep 0.1
  done
  local painted since_creation since_start left top width height
  read -r painted since_creation since_start left top width height <"$report"
  import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out/$name.png"
  rm -f "$report"
  wait "$pid" || true
  echo "$out/$name.png"
}

for presses in 0 1 2 3 4 5 6 7; do
  shoot init "first-run-$((presses + 1))of8-${pages[$presses]}" "$presses"
done
normal_pages=(0 2 3 4 5 6)
for presses in 0 1 2 3 4 5; do
  shoot "" "normal-$((presses + 1))of6-${pages[${normal_pages[$presses]}]}" "$presses"
done
