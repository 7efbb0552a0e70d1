#!/usr/bin/env bash
# Measures the wizard's start under Wine at 96 and at 144 dots per inch, and
# the executable's size:
#
#   bench/wizard_first_paint.sh [QUICKINTRO-EXE] [RUNS]
#
# Start to first paint: from the moment the shell starts the program to the
# end of the first page's paint, as the wizard's scripted test build beside
# the executable (quickintro_scripted.exe, the same sources plus the hook)
# reports it with "--report-painted"; also the spans the program sees itself,
# from its process creation and from the start of its own code (WinMain).
# RUNS runs at each scale (Wine's LogPixels, tools/wine-dpi); the first of
# each is left out of the median (the first of all is a cold start of the
# prefix, and at 144 dpi the first run also scales the pictures it shows,
# which later runs do again: each run is a new process). The size is the
# shipped executable's. A measurement, not a test: nothing is asserted.
# ("--at-current-scale" measures at the scale Wine has, which is what each
# scale's run does.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
at_current_scale=
if [ "${1:-}" = --at-current-scale ]; then at_current_scale=1; shift; fi
exe=${1:-$root/build/windows-x64/bin/quickintro.exe}
runs=${2:-7}
[ -f "$exe" ] || { echo "no $exe: build it first (cmake --build --preset windows-x64)" >&2; exit 1; }
scripted=$(dirname "$exe")/quickintro_scripted.exe
[ -f "$scripted" ] || { echo "no $scripted: build it first (cmake --build --preset windows-x64)" >&2; exit 1; }

read -r bits loader < <("$root/tools/wine-loader" "$exe")
if [ "$bits" = 64 ]; then strip=x86_64-w64-mingw32-strip; else strip=i686-w64-mingw32-strip; fi

if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  # shellcheck source=tools/wine-env.sh
  . "$root/tools/wine-env.sh" "$root/build/bench-wizard-wineprefix-$bits" "$bits"
  trap zara_wine_stop EXIT
fi
export WINEDEBUG=-all
# The display has no window manager: without this, showing the window waits
# for one and the wait would swamp the figure.
"$loader" reg add 'HKCU\Software\Wine\AppDefaults\quickintro_scripted.exe\X11 Driver' /v Managed /d N /f \
  </dev/null >/dev/null 2>&1

if [ -z "$at_current_scale" ]; then
  for dpi in 96 144; do
    echo "at $dpi dpi:"
    "$root/tools/wine-dpi" "$dpi" "$0" --at-current-scale "$exe" "$runs"
  done
  stripped=$(mktemp)
  "$strip" -o "$stripped" "$exe"
  echo "executable: $(stat -c %s "$exe") bytes as built, $(stat -c %s "$stripped") bytes stripped"
  rm -f "$stripped"
  exit 0
fi

report=$(mktemp -d)/painted

measure() {  # prints: ms from launch, from process creation, from the program's start
  rm -f "$report"
  local launched
  launched=$(date +%s%3N)
  "$loader" "$scripted" --report-painted "Z:${report//\//\\}" </dev/null >/dev/null 2>&1 &
  local pid=$!
  until [ -f "$report" ]; do kill -0 "$pid" 2>/dev/null || return 1; sleep 0.01; done
  local painted since_creation since_start
  # A Windows text file: its line ends in CR LF.
  read -r painted since_creation since_start _ < <(tr -d '\r' <"$report")
  rm -f "$report"
  wait "$pid" || true
  echo "$((painted - launched)) $since_creation $since_start"
}

echo "start to first painted page, $runs runs ($exe)"
launch=() inside=() own=()
for run in $(seq "$runs"); do
  read -r a b c < <(measure)
  echo "  run $run: ${a} ms from launch, ${b} ms from process creation, ${c} ms from WinMain"
  if [ "$run" -gt 1 ]; then launch+=("$a"); inside+=("$b"); own+=("$c"); fi
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
if [ "${#launch[@]}" -gt 0 ]; then
  echo "median of the runs after the first: $(median "${launch[@]}") ms from launch, $(median "${inside[@]}") ms from" \
       "process creation, $(median "${own[@]}") ms from WinMain"
fi
