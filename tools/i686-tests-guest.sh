#!/usr/bin/env bash
# Runs the i686 build's Windows tests under 32-bit Wine; tools/i686-tests.sh
# runs it inside the emulated machine of tools/guest-run.
#
#   tools/i686-tests-guest.sh RESULTS-DIR
#
# One wineserver and one Xvfb serve the whole run: CTest of the windows preset
# (the end-to-end test against chrony in namespaces included) and the wizard's
# screenshots at 96 and 144 dots per inch, which go to RESULTS-DIR/screenshots
# and are checked as CTest's quickintro_screenshots checks them elsewhere. A booted 32-bit prefix is
# kept in RESULTS-DIR as a tar, named after the Wine version, and unpacked
# instead of made anew when it is there. Exit 0 only if everything passed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in
  -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
  "") echo "usage: tools/i686-tests-guest.sh RESULTS-DIR" >&2; exit 64 ;;
esac
results=$1
bin=$root/build/windows/bin
template=/tmp/zara-wineprefix-template
status=0

stage_start=$SECONDS
stage_done() { echo "== i686 guest: $1 in $((SECONDS - stage_start)) s"; stage_start=$SECONDS; }

# Programs mapped straight from the host's share crash at start; from memory
# they run. The copy sits over the build's bin folder, so CTest's paths hold.
copy_programs_to_memory() {
  local copy=/tmp/zara-i686-bin
  cp -a "$bin" "$copy" && mount --bind "$copy" "$bin"
}

make_prefix_template() {
  WINEPREFIX=$template WINEARCH=win32 WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d" \
    "$root/tools/wine-make-prefix" 1800
}

# A booted 32-bit prefix in $template: unpacked from the kept tar, or made
# and then kept.
prepare_prefix_template() {
  local wine_version cache
  wine_version=$(/usr/lib/wine/wine --version | tr -c 'A-Za-z0-9.\n-' '_')
  cache=$results/wineprefix-win32-$wine_version.tar.zst
  if [ -f "$cache" ] && mkdir -p "$template" && zstd -dc "$cache" | tar -xf - -C "$template"; then
    stage_done "32-bit prefix unpacked from $(basename "$cache")"
    return 0
  fi
  rm -rf "$template"
  make_prefix_template || { echo "== i686 guest: making the 32-bit prefix failed"; tail -n 20 "$template.wineboot.log"; return 1; }
  stage_done "32-bit prefix made"
  rm -f "$results"/wineprefix-win32-*.tar.zst
  tar -cf - -C "$template" . | zstd -q -1 -T2 -o "$cache.part" && mv "$cache.part" "$cache"
  stage_done "32-bit prefix kept as $(basename "$cache")"
}

# Every page of the wizard in both modes at two scales, one check per page,
# and one more that those at 96 dpi are as before and those at 144 dpi 1.5
# times as large.
take_screenshots() {
  local shots=$results/screenshots made compared=0
  "$root/tests/quickintro/wizard_screenshots_test.sh" "$bin/quickintro.exe" "$shots" || compared=1
  made=$(find "$shots" -name '*.png' -size +1k 2>/dev/null | wc -l)
  echo "== i686 wizard screenshots: $made passed, $((28 - made)) failed"
  echo "== i686 wizard screenshots as before at 96 dpi, scaled at 144: $((1 - compared)) passed, $compared failed"
  [ "$made" -eq 28 ] && [ "$compared" -eq 0 ] || status=1
}

echo "== i686 guest: $(nproc) processors, $(awk '/MemTotal/ { print int($2 / 1024) }' /proc/meminfo) MB, $(/usr/lib/wine/wine --version)"
copy_programs_to_memory || { echo "== i686 guest: copying the programs to memory failed"; exit 1; }
prepare_prefix_template || exit 1
cp -a "$template" /tmp/zara-wineprefix

export ZARA_DISPLAY_NUMBER=1 ZARA_WIN32_PREFIX_TEMPLATE=$template ZARA_E2E_EMULATED=1
# shellcheck source=tools/wine-env.sh
. "$root/tools/wine-env.sh" /tmp/zara-wineprefix 32
trap zara_wine_stop EXIT
stage_done "wineserver and Xvfb started"
# Wine's desktop process, held open for the whole run: started anew for each
# test program, it can take longer than Wine waits for it here.
"$root/tools/wine-keep-desktop" "$bin/wine_desktop_keeper.exe" || status=1
stage_done "Wine's desktop held"

cd "$root" || exit 1
# The screenshots are taken once, below, where they are kept. The scaled
# window's checks run here at 144 dpi; at 120 and 192 they run under wine64
# (the windows-x64 suite), which is many times faster than this machine.
ctest --preset windows -LE 'static|screenshots' -E 'quickintro_scaled_form_test_at_(120|192)' || status=1
cp build/windows/Testing/Temporary/LastTest.log "$results/LastTest.log" 2>/dev/null || true
stage_done "CTest of the windows preset"

take_screenshots
stage_done "wizard screenshots"
exit $status
