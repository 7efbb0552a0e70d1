# Sourced, not run: starts Xvfb (unless a display is set) and a persistent
# wineserver with a booted prefix, so that each Wine program starts in ~0.1 s
# and no background Wine service holds the caller's pipes.
#   . tools/wine-env.sh PREFIX-DIR 32|64
export WINEPREFIX=$1
case "${2:-32}" in
  64) export WINEARCH=win64; zara_wine_loader=/usr/lib/wine/wine64 ;;
  *)  export WINEARCH=win32; zara_wine_loader=/usr/lib/wine/wine ;;
esac
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix; a crashing program
# ends instead of waiting for a debugger nobody can see.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d"

if [ -z "${DISPLAY:-}" ]; then
  zara_display=:${ZARA_DISPLAY_NUMBER:-77}
  if ! xdpyinfo -display "$zara_display" >/dev/null 2>&1; then
    Xvfb "$zara_display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    zara_xvfb_pid=$!
    for _ in $(seq 50); do
      xdpyinfo -display "$zara_display" >/dev/null 2>&1 && break
      sleep 0.1
    done
  fi
  export DISPLAY=$zara_display
fi

mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running for this prefix: fine
"$zara_wine_loader" wineboot </dev/null >"$WINEPREFIX.wineboot.log" 2>&1 || true

# Stops what this file started: the wineserver of the prefix and our Xvfb.
zara_wine_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${zara_xvfb_pid:-}" ]; then kill "$zara_xvfb_pid" 2>/dev/null || true; fi
}
