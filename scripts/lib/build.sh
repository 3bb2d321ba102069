# Sourced by the scripts that build: configures a build folder when it has no
# build files yet (later builds re-run cmake themselves when a CMakeLists.txt
# changes).
corvane_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

corvane_configure() {  # DIR [CMAKE ARGS...]
  local dir=$1; shift
  [ -f "$dir/build.ninja" ] && return 0
  if ! cmake -S "$corvane_root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"; then
    # A configure that stopped half-way must not pass for a configured folder.
    rm -f "$dir/build.ninja"
    echo "build: configuring $dir failed" >&2
    return 1
  fi
}

corvane_configure_win() {  # DIR
  corvane_configure "$1" -DCMAKE_TOOLCHAIN_FILE="$corvane_root/cmake/toolchain-mingw-i686.cmake"
}

# The same program and tests for 64-bit Windows: on a machine whose kernel runs
# 64-bit programs only, the Windows tests run in this build.
corvane_configure_win64() {  # DIR
  corvane_configure "$1" -DCMAKE_TOOLCHAIN_FILE="$corvane_root/cmake/toolchain-mingw-x86_64.cmake"
}

# The Windows build a script runs programs from: the 32-bit one, which is what
# ships, or the 64-bit one where 32-bit programs cannot run. Configures it.
corvane_windows_build() {  # prints the folder
  local lib
  lib=$(dirname "${BASH_SOURCE[0]}")
  source "$lib/wine-session.sh"
  if wine_machine_runs_32bit; then
    corvane_configure_win "$corvane_root/build/win" >&2 && echo "$corvane_root/build/win"
  else
    corvane_configure_win64 "$corvane_root/build/win64" >&2 && echo "$corvane_root/build/win64"
  fi
}

corvane_configure_fuzz() {  # DIR
  corvane_configure "$1" -DCORVANE_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
}
