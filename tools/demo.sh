#!/usr/bin/env bash
# The main job: builds the Windows deliverables and the release zip, starts a
# private time server (chrony in a network namespace), asks it for the time
# through SNTP.dll with sntpquery.exe, and renders every page of the wizard.
# Installs missing packages first (as root). On a machine new to Wine, the
# first start of each Wine prefix is made and waited for before any program
# of the demo runs (tools/wine-make-prefix), which can take minutes.
# Exit 0 when the query answered and every page was rendered.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/setup.sh

build() {
  echo "== building $1"
  tools/build-preset "$1"
}

build windows
(cd build/windows && cpack -G ZIP >/dev/null)
echo "release zip: $(ls build/windows/*.zip)"

# The shipped binaries are i686; a machine that cannot execute 32-bit x86 code
# runs the same sources built for x86_64 under wine64.
run_preset=windows
if ! tools/can-run-x86-32; then
  echo "this machine cannot execute 32-bit x86 code: running the x86_64 build under wine64"
  run_preset=windows-x64
  build windows-x64
fi
bin=$root/build/$run_preset/bin
read -r bits _ < <(tools/wine-loader "$bin/sntpquery.exe")

echo "== starting Wine for the $bits-bit build"
# shellcheck source=tools/wine-env.sh
. tools/wine-env.sh "$root/build/$run_preset/wineprefix" "$bits"
# shellcheck source=tools/testnet.sh
. tools/testnet.sh
stop_all() { zara_net_down; zara_wine_stop; }
trap stop_all EXIT

# The query's failure does not stop the wizard's pages from being rendered,
# but the demo ends with it.
query_status=0
echo "== asking the embedded time server (chrony at $zara_net_server) through SNTP.dll"
if why=$(zara_net_usable); then
  zara_net_up "$root/build/demo-net"
  zara_net_wine_start "$bin/sntpquery.exe"
  sleep 1  # chrony's start
  zara_net_wine tools/wine-run "$bin/sntpquery.exe" "$zara_net_server" timeserver.test || query_status=$?
  zara_net_down
else
  echo "no private network here ($why): asking 127.0.0.1 instead"
  tools/wine-run "$bin/sntpquery.exe" 127.0.0.1 || query_status=$?
fi
echo "log: $bin/sntp.log"

echo "== rendering the wizard's pages"
screenshots_status=0
tools/wizard-screenshots.sh "$root/build/screenshots" "$bin/quickintro.exe" || screenshots_status=$?
echo "screenshots: $root/build/screenshots"

if [ "$query_status" -ne 0 ]; then
  echo "demo: the time query failed: sntpquery.exe exited with status $query_status (see README, Querying a real server)" >&2
fi
if [ "$screenshots_status" -ne 0 ]; then
  echo "demo: the wizard's pages were not all rendered (tools/wizard-screenshots.sh exited with status $screenshots_status)" >&2
fi
[ "$query_status" -eq 0 ] && [ "$screenshots_status" -eq 0 ]
