# shellcheck shell=bash
# Sourced, not run: a private test network for end-to-end runs of SNTP.dll.
#
#   zara_net_up WORKDIR     two network namespaces joined by a veth pair:
#                             server ns: 10.213.0.1 chrony serving time on UDP 123
#                                        10.213.0.3 a silent host: reads requests, never answers
#                                        10.213.0.4 a flooding host: answers a request with 48-byte
#                                          datagrams, as fast as it can for 6 s, to the port the
#                                          request came from and to port 123 of its sender
#                                          (tools/testnet/flood_ntp.py)
#                                        10.213.0.5 the source of zara_net_flood_listening_port
#                                        10.213.0.20-25 scripted silent servers: they count the
#                                          requests they get and never answer
#                                        10.213.0.30 a live host with no time server: its port
#                                          123 is closed (ICMP port unreachable)
#                                        10.213.0.10-15 scripted replies (zara_net_scripted_*,
#                                          tools/testnet/scripted_ntp.py); zara_net_scripted_received
#                                          ADDRESS counts the datagrams one of them got
#                                        10.213.0.53 the name server: says "no such name" at
#                                          once, except for names under silent.test, which
#                                          it reads and never answers, and the pool names
#                                          below, which have several addresses each
#                             pool names:  silent-first.pool.test  10.213.0.20, then chrony
#                                          closed-first.pool.test  10.213.0.30, then chrony
#                                          kiss-first.pool.test    10.213.0.10 (RATE), then chrony
#                                          all-silent.pool.test    10.213.0.21-25, five silent
#                                          closed.pool.test        10.213.0.30 alone
#                             client ns: 10.213.0.2, its host name resolves there,
#                                        "timeserver.test" resolves to 10.213.0.1
#   zara_net_wine_start EXE makes the client ns's Wine prefix for programs of EXE's
#                           bits and starts its wineserver
#   zara_net_wine CMD...    runs CMD in the client ns under Wine, with that wineserver
#                           and prefix of its own (sockets are made by the wineserver,
#                           so it must live inside the namespace)
#   zara_net_hold_port_123  another program holds UDP port 123 of the client ns, as
#                           Windows' time service does, until zara_net_release_port_123
#   zara_net_flood_listening_port SECONDS
#                           floods UDP port 123 of the client from 10.213.0.5, in the
#                           background, until zara_net_flood_wait
#   zara_net_down           removes all of it
#
# Nothing leaves the machine: the subnet gets an unreachable route in the root
# namespace, so a socket opened in the wrong namespace fails instead of sending.
# Needs root and iproute2; zara_net_usable tells whether this machine allows it.

zara_net_subnet=10.213.0
zara_net_server=$zara_net_subnet.1
zara_net_client=$zara_net_subnet.2
zara_net_silent=$zara_net_subnet.3
zara_net_flooding=$zara_net_subnet.4
zara_net_flood_source=$zara_net_subnet.5
zara_net_scripted_kiss_o_death=$zara_net_subnet.10
zara_net_scripted_unsynchronised=$zara_net_subnet.11
zara_net_scripted_zero_transmit=$zara_net_subnet.12
zara_net_scripted_wrong_origin=$zara_net_subnet.13
zara_net_scripted_ignored_then_good=$zara_net_subnet.14
zara_net_scripted_stale_then_good=$zara_net_subnet.15
zara_net_name_server=$zara_net_subnet.53
zara_net_unanswered_name=time.silent.test
zara_net_closed=$zara_net_subnet.30
zara_net_scripted_silent="$zara_net_subnet.20 $zara_net_subnet.21 $zara_net_subnet.22 $zara_net_subnet.23"
zara_net_scripted_silent+=" $zara_net_subnet.24 $zara_net_subnet.25"

zara_net_usable() {
  [ "$(id -u)" -eq 0 ] || { echo "needs root"; return 1; }
  command -v ip >/dev/null || { echo "needs iproute2"; return 1; }
  command -v chronyd >/dev/null || { echo "needs chrony"; return 1; }
  ip netns add zara-probe-$$ 2>/dev/null || { echo "cannot create network namespaces"; return 1; }
  ip netns del zara-probe-$$
}

