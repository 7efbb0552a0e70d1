#!/usr/bin/env bash
# Measures SNTP.dll queries against chrony in the private test network:
# per query, the round trip on the wire, the time inside QueryServer and
# their difference (the first query of a process, and the median of 20
# after it); QueryServer's time with a name server that never answers; wall
# time per query (median of 20 separate runs, and 20 queries in one process),
# the process's CPU time, and the CPU time spent waiting 4 s for a silent
# server; and what the log says of one query. Run as root after a Windows
# build:
#   bench/sntp_query.sh [--hold-port-123] [BINDIR]   (default: build/windows-x64/bin)
# With --hold-port-123 another program holds local UDP port 123 of the
# client throughout, as Windows' time service does, and the library asks
# without its listener.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
hold=0
if [ "${1:-}" = --hold-port-123 ]; then hold=1; shift; fi
bin=${1:-$root/build/windows-x64/bin}
# shellcheck source=tools/testnet.sh
. tools/testnet.sh
why=$(zara_net_usable) || { echo "cannot measure: $why"; exit 1; }

read -r bits _ < <(tools/wine-loader "$bin/sntpquery.exe")
# shellcheck source=tools/wine-env.sh
. tools/wine-env.sh "$root/build/bench-wineprefix" "$bits"
zara_net_up "$root/build/bench-net"
trap 'zara_net_down; zara_wine_stop' EXIT
zara_net_wine_start "$bin/sntpquery.exe"
if [ "$hold" = 1 ]; then
  zara_net_hold_port_123
  echo "local UDP port 123: held by another program (the library asks without its listener)"
else
  echo "local UDP port 123: free (the library listens there during each query)"
fi

# chrony answers within a second or two of its start.
for _ in 1 2 3 4 5; do
  zara_net_wine tools/wine-run "$bin/sntpquery.exe" "$zara_net_server" >/dev/null 2>&1 && break
  sleep 1
done

# Per query: the round trip, from the request leaving the client's interface
# to the reply reaching it, against the time inside QueryServer.
wire=$root/build/bench-wire.txt
queries=$root/build/bench-queries.txt
ip netns exec "$zara_net_cli" /usr/bin/python3 bench/sntp_wire.py sniff "$zara_net_server" "$wire" </dev/null &
sniffer=$!
sleep 0.5
zara_net_wine tools/wine-run "$bin/sntpquery.exe" --timing --repeat 21 "$zara_net_server" >"$queries" 2>&1 || true
kill "$sniffer"; wait "$sniffer" || true
echo "against chrony (target: the difference within 2 ms after the first query):"
/usr/bin/python3 bench/sntp_wire.py report "$wire" "$queries"

# The name server of the test network never answers for this name; the
# resolver alone would wait 10 s.
zara_net_wine tools/wine-run "$bin/sntpquery.exe" --timing "$zara_net_unanswered_name" >"$queries" 2>&1 || true
awk -F'took ' '/: code / { sub(/,.*/, ""); result = $0 } /QueryServer took/ { took = $2 + 0 } END {
  printf "name server that never answers: %s, %.1f ms inside QueryServer (target: at most 4100 ms)\n", result, took }' \
  <(tr -d '\r' <"$queries")

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

# The wait alone: CPU ticks of the querying process and of its wineserver,
# sampled from 1.5 s to 3.5 s after the start of a query to a silent server,
# while the library waits for its 4 s deadline.
cpu_ticks() { { cat "$@" 2>/dev/null || true; } | awk '{ t += $14 + $15 } END { print t + 0 }'; }
namespace_process() {  # the newest process of the client namespace running $1
  for p in $(ip netns pids "$zara_net_cli"); do
    if grep -qa "$1" "/proc/$p/cmdline" 2>/dev/null; then echo "$p"; fi
  done | tail -n 1
}
read -r wall user sys < <(timed "$zara_net_silent")
zara_net_wine tools/wine-run "$bin/sntpquery.exe" "$zara_net_silent" >/dev/null 2>&1 &
query_pid=$!
sleep 1.5
pid=$(namespace_process sntpquery)
server=$(namespace_process wineserver)
p0=$(cpu_ticks "/proc/$pid/stat"); s0=$(cpu_ticks "/proc/$server/stat")
sleep 2
p1=$(cpu_ticks "/proc/$pid/stat"); s1=$(cpu_ticks "/proc/$server/stat")
wait "$query_pid" || true  # the query ends with code 1
awk -v w="$wall" -v u="$user" -v s="$sys" -v p="$((p1 - p0))" -v sv="$((s1 - s0))" -v hz="$(getconf CLK_TCK)" 'BEGIN {
  printf "silent server: code 1 after %.2f s wall, CPU %.3f s in all (Wine start-up included)\n", w, u + s
  printf "while waiting: %.1f%% of one core for the process, %.1f%% for its wineserver (target: under 2%%)\n",
         100 * p / hz / 2, 100 * sv / hz / 2 }'

# What the log says of one query.
log_size=$(stat -c %s "$bin/sntp.log" 2>/dev/null || echo 0)
zara_net_wine tools/wine-run "$bin/sntpquery.exe" "$zara_net_server" >/dev/null 2>&1 || true
echo "log of one query:"
tail -c +$((log_size + 1)) "$bin/sntp.log" | tr -d '\r' | sed 's/^/  /'
