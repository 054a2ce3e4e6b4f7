# Shared by the benchmark scripts: their settings, the build of a driver, one Wine session
# for a whole benchmark, a driver run under Wine with its peak memory, and small helpers.
# Expects top to be set.  The build and the session are scripts/lib/common.sh's.
#
# Environment: BUILD_DIR (default build/bench), RUNS (default 5), WINEPREFIX (default: a
# prefix of the benchmark's own under BUILD_DIR, so that no shared prefix is touched).

BUILD_DIR=${BUILD_DIR:-build/bench}
[[ "$BUILD_DIR" = /* ]] || BUILD_DIR="$top/$BUILD_DIR"
RUNS=${RUNS:-5}
export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wineprefix}
source "$top/scripts/lib/common.sh"

# Far beyond what any run takes; a driver still running then has hung.
driver_time_limit=600

# target: builds that target of the project in BUILD_DIR.
build_target() {
    configure_build "$BUILD_DIR"
    cmake --build "$BUILD_DIR" --target "$1" >/dev/null
}

# cleanup_function: common.sh's session, whose services run before the first measured run
# (a run that starts them shares the machine with their start-up and took up to three
# times as long).  At exit cleanup_function (the script's own) runs, then the session's stop.
start_bench_session() {
    start_wine_session
    trap "$1 || true; stop_wine_session" EXIT
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

# start_ns: the seconds since then, to the millisecond.
seconds_since() {
    awk -v ns=$(($(now_ns) - $1)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

mib() {
    awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'
}

# output exe args...: runs a driver under Wine with its output in the file output; sets
# run_wall (seconds, Wine's start-up included) and run_peak_kib (VmHWM, the peak resident
# set of the Wine process, read from /proc every 20 ms).  A failed driver, or one still
# running after driver_time_limit seconds, ends the script.
run_wine_driver() {
    local output=$1 start pid peak=0 hwm status=0 deadline=$((SECONDS + driver_time_limit))
    shift
    start=$(now_ns)
    "$top/scripts/wine-run" "$@" >"$output" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            echo "driver still running after $driver_time_limit s, stopped: $*" >&2
            cat "$output" >&2
            exit 1
        fi
        hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
        [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
        sleep 0.02
    done
    wait "$pid" || status=$?
    run_wall=$(seconds_since "$start")
    if [ "$status" != 0 ]; then
        echo "driver failed (exit $status):" >&2
        cat "$output" >&2
        exit 1
    fi
    run_peak_kib=$peak
}