zara_net_up() {
  zara_net_dir=$1
  zara_net_srv=zara-srv-$$
  zara_net_cli=zara-cli-$$
  mkdir -p "$zara_net_dir" "/etc/netns/$zara_net_cli"
  ip route add unreachable "$zara_net_subnet.0/24" 2>/dev/null || true
  ip netns add "$zara_net_srv"
  ip netns add "$zara_net_cli"
  ip link add "zs$$" type veth peer name "zc$$"
  ip link set "zs$$" netns "$zara_net_srv"
  ip link set "zc$$" netns "$zara_net_cli"
  for address in "$zara_net_server" "$zara_net_silent" "$zara_net_flooding" "$zara_net_flood_source" \
    "$zara_net_closed" "$zara_net_name_server" $(zara_net_scripted_addresses); do
    ip -n "$zara_net_srv" addr add "$address/24" dev "zs$$"
  done
  ip -n "$zara_net_cli" addr add "$zara_net_client/24" dev "zc$$"
  for ns in "$zara_net_srv" "$zara_net_cli"; do ip -n "$ns" link set lo up; done
  ip -n "$zara_net_srv" link set "zs$$" up
  ip -n "$zara_net_cli" link set "zc$$" up
  printf '127.0.0.1 localhost\n%s %s\n%s timeserver.test\n' \
    "$zara_net_client" "$(hostname)" "$zara_net_server" >"/etc/netns/$zara_net_cli/hosts"
  # The resolver's own time limits (5 s, twice) stay: a name server that
  # never answers holds a blocking lookup for 10 s.
  printf 'nameserver %s\n' "$zara_net_name_server" >"/etc/netns/$zara_net_cli/resolv.conf"
  zara_net_start_chrony
  zara_net_start_silent
  zara_net_start_scripted
  zara_net_start_flooding
}

zara_net_scripted_addresses() {
  echo "$zara_net_scripted_kiss_o_death $zara_net_scripted_unsynchronised $zara_net_scripted_zero_transmit" \
    "$zara_net_scripted_wrong_origin $zara_net_scripted_ignored_then_good $zara_net_scripted_stale_then_good" \
    "$zara_net_scripted_silent"
}

# The names with several addresses, as the name server takes them.
zara_net_pool_names() {
  local s=$zara_net_subnet
  echo "silent-first.pool.test=$s.20,$zara_net_server closed-first.pool.test=$zara_net_closed,$zara_net_server" \
    "kiss-first.pool.test=$zara_net_scripted_kiss_o_death,$zara_net_server" \
    "all-silent.pool.test=$s.21,$s.22,$s.23,$s.24,$s.25 closed.pool.test=$zara_net_closed"
}

# The scripted time servers and the name server, each a Python process.
zara_net_start_scripted() {
  local tools
  tools=$(dirname "${BASH_SOURCE[0]}")/testnet
  local silent=() address names
  for address in $zara_net_scripted_silent; do silent+=("$address=silent"); done
  ip netns exec "$zara_net_srv" /usr/bin/python3 "$tools/scripted_ntp.py" \
    "$zara_net_scripted_kiss_o_death=kiss-o-death" "$zara_net_scripted_unsynchronised=unsynchronised" \
    "$zara_net_scripted_zero_transmit=zero-transmit" "$zara_net_scripted_wrong_origin=wrong-origin" \
    "$zara_net_scripted_ignored_then_good=ignored-then-good" "$zara_net_scripted_stale_then_good=stale-then-good" \
    "${silent[@]}" </dev/null >"$zara_net_dir/scripted_ntp.log" 2>&1 &
  zara_net_scripted_pid=$!
  read -r -a names <<<"$(zara_net_pool_names)"
  ip netns exec "$zara_net_srv" /usr/bin/python3 "$tools/name_server.py" \
    "$zara_net_name_server" "${zara_net_unanswered_name#*.}" "${names[@]}" \
    </dev/null >"$zara_net_dir/name_server.log" 2>&1 &
  zara_net_name_server_pid=$!
}

zara_net_start_flooding() {
  ip netns exec "$zara_net_srv" /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/testnet/flood_ntp.py" \
    answer "$zara_net_flooding" 6 </dev/null >"$zara_net_dir/flood_answer.log" 2>&1 &
  zara_net_flooding_pid=$!
}

zara_net_flood_listening_port() {
  ip netns exec "$zara_net_srv" /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/testnet/flood_ntp.py" \
    send "$zara_net_flood_source" "$zara_net_client" "$1" </dev/null >>"$zara_net_dir/flood_send.log" 2>&1 &
  zara_net_flood_pid=$!
}

