#!/usr/bin/env bash
# Renders every page of the wizard, in both modes and at several display
# scales, to PNG files for review:
#
#   tools/wizard-screenshots.sh [--dpi N]... OUTDIR [QUICKINTRO-EXE]
#
# Each --dpi N adds a scale in dots per inch (96 is 100 %, 120 125 %, 144
# 150 %, 192 200 %); without one the pages are shot at 96 and 144. The pages
# of scale N go to OUTDIR/Ndpi/, each run of the wizard at that scale
# (tools/wine-dpi). "--at-current-scale" shoots the pages at the scale Wine
# has, straight into OUTDIR, which is what each scale's run does. Builds
# nothing. Without an executable it takes build/windows-x64's, or
# build/windows's where this machine can run 32-bit code. The pages are shot
# from the test build beside it, quickintro_scripted.exe (the same sources
# with the hooks below), which may also be given directly. Uses the caller's
# Wine set-up when DISPLAY and WINEPREFIX are set (as tools/demo.sh does),
# else starts its own with tools/wine-env.sh.
#
# Each page is one run of the wizard: "--press-next N" walks it to the page
# and "--report-painted FILE" tells when the page is painted and where the
# window lies; the window is cut from the screen with ImageMagick's import,
# and deleting FILE closes the wizard without storing anything. A page that
# is not painted within ZARA_PAINT_SECONDS (default 180) fails the run, and
# so does a wizard that exits before it paints; the message tells which.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: tools/wizard-screenshots.sh [--dpi N]... OUTDIR [QUICKINTRO-EXE]"
scales=() at_current_scale=
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    --dpi) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || { echo "$usage (N a number)" >&2; exit 64; }; scales+=("$2"); shift 2 ;;
    --at-current-scale) at_current_scale=1; shift ;;
    -*) echo "wizard-screenshots: unknown option $1; $usage" >&2; exit 64 ;;
    *) break ;;
  esac
done
out=${1:?$usage}
exe=${2:-}
[ ${#scales[@]} -gt 0 ] || scales=(96 144)

if [ -z "$exe" ]; then
  for candidate in "$root/build/windows-x64/bin/quickintro.exe" "$root/build/windows/bin/quickintro.exe"; do
    if [ -f "$candidate" ]; then exe=$candidate; break; fi
  done
fi
if [ -z "$exe" ] || [ ! -f "$exe" ]; then
  echo "no quickintro.exe: build it first (cmake --build --preset windows-x64)" >&2; exit 1
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
[ "$(basename "$exe")" = quickintro_scripted.exe ] || exe=$(dirname "$exe")/quickintro_scripted.exe
[ -f "$exe" ] || { echo "no $exe: build the wizard's scripted test build first" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

read -r bits loader < <("$root/tools/wine-loader" "$exe")

if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  # shellcheck source=tools/wine-env.sh
  . "$root/tools/wine-env.sh" "$root/build/screenshots-wineprefix-$bits" "$bits"
  trap zara_wine_stop EXIT
fi
export WINEDEBUG=-all
# The display has no window manager: let Wine draw the wizard's title bar.
"$loader" reg add 'HKCU\Software\Wine\AppDefaults\quickintro_scripted.exe\X11 Driver' /v Managed /d N /f \
  </dev/null >/dev/null 2>&1

if [ -z "$at_current_scale" ]; then
  for dpi in "${scales[@]}"; do
    "$root/tools/wine-dpi" "$dpi" "$0" --at-current-scale "$out/${dpi}dpi" "$exe"
  done
  exit 0
fi

pages=(welcome select-tray open-preferences hide run-at-startup download-skins drag-n-drop critical-days)
report=$out/.painted

# wait_for_paint PID NAME: waits until the wizard of PID reports its page
# painted; fails, saying why, when it exits first or the time runs out.
wait_for_paint() {
  local pid=$1 name=$2 limit=${ZARA_PAINT_SECONDS:-180} started=$SECONDS status=0
  until [ -f "$report" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" || status=$?
      [ -f "$report" ] && return 0
      echo "wizard-screenshots: $name: the wizard exited with status $status before it painted the page" >&2
      return 1
    fi
    if [ $((SECONDS - started)) -ge "$limit" ]; then
      echo "wizard-screenshots: $name: no page painted within $limit s (the wizard still runs; stopped)" >&2
      kill "$pid" 2>/dev/null || true
      return 1
    fi
    sleep 0.1
  done
}

# shoot NAME PRESSES [MODE-ARGUMENT]: one page of one run, saved as NAME.png.
shoot() {
  local name=$1 presses=$2 pid left top width height
  rm -f "$report"
  "$loader" "$exe" "${@:3}" --press-next "$presses" --report-painted "Z:${report//\//\\}" </dev/null >/dev/null 2>&1 &
  pid=$!
  wait_for_paint "$pid" "$name" || exit 1
  # The report is a Windows text file: its line ends in CR LF. Its first
  # three fields are timings, which only the start-up benchmark reads.
  read -r _ _ _ left top width height < <(tr -d '\r' <"$report")
  import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out/$name.png"
  rm -f "$report"
  wait "$pid" || true
  echo "$out/$name.png"
}

for presses in 0 1 2 3 4 5 6 7; do
  shoot "first-run-$((presses + 1))of8-${pages[$presses]}" "$presses" init
done
normal_pages=(0 2 3 4 5 6)
for presses in 0 1 2 3 4 5; do
  shoot "normal-$((presses + 1))of6-${pages[${normal_pages[$presses]}]}" "$presses"
done
