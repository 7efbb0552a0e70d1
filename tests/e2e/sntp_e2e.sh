#!/usr/bin/env bash
# End to end: sntpquery.exe loads SNTP.dll under Wine and queries chrony in a
# private network of namespaces (tools/testnet.sh).
#   sntp_e2e.sh BINDIR WORKDIR PLANTED_WSOCK32 RESETTING_WSOCK32
# BINDIR holds sntpquery.exe and SNTP.dll; PLANTED_WSOCK32 is a wsock32.dll
# that leaves the file wsock32.loaded beside itself when it is loaded;
# RESETTING_WSOCK32 one that reports closed ports as Windows does. Exit 0 all
# passed, 1 a failure, 77 skipped (no root or no namespaces here).
set -euo pipefail
bindir=$1
work=$2
planted_wsock32=$3
resetting_wsock32=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tools/testnet.sh
. "$root/tools/testnet.sh"

why=$(zara_net_usable) || { echo "SKIP: end-to-end test needs a private network: $why"; exit 77; }

rm -rf "$work" && mkdir -p "$work"
zara_net_up "$work"
trap zara_net_down EXIT
# The namespace's prefix and loader follow the program's bits.
zara_net_wine_start "$bindir/sntpquery.exe"

# An emulated machine (ZARA_E2E_EMULATED=1) is many times slower. Wine's
# desktop process is held open there, as its start can outlast Wine's own wait
# for it. A program's first query also brings up what its windows need, which
# can outlast the 4 s deadline: a query that must answer is asked once more by
# the same program, and the last answer decides. A reply waits tens of
# milliseconds between its arrival and its reading, which the offset carries;
# and QueryServer ends later after its deadline.
warm=0 tolerance=0.05 late_ms=500 quick_ms=3000
if [ "${ZARA_E2E_EMULATED:-}" = 1 ]; then
  warm=1 tolerance=0.25 late_ms=2000 quick_ms=3900
  zara_net_wine "$root/tools/wine-keep-desktop" "$bindir/wine_desktop_keeper.exe" || exit 1
fi

# shellcheck source=tests/checks.sh
. "$root/tests/checks.sh"

# Runs sntpquery (of the folder in $program_dir, BINDIR by default) with the
# given arguments; sets out, code and seconds.
query() {
  run_query "$@"
  # Under emulation the wineserver may kill a program whose Unix process
  # outlasts its last thread's exit by a few milliseconds: status 137 after
  # the program's work is done, which no Windows machine gives. It is asked
  # once more; anywhere else 137 stands.
  if [ "$code" -eq 137 ] && [ "${ZARA_E2E_EMULATED:-}" = 1 ]; then
    echo "  (killed by SIGKILL while exiting under emulation: asked once more)"
    run_query "$@"
  fi
}

