# Sourced by the other scripts: where things are, and the Wine environment the tool runs in.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${VANDREL_BUILD_DIR:-$repo/build}
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Makes the project's Wine prefix once; later calls only check for it.
ensure_wineprefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "env: making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}

# One Wine server for a whole run: Debian's server otherwise exits two seconds after the last Wine
# process, and every next start is a cold one. A server that already runs is kept.
start_wineserver() {
  wineserver -p 2>/dev/null || true
  warm_up_wine
}

# Starts Wine's background processes (services, device manager, desktop) with their output going
# nowhere: started from a test instead, they would hold CTest's output pipes open after the test ends.
warm_up_wine() {
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

# Starts an Xvfb on a free display unless one is given; sets DISPLAY and xvfb_pid.
xvfb_pid=
ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return; fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && return; sleep 0.1; done
      echo "env: Xvfb did not start on :$n" >&2
      return 1
    fi
  done
  echo "env: no free display number" >&2
  return 1
}

stop_display() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
