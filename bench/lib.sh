# Shared by the benchmark scripts: the build of a driver, one Wine session for a whole
# benchmark, a driver run under Wine with its peak memory, and small helpers.
# Expects top, BUILD_DIR and work to be set, and WINEPREFIX exported.

# target: builds that target of the project in BUILD_DIR, configuring it first if needed.
build_target() {
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S "$top" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
    fi
    cmake --build "$BUILD_DIR" --target "$1" >/dev/null
}

# One wine server for the whole benchmark, with Wine's own services started before the
# first measured run: a run that starts them shares the machine with their start-up and
# took up to three times as long.  stop_wine_session ends them all again.
start_wine_session() {
    "$top/scripts/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true  # makes the prefix once
    wineserver -w
    wineserver -p
    "$top/scripts/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true
}

stop_wine_session() {
    wineserver -k >/dev/null 2>&1 || true
}

windows_path() {
    local path=$1
    echo "Z:${path//\//\\}"
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

now_ns() {
    date +%s%N
}

mib() {
    awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'
}

# output exe args...: runs a driver under Wine with its output in the file output; sets
# run_wall (seconds, Wine's start-up included) and run_peak_kib (VmHWM, the peak resident
# set of the Wine process, read from /proc every 20 ms).  A failed driver ends the script.
run_wine_driver() {
    local output=$1 start pid peak=0 hwm status=0
    shift
    start=$(now_ns)
    "$top/scripts/wine-run" "$@" >"$output" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
        [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
        sleep 0.02
    done
    wait "$pid" || status=$?
    run_wall=$(awk -v ns=$(($(now_ns) - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')
    if [ "$status" != 0 ]; then
        echo "driver failed (exit $status):" >&2
        cat "$output" >&2
        exit 1
    fi
    run_peak_kib=$peak
}
