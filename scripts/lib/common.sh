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

# seconds command...: runs command with its output discarded; a command still running
# after seconds ends the script.
quietly_within() {
    local seconds=$1 status=0
    shift
    timeout "$seconds" "$@" >/dev/null 2>&1 || status=$?
    if [ "$status" = 124 ]; then
        echo "$* did not end within $seconds s" >&2
        exit 1
    fi
    return "$status"
}

# The display, the prefix, and one persistent wine server with Wine's services running
# before the first program.  Services that a test's program started would hold that
# test's output open, and ctest would wait for them until the last test ended.  The
# server that made the prefix ends a few seconds after its last process and cannot be
# made persistent once running, so it is replaced.
start_wine_session() {
    ensure_display
    xvfb_pid=$started_xvfb_pid
    trap stop_wine_session EXIT
    quietly_within 300 "$top/scripts/wine-run" cmd /c exit 0 || true   # creates the prefix once
    quietly_within 30 wineserver -k || true   # none running: nothing to replace
    if ! quietly_within 30 wineserver -p; then
        echo "could not start a persistent wine server for $WINEPREFIX" >&2
        exit 1
    fi
    quietly_within 120 "$top/scripts/wine-run" cmd /c exit 0 || true   # starts the services
}

stop_wine_session() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
