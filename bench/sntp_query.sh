#!/usr/bin/env bash
# Measures SNTP.dll queries against chrony in the private test network:
# wall time per query (median of 20 separate runs, and 20 queries in one
# process), the process's CPU time, and the CPU time spent waiting 4 s for a
# silent server. Run as root after a Windows build:
#   bench/sntp_query.sh [BINDIR]      (default: build/windows-x64/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin=${1:-$root/build/windows-x64/bin}
. tools/testnet.sh
why=$(zara_net_usable) || { echo "cannot measure: $why"; exit 1; }

bits=64; loader=/usr/lib/wine/wine64
if [ "$(od -An -tx2 -j$(( $(od -An -tu4 -j60 -N4 "$bin/sntpquery.exe" | tr -d ' ') + 4 )) -N2 "$bin/sntpquery.exe" | tr -d ' ')" != 8664 ]; then
  bits=32; loader=/usr/lib/wine/wine
fi
. tools/wine-env.sh "$root/build/bench-wineprefix" "$bits"
zara_net_up "$root/build/bench-net"
trap 'zara_net_down; zara_wine_stop' EXIT
ZARA_NET_WINEARCH=win$bits zara_net_wine_start "$loader"

# chrony answers within a second or two of its start.
for _ in 1 2 3 4 5; do
  zara_net_wine tools/wine-run "$bin/sntpquery.exe" "$zara_net_server" >/dev/null 2>&1 && break
  sleep 1
done

TIMEFORMAT='%R %U %S'
timed() {  # runs sntpquery with the arguments; prints "wall user sys"
  { time zara_net_wine tools/wine-run "$bin/sntpquery.exe" "$@" >/dev/null 2>&1 || true; } 2>&1 | tail -n 1
}

for _ in $(seq 20); do timed "$zara_net_server"; done >"$root/build/bench-runs.txt"
awk '{ print $1 }' "$root/build/bench-runs.txt" | sort -n |
  awk '{ v[NR] = $1 } END { printf "separate processes: median wall %.3f s per query (process start included), n=%d\n", (v[10] + v[11]) / 2, NR }'
awk '{ cpu += $2 + $3 } END { printf "separate processes: mean CPU %.3f s per process (user+sys)\n", cpu / NR }' "$root/build/bench-runs.txt"

read -r wall user sys < <(timed --repeat 20 "$zara_net_server")
awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN {
  printf "one process, 20 queries: %.3f s wall, %.1f ms per query, CPU %.3f s\n", w, 1000 * w / 20, u + s }'

# The wait alone: the CPU of a run that only starts and prints its help is
# taken off, so Wine's own start-up does not count as waiting.
read -r _ base_user base_sys < <(timed --help)
read -r wall user sys < <(timed "$zara_net_silent")
awk -v w="$wall" -v u="$user" -v s="$sys" -v bu="$base_user" -v bs="$base_sys" 'BEGIN {
  wait = (u + s) - (bu + bs); if (wait < 0) wait = 0
  printf "silent server: %.2f s wall, CPU %.3f s in all, %.3f s beyond start-up = %.1f%% of one core while waiting (target: under 2%%)\n",
         w, u + s, wait, 100 * wait / w }'
