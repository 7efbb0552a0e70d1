# shellcheck shell=bash
# Sourced, not run: starts Xvfb (unless a display is set) and a persistent
# wineserver with a booted prefix, so that each Wine program starts in ~0.1 s
# and no background Wine service holds the caller's pipes.
#   . tools/wine-env.sh PREFIX-DIR 32|64
# A prefix that does not exist yet is made first, and waited for, by
# tools/wine-make-prefix; one that cannot be made makes the sourcing fail
# (status 1) with its message.
export WINEPREFIX=$1
export WINEARCH=win${2:-32}
zara_wine_tools=$(dirname "${BASH_SOURCE[0]}")
zara_wine_loader=$("$zara_wine_tools/wine-loader" --bits "${2:-32}")
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix; a crashing program
# ends instead of waiting for a debugger nobody can see.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d"

zara_wine_start_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  local display=:${ZARA_DISPLAY_NUMBER:-77}
  if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    zara_xvfb_pid=$!
    for _ in $(seq 50); do
      xdpyinfo -display "$display" >/dev/null 2>&1 && break
      sleep 0.1
    done
  fi
  export DISPLAY=$display
}

# Stops what this file started: the wineserver of the prefix and our Xvfb.
zara_wine_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${zara_xvfb_pid:-}" ]; then kill "$zara_xvfb_pid" 2>/dev/null || true; fi
}

zara_wine_start_display
"$zara_wine_tools/wine-make-prefix" || { zara_wine_stop; return 1; }
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running for this prefix: fine
"$zara_wine_loader" wineboot </dev/null >>"$WINEPREFIX.wineboot.log" 2>&1 || true
