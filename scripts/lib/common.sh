# Shared by scripts/test and scripts/demo: configure and build, and one Xvfb
# display plus one wineserver for the whole run, stopped again on exit.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build="${VORLAN_BUILD_DIR:-$top/build/mingw}"
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"

build_launcher() {
    bash "$top/scripts/setup"
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$build" -j "$(nproc)"
}

start_wine_session() {
    xvfb_pid=""
    if [ -z "${DISPLAY:-}" ]; then
        local number=${VORLAN_XVFB_DISPLAY:-97}
        export DISPLAY=":$number"
        if [ ! -e "/tmp/.X11-unix/X$number" ]; then
            Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
            xvfb_pid=$!
            for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
        fi
    fi
    trap stop_wine_session EXIT
    "$top/scripts/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true   # creates the prefix once
    wineserver -p || true   # already running: keep it
}

stop_wine_session() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
