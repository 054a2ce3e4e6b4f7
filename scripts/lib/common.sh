# Shared by scripts/test, scripts/demo and the benchmarks (bench/lib.sh): configure and
# build, and one Xvfb display plus one wineserver for the whole run, stopped again on exit.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build="${VORLAN_BUILD_DIR:-$top/build/mingw}"
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
source "$top/scripts/lib/display.sh"

# dir: configures the project's Release build in dir.
configure_build() {
    cmake -S "$top" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
}

build_launcher() {
    bash "$top/scripts/setup"
    configure_build "$build"
    cmake --build "$build" -j "$(nproc)"
}

start_wine_session() {
    ensure_display
    xvfb_pid=$started_xvfb_pid
    trap stop_wine_session EXIT
    "$top/scripts/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true   # creates the prefix once
    wineserver -p || true   # already running: keep it
}

stop_wine_session() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
