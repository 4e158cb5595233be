# Sourced by the other scripts: which build this host tests, where things are, and the Wine environment
# the tool runs in. Sourcing only defines; a script calls choose_build first, then what it needs.
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

# Sets arch and arch_reason from VANDREL_ARCH or the probe, then where the build, the toolchain, the Wine
# loader and the prefix are; false, with the reason on stderr, when asked for what cannot run here.
choose_build() {
  case "${VANDREL_ARCH:-}" in
    x86)
      if ! host_runs_32bit_code; then
        echo "env: VANDREL_ARCH=x86, but this machine cannot run 32-bit x86 code (Exec format error): use VANDREL_ARCH=x64 or leave it unset" >&2
        return 1
      fi
      arch=x86 arch_reason="VANDREL_ARCH=x86" ;;
    x64) arch=x64 arch_reason="VANDREL_ARCH=x64" ;;
    "")
      if host_runs_32bit_code; then arch=x86 arch_reason="this machine runs 32-bit x86 code"
      else arch=x64 arch_reason="this machine cannot run 32-bit x86 code"; fi ;;
    *) echo "env: VANDREL_ARCH must be x86 or x64, not '$VANDREL_ARCH'" >&2; return 1 ;;
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

  export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko download prompts when the prefix is made.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# One line on which build runs here, and why.
announce_arch() {
  local what=$1
  if [ "$arch" = x86 ]; then
    echo "env: $arch_reason: $what the 32-bit build in $build_dir"
  else
    echo "env: $arch_reason: $what the x86-64 build in $build_dir; the 32-bit release build is $release_dir/bin/Vandrel.exe"
  fi
}

# Runs a Windows program (or a builtin such as wineboot.exe) with this build's Wine loader.
run_wine() {
  "$wine_loader" "$@"
}

# Makes the project's Wine prefix once; later calls only check for it. What Wine says goes to
# $WINEPREFIX.log, and is shown when the prefix cannot be made.
ensure_wineprefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "env: making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    local status=0
    run_wine wineboot.exe -i >"$WINEPREFIX.log" 2>&1 || status=$?
    wineserver -w
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "env: wineboot with $wine_loader failed (status $status); the prefix $WINEPREFIX was not made:" >&2
      tail -n 20 "$WINEPREFIX.log" >&2
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
    run_wine reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null ||
      echo "env: windows stay managed: every box and closing window will wait two seconds" >&2
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

# One Wine server for all the sessions on this prefix: Debian's server otherwise exits two seconds
# after the last Wine process, and every next start is a cold one. Each session leaves a mark named
# after its shell's pid in $WINEPREFIX.sessions/; the server is made persistent only when none runs, and
# it is ended by the last session out, and only when a session started it.
join_wineserver() {
  mkdir -p "$WINEPREFIX.sessions"
  touch "$WINEPREFIX.sessions/$$"
  local status=0
  wineserver -p || status=$?
  case $status in
    0) touch "$WINEPREFIX.sessions/started" ;;
    2) ;;  # one runs already, persistent or not: it is used as it is
    *) echo "env: wineserver -p failed (status $status)" >&2; return 1 ;;
  esac
  warm_up_wine
}

leave_wineserver() {
  local marks=$WINEPREFIX.sessions mark
  [ -e "$marks/$$" ] || return 0
  rm -f "$marks/$$"
  for mark in "$marks"/*; do
    case ${mark##*/} in
      started|'*') ;;
      *) if kill -0 "${mark##*/}" 2>/dev/null; then return 0; else rm -f "$mark"; fi ;;
    esac
  done
  if [ -e "$marks/started" ]; then
    rm -f "$marks/started"
    wineserver -k 2>/dev/null || true  # an error here only means it has ended already
  fi
}

# Starts Wine's background processes (services, device manager, desktop) with their output going to
# $WINEPREFIX.log: started from a test instead, they would hold CTest's output pipes open after the test
# ends.
warm_up_wine() {
  run_wine cmd.exe /c exit >>"$WINEPREFIX.log" 2>&1 </dev/null || {
    echo "env: Wine does not start programs:" >&2
    tail -n 20 "$WINEPREFIX.log" >&2
    return 1
  }
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

# Stops the Xvfb that ensure_display started, if it did.
stop_display() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=
}

# Wine ready to run the tool on a display: the prefix, a display and the shared server. Installing and
# building are the caller's (install-deps.sh, build.sh). end_wine_session undoes what this started.
start_wine_session() {
  ensure_wineprefix
  ensure_display
  join_wineserver
}

end_wine_session() {
  leave_wineserver
  stop_display
}

# A command of the virtual transmitter (see standins/), its output without carriage returns.
transmitter() { run_wine "$build_dir/bin/virtual-transmitter.exe" "$@" | tr -d '\r'; }

# window_remote DESKTOP COMMAND...: drives the tool's window on Wine's virtual desktop DESKTOP.
window_remote() {
  local desktop=$1
  shift
  run_wine "$build_dir/bin/vandrel-remote.exe" --desktop "$desktop" "$@" | tr -d '\r'
}

# make_firmware_package FOLDER PACKAGE FILE...: packs the files of FOLDER as a vendor's package is packed,
# 7z with encrypted names and the tool's built-in password.
make_firmware_package() {
  local folder=$1 package=$2
  shift 2
  local password
  password=$(sed -n 's/^constexpr wchar_t kPackagePassword\[\] = L"\(.*\)";$/\1/p' "$repo/package/package_password.h")
  [ -n "$password" ] || { echo "no package password in $repo/package/package_password.h" >&2; return 1; }
  (cd "$folder" && 7zz a -t7z "-p$password" -mhe=on "$package" "$@" >/dev/null)
}
