# Shared by the project's scripts: build folders and the Xvfb display.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
builds="$root/build"
jobs=$(nproc 2>/dev/null || echo 2)
# Wine names files in the locale's character set: without UTF-8 the tests'
# Japanese folder names cannot be made.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then export LC_ALL=C.UTF-8; fi

# configure_and_build NAME [cmake arguments...]: build/NAME with Ninja.
configure_and_build() {
  local name=$1; shift
  local dir="$builds/$name"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  fi
  ninja -C "$dir" -j "$jobs" | grep -vE '^\[[0-9]+/[0-9]+\] ' || true
  [ "${PIPESTATUS[0]}" -eq 0 ]
}

build_native()  { configure_and_build native -DCMAKE_BUILD_TYPE=Debug; }
build_asan()    { configure_and_build asan -DCMAKE_BUILD_TYPE=Debug -DQUORVIN_SANITIZE=ON; }
build_win64()   { configure_and_build win64 -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"; }
build_fuzz()    { CC=clang CXX=clang++ configure_and_build fuzz -DCMAKE_BUILD_TYPE=Debug -DQUORVIN_FUZZ=ON; }
# The optimized native build: the console collector users run and the benchmarks.
build_release() { configure_and_build release -DCMAKE_BUILD_TYPE=Release; }
# Only what the console collector needs of it: quorvin-cli and the demo network.
build_release_cli() {
  local dir="$builds/release"
  [ -f "$dir/build.ninja" ] || cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  ninja -C "$dir" -j "$jobs" quorvin-cli demo_network | grep -vE '^\[[0-9]+/[0-9]+\] ' || true
  [ "${PIPESTATUS[0]}" -eq 0 ]
}
build_win32()   { configure_and_build win32 -DCMAKE_BUILD_TYPE=Release -DQUORVIN_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"; }

xvfb_pid=""
# start_xvfb: a private display for Wine's windows. Xvfb picks a display
# number nobody uses (lock file and socket both free) and says it once it
# accepts connections, so a display of another session is never taken.
start_xvfb() {
  local said n
  # Ended by a signal, the script still runs its EXIT trap (which stops
  # Xvfb): no display is left behind for the next run to find.
  trap 'exit 130' INT
  trap 'exit 143' TERM
  said=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$said" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 150); do
    # The number is whole once its line has ended.
    if [ "$(wc -l <"$said")" -ge 1 ]; then
      n=$(head -n 1 "$said")
      rm -f "$said"
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$said"
  echo "Xvfb did not start" >&2
  stop_xvfb
  return 1
}

stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}

# stop_wine PREFIX: ends the prefix's wineserver and every program in it.
stop_wine() {
  WINEPREFIX="$1" wineserver -k 2>/dev/null || true
}

# screenshot_when_drawn FILE [SECONDS]: waits until the screen shows more than
# a plain background (the program's window is up), lets it finish drawing,
# and saves the screen (1024x768, Wine's virtual desktop) as FILE.
screenshot_when_drawn() {
  local file=$1 limit=${2:-60} deviation
  for _ in $(seq 1 "$limit"); do
    import -window root -crop 1024x768+0+0 "$file" 2>/dev/null || true
    deviation=$(identify -format '%[fx:standard_deviation]' "$file" 2>/dev/null || echo 0)
    if awk -v d="$deviation" 'BEGIN { exit !(d > 0.05) }'; then
      sleep 2
      import -window root -crop 1024x768+0+0 "$file"
      return 0
    fi
    sleep 1
  done
  echo "the program drew nothing within $limit s" >&2
  return 1
}
