# Sourced by the other scripts: which build this host tests, where things are, and the Wine environment
# the tool runs in.
#
# Two builds of the same sources:
# - x86: the 32-bit tool users get, in $VANDREL_BUILD_DIR (default build/), tested under Wine where this
#   host runs 32-bit x86 code;
# - x64: the same tool, stand-ins, tests and benchmark for x86-64, in $VANDREL_BUILD_DIR-x64, tested
#   under 64-bit Wine on hosts that cannot run 32-bit x86 code. The 32-bit tool is built there too.
# VANDREL_ARCH=x86|x64 forces the choice; otherwise a probe decides.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
release_dir=${VANDREL_BUILD_DIR:-$repo/build}

# A 93-byte static i386 ELF that only calls exit(0): it exits 0 where the kernel runs 32-bit x86 code,
# and fails to start ("Exec format error") where it does not.
host_runs_32bit_code() {
  local probe
  probe=$(mktemp) || return 1
  base64 -d > "$probe" <<'EOF'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAuAEAAAAx282A
EOF
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

# Sets arch and arch_reason, from VANDREL_ARCH or the probe; stops when x86 is forced but cannot run.
case "${VANDREL_ARCH:-}" in
  x86)
    if ! host_runs_32bit_code; then
      echo "env: VANDREL_ARCH=x86, but this machine cannot run 32-bit x86 code (Exec format error): use VANDREL_ARCH=x64 or leave it unset" >&2
      exit 1
    fi
    arch=x86 arch_reason="VANDREL_ARCH=x86" ;;
  x64) arch=x64 arch_reason="VANDREL_ARCH=x64" ;;
  "")
    if host_runs_32bit_code; then arch=x86 arch_reason="this machine runs 32-bit x86 code"
    else arch=x64 arch_reason="this machine cannot run 32-bit x86 code"; fi ;;
  *) echo "env: VANDREL_ARCH must be x86 or x64, not '$VANDREL_ARCH'" >&2; exit 1 ;;
esac
# Scripts started from here take the same choice without probing again.
export VANDREL_ARCH=$arch

if [ "$arch" = x86 ]; then
  build_dir=$release_dir
  toolchain=$repo/cmake/toolchain-mingw-i686.cmake
  # Debian's wrapper: the 32-bit loader, which starts 64-bit programs through the 64-bit one.
  wine_loader=wine
else
  build_dir=$release_dir-x64
  toolchain=$repo/cmake/toolchain-mingw-x86_64.cmake
  # Debian's wrapper picks the 32-bit loader whenever wine32 is installed, so call the 64-bit one.
  wine_loader=/usr/lib/wine/wine64
  export WINELOADER=$wine_loader
fi

# One line on which build runs here, and why.
announce_arch() {
  local what=$1
  if [ "$arch" = x86 ]; then
    echo "env: $arch_reason: $what the 32-bit build in $build_dir"
  else
    echo "env: $arch_reason: $what the x86-64 build in $build_dir; the 32-bit release build is $release_dir/bin/Vandrel.exe"
  fi
}

export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Runs a Windows program (or a builtin such as wineboot.exe) with this build's Wine loader.
run_wine() {
  "$wine_loader" "$@"
}

# Makes the project's Wine prefix once; later calls only check for it.
ensure_wineprefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "env: making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    local status=0
    run_wine wineboot.exe -i >/dev/null 2>&1 || status=$?
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "env: wineboot with $wine_loader failed (status $status); the prefix $WINEPREFIX was not made" >&2
      return 1
    fi
  fi
  add_marlett_font
  leave_windows_unmanaged
}

# Under Xvfb there is no window manager, and Wine waits up to two seconds for one whenever it shows or
# hides a top-level window it lets the manager handle (every message box, every closing dialog).
# Windows Wine manages itself come and go at once, as on Windows.
leave_windows_unmanaged() {
  if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    run_wine reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Title-bar buttons are glyphs of the Marlett font (fonts-wine). Debian's Wine 8 looks for its own fonts
# under a path it cannot resolve ("...\share\wine\../fonts"), so the buttons show as "0", "1" and "r";
# a copy in the prefix's Fonts folder is found.
add_marlett_font() {
  local source=/usr/share/wine/fonts/marlett.ttf fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ -f "$source" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp "$source" "$fonts/marlett.ttf"
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
  run_wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
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
      for _ in $(seq 1 50); do
        if [ -e "/tmp/.X11-unix/X$n" ]; then
          export DISPLAY=":$n"
          return
        fi
        # Gone already: the number is taken where this folder cannot show it (another mount namespace).
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
      done
      kill "$xvfb_pid" 2>/dev/null || true
      xvfb_pid=
    fi
  done
  echo "env: no free display number" >&2
  return 1
}

stop_display() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}

# What every script that runs the tool does first: installs what is missing, builds (the arguments go to
# build.sh), and starts Wine on a display. end_wine_session stops what this started.
start_wine_session() {
  bash "$repo/scripts/install-deps.sh"
  bash "$repo/scripts/build.sh" "$@"
  ensure_wineprefix
  ensure_display
  start_wineserver
}

end_wine_session() {
  wineserver -k 2>/dev/null || true
  stop_display
}

# A command of the virtual transmitter (see standins/), its output without carriage returns.
transmitter() { run_wine "$build_dir/bin/virtual-transmitter.exe" "$@" 2>/dev/null | tr -d '\r'; }

# window_remote DESKTOP COMMAND...: drives the tool's window on Wine's virtual desktop DESKTOP.
window_remote() {
  local desktop=$1
  shift
  run_wine "$build_dir/bin/vandrel-remote.exe" --desktop "$desktop" "$@" 2>/dev/null | tr -d '\r'
}

# make_firmware_package FOLDER PACKAGE FILE...: packs the files of FOLDER as a vendor's package is packed,
# 7z with encrypted names and the tool's built-in password.
make_firmware_package() {
  local folder=$1 package=$2
  shift 2
  (cd "$folder" && 7zz a -t7z -ptamsin_harbor_unpacking -mhe=on "$package" "$@" >/dev/null)
}
