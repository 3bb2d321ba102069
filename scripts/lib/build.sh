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

corvane_configure_fuzz() {  # DIR
  corvane_configure "$1" -DCORVANE_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
}