zara_net_flood_wait() {
  [ -n "${zara_net_flood_pid:-}" ] || return 0
  wait "$zara_net_flood_pid" 2>/dev/null || true
  zara_net_flood_pid=
}

zara_net_scripted_received() {
  grep -c "^$1 received " "$zara_net_dir/scripted_ntp.log" || true
}

zara_net_hold_port_123() {
  ip netns exec "$zara_net_cli" /usr/bin/python3 -c "
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(('0.0.0.0', 123))
print('held', flush=True)
time.sleep(3600)
" </dev/null >"$zara_net_dir/port_123_holder.log" 2>&1 &
  zara_net_holder_pid=$!
  local _
  for _ in $(seq 50); do
    grep -q held "$zara_net_dir/port_123_holder.log" && return 0
    sleep 0.1
  done
  echo "zara_net_hold_port_123: port 123 could not be held" >&2
  return 1
}

zara_net_release_port_123() {
  [ -n "${zara_net_holder_pid:-}" ] || return 0
  kill "$zara_net_holder_pid" 2>/dev/null || true
  wait "$zara_net_holder_pid" 2>/dev/null || true
  zara_net_holder_pid=
}

zara_net_start_chrony() {
  cat >"$zara_net_dir/chrony.conf" <<CONF
local stratum 8
allow all
bindaddress $zara_net_server
port 123
cmdport 0
pidfile $zara_net_dir/chronyd.pid
CONF
  ip netns exec "$zara_net_srv" chronyd -x -d -u root -f "$zara_net_dir/chrony.conf" \
    </dev/null >"$zara_net_dir/chronyd.log" 2>&1 &
  zara_net_chrony_pid=$!
}

zara_net_start_silent() {
  ip netns exec "$zara_net_srv" /usr/bin/python3 -c "
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(('$zara_net_silent', 123))
while True:
    s.recv(2048)
" </dev/null >/dev/null 2>&1 &
  zara_net_silent_pid=$!
}

# Runs a command in the client namespace under Wine (prefix in WORKDIR); DLL
# overrides in ZARA_NET_DLL_OVERRIDES are added to the usual ones.
zara_net_wine() {
  ip netns exec "$zara_net_cli" env WINEPREFIX="$zara_net_dir/wineprefix" \
    WINEARCH="${ZARA_NET_WINEARCH:-win64}" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d${ZARA_NET_DLL_OVERRIDES:+;$ZARA_NET_DLL_OVERRIDES}" "$@"
}

# Starts the namespace's own wineserver, once its prefix is made and its
# first start has ended (tools/wine-make-prefix). A booted 32-bit prefix in
# ZARA_WIN32_PREFIX_TEMPLATE is copied rather than made anew, which under
# emulation saves minutes.
zara_net_wine_start() {
  local tools bits loader
  tools=$(dirname "${BASH_SOURCE[0]}")
  read -r bits loader < <("$tools/wine-loader" "$1") || return 1
  export ZARA_NET_WINEARCH=win$bits
  mkdir -p "$zara_net_dir/wineprefix"
  if [ "$bits" = 32 ] && [ -d "${ZARA_WIN32_PREFIX_TEMPLATE:-}" ]; then
    cp -a "$ZARA_WIN32_PREFIX_TEMPLATE/." "$zara_net_dir/wineprefix"
  fi
  zara_net_wine "$tools/wine-make-prefix" || return 1
  zara_net_wine wineserver -p </dev/null >/dev/null 2>&1 || true
  zara_net_wine "$loader" wineboot </dev/null >"$zara_net_dir/wineboot.log" 2>&1 || true
}

zara_net_down() {
  [ -n "${zara_net_dir:-}" ] || return 0
  zara_net_release_port_123
  zara_net_wine wineserver -k </dev/null >/dev/null 2>&1 || true
  local pids="${zara_net_chrony_pid:-} ${zara_net_silent_pid:-} ${zara_net_scripted_pid:-} ${zara_net_name_server_pid:-}"
  pids+=" ${zara_net_flooding_pid:-} ${zara_net_flood_pid:-}"
  # shellcheck disable=SC2086
  kill $pids 2>/dev/null || true
  # shellcheck disable=SC2086
  wait $pids 2>/dev/null || true
  ip netns del "$zara_net_srv" 2>/dev/null || true
  ip netns del "$zara_net_cli" 2>/dev/null || true
  rm -rf "/etc/netns/$zara_net_cli"
  zara_net_dir=
}
