# Sourced by the scripts that run Windows programs: a persistent wineserver for
# the build folder's prefix and, when DISPLAY is unset, a private Xvfb. Whatever
# wine_session_start started, wine_session_stop stops (it runs on exit too).

wine_session_started_server=
wine_session_xvfb_pid=

# Whether this machine can run Wine's 32-bit programs at all: some kernels
# run 64-bit user code only (IA-32 emulation off), and then every 32-bit
# program, Wine's loader included, fails with "Exec format error" (126). A
# missing loader (127) is a missing package, which the caller must not take
# for this.
wine_machine_runs_32bit() {
  local rc=0
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || rc=$?
  [ "$rc" -ne 126 ]
}

wine_session_start() {  # BUILD_DIR
  local build root arch=win32
  if grep -q '^CMAKE_TOOLCHAIN_FILE.*toolchain-mingw-x86_64' "$1/CMakeCache.txt" 2>/dev/null; then
    arch=win64
  elif ! wine_machine_runs_32bit; then
    echo "wine-session: this machine runs 64-bit programs only (its kernel's IA-32 emulation is off):" \
      "Wine's 32-bit loader cannot start here" >&2
    return 1
  fi
  build=$(readlink -f "$1")
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  export WINEPREFIX="$build/wineprefix" WINEARCH=$arch WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  trap wine_session_stop EXIT
  # Exit code 2: a server for this prefix is already running; it is not ours to stop.
  if [ -z "${DISPLAY:-}" ]; then
    local fifo
    fifo=$(mktemp -u) && mkfifo "$fifo"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fifo" >/dev/null 2>&1 &
    wine_session_xvfb_pid=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
    echo "wine-session: private Xvfb on display $DISPLAY"
  fi

  # Wine's desktop takes the display it finds when the session's first program
  # starts, so the display comes first. A new prefix is made before the
  # session's server starts, since making it ends with stopping every server.
  "$root/cmake/wine-run" --create "$build"
  if wineserver -p; then wine_session_started_server=1; fi
  "$root/cmake/wine-run" --prepare "$build"
}

wine_session_stop() {
  if [ -n "$wine_session_started_server" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wine_session_started_server=
  fi
  if [ -n "$wine_session_xvfb_pid" ]; then
    kill "$wine_session_xvfb_pid" 2>/dev/null || true
    wait "$wine_session_xvfb_pid" 2>/dev/null || true
    wine_session_xvfb_pid=
  fi
}