run_query() {
  local start end
  start=$(date +%s.%N)
  code=0
  # Windows programs end their lines with CR LF.
  out=$(zara_net_wine "$root/tools/wine-run" "${program_dir:-$bindir}/sntpquery.exe" "$@" 2>"$work/stderr") || code=$?
  out=${out//$'\r'/}
  end=$(date +%s.%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
  echo "  \$ sntpquery $* -> exit $code in ${seconds}s"
  [ -z "$out" ] || echo "  | ${out//$'\n'/$'\n'  | }"
}

# Offset in seconds of the last result line that has the given code.
offset_of() { sed -n "s/^.*: code $1 .*(\(.*\) s)$/\1/p" <<<"$out" | tail -n 1; }
# Result codes, offsets (s) and QueryServer times (ms, with --timing) of the
# given server's lines, one a line.
codes_for() { sed -n "s/^$1: code \([0-9]*\) .*/\1/p" <<<"$out"; }
offsets_for() { sed -n "s/^$1: code .*(\(.*\) s)$/\1/p" <<<"$out"; }
milliseconds_for() { sed -n "s/^$1: QueryServer took \([0-9.]*\) ms .*/\1/p" <<<"$out"; }
all_within() {  # values (one a line), target, tolerance
  [ -n "$1" ] && while read -r v; do within "$v" "$2" "$3" || return 1; done <<<"$1"
}

# The library's debug output, as sntpquery --trace prints it.
trace_count() { grep -c -F "SNTP > $1" <<<"$out" || true; }
all_between() {  # values (one a line), low, high
  [ -n "$1" ] && while read -r v; do between "$v" "$2" "$3" || return 1; done <<<"$1"
}

within() { [ -n "$1" ] && awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { x = a - b; if (x < 0) x = -x; exit !(x <= d) }'; }
between() { awk -v x="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(x >= lo && x <= hi) }'; }

# The true offset is the server's UTC minus the local time: minus the zone's
# distance from UTC; both clocks are this machine's clock.
zone=$(date +%z)
true_offset=$(( -( (${zone:1:2} * 3600 + ${zone:3:2} * 60) * (${zone:0:1}1) ) ))

# chrony may need a moment after start before it answers.
for _ in 1 2 3 4 5; do query --trace --repeat $((1 + warm)) "$zara_net_server"; [ "$code" -eq 0 ] && break; sleep 1; done
check "chrony by address answers with code 0" [ "$code" -eq 0 ]
check "offset within $tolerance s of $true_offset s" within "$(offset_of 0)" "$true_offset" "$tolerance"
check "... listening on local port 123, which is free here" [ "$(trace_count "not available")" -eq 0 ]

# Etc/GMT-1 is one hour east of UTC: a correct clock there is 1/24 day ahead.
TZ=Etc/GMT-1 query --repeat $((1 + warm)) "$zara_net_server"
check "one hour east of UTC the offset is -1/24 day" within "$(offset_of 0)" -3600 "$tolerance"

query --repeat $((1 + warm)) timeserver.test
check "chrony by host name answers with code 0" [ "$code" -eq 0 ]

query --repeat $((3 + warm)) --cleanup "$zara_net_server"
check "three queries with clean-up between all answer" [ "$(grep -c ': code 0 OK' <<<"$out")" -ge 3 ]

query "$zara_net_silent"
check "a silent server gives code 1 Timeout" [ "$code" -eq 1 ]
check "the time-out comes after the 4 s deadline, not long after" between "$seconds" 3.9 30

query --timing no-such-host.invalid
check "a name that does not resolve gives code 3 Resolve Error" [ "$code" -eq 3 ]
check "... as soon as the name server says so" between "$(milliseconds_for no-such-host.invalid)" 0 "$quick_ms"

# The name server never answers for this name; a blocking lookup would take
# the resolver's 10 s.
query --timing "$zara_net_unanswered_name"
check "a name server that never answers gives code 3" [ "$code" -eq 3 ]
check "... at the 4 s deadline" between "$(milliseconds_for "$zara_net_unanswered_name")" 3900 $((4000 + late_ms))

# Replies that no client should believe are ignored: with nothing better,
# each query times out at its deadline.
refused="$zara_net_scripted_unsynchronised $zara_net_scripted_zero_transmit $zara_net_scripted_wrong_origin"
# shellcheck disable=SC2086
query $refused
for server in $refused; do
  check "scripted reply from $server is ignored: code 1" [ "$(codes_for "$server")" = 1 ]
done

query --repeat $((1 + warm)) "$zara_net_scripted_ignored_then_good"
check "a good reply after a kiss-o'-death for another request gives code 0" [ "$code" -eq 0 ]
check "... with the good reply's offset" within "$(offset_of 0)" "$true_offset" "$tolerance"

# Each request but the first first gets the reply to the one before, an hour off.
query --repeat $((3 + warm)) "$zara_net_scripted_stale_then_good"
check "replies to earlier requests are ignored: three times code 0" \
  [ "$(codes_for "$zara_net_scripted_stale_then_good" | tail -n 3 | tr -d '\n')" = 000 ]
check "... each with the right offset" \
  all_within "$(offsets_for "$zara_net_scripted_stale_then_good" | tail -n 3)" "$true_offset" "$tolerance"

# A kiss-o'-death RATE that answers the request ends the query at once, and
# the library then holds that server back: the next query in the same
# program sends it nothing. Another server is asked as before.
kiss=$zara_net_scripted_kiss_o_death
kisses_before=$(zara_net_scripted_received "$kiss")
warm_up=; [ "$warm" = 1 ] && warm_up=$zara_net_server
query --timing --trace $warm_up "$kiss" "$kiss" "$zara_net_server"
check "a kiss-o'-death RATE gives code 1, and so does the next query of its server" \
  [ "$(codes_for "$kiss" | tr -d '\n')" = 11 ]
check "... each at once" all_between "$(milliseconds_for "$kiss")" 0 "$quick_ms"
check "... and only the first query's request reached it" \
  [ $(($(zara_net_scripted_received "$kiss") - kisses_before)) -eq 1 ]
check "another server asked next in the same program answers with code 0" \
  [ "$(codes_for "$zara_net_server" | tail -n 1)" = 0 ]
check "the trace tells the kiss" [ "$(trace_count "$kiss sent kiss-o'-death RATE: it is not asked again for 64 s")" -eq 1 ]
check "... and why the next query sent nothing" [ "$(trace_count "Not asking $kiss for another ")" -eq 1 ]

# A name's addresses (tools/testnet.sh's pool names) are all asked, one
# request each, in the resolver's order: each next one when the one before
# has not answered within the 1 s step, or at once when it is known dead.
answered_by() { sed -n "s/^$1: answered by //p" <<<"$out" | tail -n 1; }
last_ms() { milliseconds_for "$1" | tail -n 1; }
step_ms=1000

query --timing $warm_up silent-first.pool.test
check "a name whose first address is silent: chrony, its second, answers with code 0" [ "$code" -eq 0 ]
check "... one step and chrony's round trip after the query began" \
  between "$(last_ms silent-first.pool.test)" "$step_ms" $((step_ms + late_ms))
check "... and --timing tells which address answered" [ "$(answered_by silent-first.pool.test)" = "$zara_net_server" ]

query --timing --trace $warm_up silent-first.pool.test
check "--trace tells each address asked and the reply taken" \
  grep -q "^silent-first.pool.test: SNTP > received: reply from $zara_net_server taken" <<<"$out"
check "... and why the second address was asked" \
  grep -q "^silent-first.pool.test: SNTP > no reply from $zara_net_subnet.20 yet: asking the next address$" <<<"$out"

# Under Wine a closed port stays silent: the next address comes at its step.
query --timing $warm_up closed-first.pool.test
check "a name whose first address has no time server: chrony answers with code 0" [ "$code" -eq 0 ]
check "... at the step under Wine, which reports no closed port" \
  between "$(last_ms closed-first.pool.test)" "$step_ms" $((step_ms + late_ms))

# Windows reports the closed port on the next read of the socket that sent
# to it (WSAECONNRESET): the wsock32.dll that does so as Windows does stands
# in the prefix's system folder for these queries, Wine told to prefer it.
system_wsock32=$work/wineprefix/drive_c/windows/system32/wsock32.dll
windows_resets() {
  cp "$system_wsock32" "$work/wsock32.wine" && cp "$resetting_wsock32" "$system_wsock32"
  ZARA_CLOSED_PORTS=$zara_net_closed ZARA_NET_DLL_OVERRIDES="wsock32=n" "$@"
  cp "$work/wsock32.wine" "$system_wsock32"
}
windows_resets query --timing --trace $warm_up closed-first.pool.test
check "with Windows' report of a closed port: chrony answers with code 0" [ "$code" -eq 0 ]
check "... the closed port passed the turn, not the step" \
  grep -q "^closed-first.pool.test: SNTP > $zara_net_closed has no time server (Winsock error 10054)$" <<<"$out"
stepped=$(grep -c "^closed-first.pool.test: SNTP > no reply from $zara_net_closed yet" <<<"$out" || true)
check "... ... and no step was waited for" [ "$stepped" -eq 0 ]
# An emulated machine takes longer than the step for a query's own work.
if [ "$warm" = 0 ]; then
  check "... before the step" between "$(last_ms closed-first.pool.test)" 0 $((step_ms - 1))
fi
windows_resets query --timing $warm_up closed.pool.test
check "with Windows' report of a closed port: a name whose only address has none gives code 2" [ "$code" -eq 2 ]
check "... at once" between "$(last_ms closed.pool.test)" 0 "$quick_ms"

silent_before=()
for address in $zara_net_scripted_silent; do silent_before+=("$(zara_net_scripted_received "$address")"); done
query --timing --trace $warm_up all-silent.pool.test
check "a name whose addresses are all silent gives code 1" [ "$code" -eq 1 ]
check "... at the deadline" between "$(last_ms all-silent.pool.test)" 3900 $((4000 + late_ms))
# What the scripted servers received, and what the trace says was sent.
asked='' traced=''
index=0
for address in $zara_net_scripted_silent; do
  asked+="$(($(zara_net_scripted_received "$address") - silent_before[index])) "
  traced+="$(grep -c "^all-silent.pool.test: SNTP > connecting $address$" <<<"$out" || true) "
  index=$((index + 1))
done
field() { awk -v n="$1" '{ print $n }' <<<"$asked"; }
asked_in_turn() { [ "$(field 2)" = 1 ] && [ -z "$(tr -d ' 01' <<<"$asked")" ] && [ "$(field 6)" = 0 ]; }
check "... as the trace tells (requests: $asked)" [ "$asked" = "$traced" ]
check "... the first address at once, none twice, the fifth never" asked_in_turn
# Where the lookup and the windows' start take seconds (an emulated machine),
# fewer than four steps fit the deadline.
if [ "$warm" = 0 ]; then
  check "... each of its first four asked" [ "$asked" = "0 1 1 1 1 0 " ]
fi

kisses_before=$(zara_net_scripted_received "$kiss")
query --timing $warm_up kiss-first.pool.test kiss-first.pool.test
check "a name whose first address sends a kiss-o'-death: chrony answers both queries with code 0" \
  [ "$(codes_for kiss-first.pool.test | tr -d '\n')" = 00 ]
check "... the second at once, the address held back not asked again" \
  [ $(($(zara_net_scripted_received "$kiss") - kisses_before)) -eq 1 ]
check "... both answered by chrony" [ "$(sed -n 's/^kiss-first.pool.test: answered by //p' <<<"$out" | sort -u)" = "$zara_net_server" ]

# Another program holds local UDP port 123, as Windows' time service does:
# the query goes on without its listener, over the socket it sends from,
# and its trace says so once per query.
zara_net_hold_port_123 || exit 1
query --trace --repeat $((1 + warm)) "$zara_net_server"
zara_net_release_port_123
check "local port 123 held by another program: chrony still answers with code 0" [ "$code" -eq 0 ]
check "... with the right offset" within "$(offset_of 0)" "$true_offset" "$tolerance"
check "... and the trace says once per query that the listening port was not available" \
  [ "$(trace_count "listening port 123 not available (Winsock error 10048)")" -eq $((1 + warm)) ]

# A wsock32.dll put beside the program: Windows looks for a DLL loaded by name
# in the program's folder first, as Wine does when told to prefer native DLLs.
# The library loads the system's own copy by its full path.
planted="$work/planted"
mkdir -p "$planted"
cp "$bindir/sntpquery.exe" "$bindir/SNTP.dll" "$planted_wsock32" "$planted/"
program_dir=$planted ZARA_NET_DLL_OVERRIDES="wsock32=n,b" query --repeat $((1 + warm)) "$zara_net_server"
check "with a wsock32.dll planted beside the program a query answers with code 0" [ "$code" -eq 0 ]
check "... and the planted wsock32.dll is never loaded" [ ! -e "$planted/wsock32.loaded" ]

# The clock as a desktop program lives (tests/e2e/clock_standin.cpp): its
# windows repaint, its timers fire, its queue is never empty, it asks from
# worker threads, and someone floods its ports. Every QueryServer must give
# the right code by the 4 s deadline and its margin, while the caller's
# windows go on being served.
# The margin is what the machine's scheduling may add under load; the
# library's own is the caller's message in hand plus a tick of the clock.
margin_ms=$late_ms
# standin SERVER CODE CASE...: the cases in one program; their lines shown.
standin() {
  local server=$1 code=$2
  shift 2
  zara_net_wine "$root/tools/wine-run" "$bindir/clock_standin.exe" --expect "$code" --margin "$margin_ms" \
    ${warm_flag:+"$warm_flag"} "$server" "$@" >"$work/standin.out" 2>&1 || true
  sed 's/\r$//; s/^/  | /' "$work/standin.out"
}
passed() { grep -q "^ok: $1"$'\r'"\?$" "$work/standin.out"; }
warm_flag=; [ "$warm" = 1 ] && warm_flag=--warm
cases="quiet posting repainting slow-timer from-timer worker-per-query worker-while-blocked"
# shellcheck disable=SC2086
standin "$zara_net_server" 0 $cases
for case in $cases; do check "clock stand-in, $case: chrony answers with code 0" passed "$case"; done
cases="posting repainting slow-timer from-timer two-at-once"
# shellcheck disable=SC2086
standin "$zara_net_silent" 1 $cases
for case in posting repainting slow-timer from-timer; do
  check "clock stand-in, $case: a silent server gives code 1 by the deadline, the windows served" passed "$case"
done
check "clock stand-in: a query while a worker's runs is refused at once" passed two-at-once
# The flood lasts while two programs start and ask: far longer in an
# emulated machine.
flood_seconds=8
[ "$warm" = 1 ] && flood_seconds=90
zara_net_flood_listening_port "$flood_seconds"
standin "$zara_net_server" 0 posting
check "clock stand-in, local port 123 flooded: chrony answers with code 0" passed posting
standin "$zara_net_silent" 1 quiet
check "clock stand-in, local port 123 flooded: a silent server gives code 1 by the deadline" passed quiet
zara_net_flood_wait
standin "$zara_net_flooding" 1 posting
check "clock stand-in, both ports flooded by the server asked: code 1 by the deadline" passed posting
sed 's/^/  | /' "$work/flood_send.log" "$work/flood_answer.log"

# Without a display Wine makes no windows but message-only ones, which are
# all the library needs.
saved_display=${DISPLAY-}
unset DISPLAY
query --repeat $((1 + warm)) "$zara_net_server"
check "with no display a query still answers with code 0" [ "$code" -eq 0 ]
[ -z "$saved_display" ] || export DISPLAY=$saved_display

# A clock installed in a folder whose name the ANSI code page cannot spell
# (Greek and Cyrillic; Windows-1252 has neither) still gets its sntp.log. Wine
# takes its ANSI code page from the locale: C.UTF-8, present on every Debian,
# gives 1252 and keeps file names UTF-8 on the Linux side. The working folder
# is another one, so only the executable's path can lead the log there.
installed="$work/Ρολόι-Часы"
mkdir -p "$installed"
cp "$bindir/sntpquery.exe" "$bindir/SNTP.dll" "$installed/"
read -r _ loader < <("$root/tools/wine-loader" "$installed/sntpquery.exe")
ansi_code_page=$(LC_ALL=C.UTF-8 zara_net_wine "$loader" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' \
  /v ACP 2>/dev/null | sed -n 's/^.*REG_SZ *\([0-9]*\).*$/\1/p') || ansi_code_page=unreadable
check "Wine's ANSI code page under C.UTF-8 is 1252 (it is '$ansi_code_page')" [ "$ansi_code_page" = 1252 ]
code=0
(cd "$work" && LC_ALL=C.UTF-8 zara_net_wine "$root/tools/wine-run" "$installed/sntpquery.exe" \
  --repeat $((1 + warm)) "$zara_net_server" >"$work/installed.out" 2>&1) || code=$?
sed 's/^/  | /' "$work/installed.out"
check "from a Greek and Cyrillic folder a query answers with code 0" [ "$code" -eq 0 ]
# Each line: "dd.mm hh:nn:ss", three blanks, the message, CR LF; a line not so
# made is kept whole, so that it shows in the comparison.
log_messages() {
  sed -E 's/^[0-9]{2}\.[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}   (.*)\r$/\1/' "$1"
}
expected_log=$(printf -- '-%.0s' $(seq 53); echo; echo "SNTP Object is created"
  for _ in $(seq $((1 + warm))); do echo "Querying $zara_net_server"; done; echo "SNTP Object is destroyed")
check "... and its sntp.log beside it holds the load marker, the queries and the clean-up" \
  [ "$(log_messages "$installed/sntp.log" 2>&1)" = "$expected_log" ]

checks_summary
