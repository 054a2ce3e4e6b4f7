# Shared by scripts/wine-run and scripts/lib/common.sh: the X display Wine draws on.
# A DISPLAY that answers is used as it is; otherwise an Xvfb server on
# :${VORLAN_XVFB_DISPLAY:-97}, started when none answers there.  A socket in
# /tmp/.X11-unix proves nothing: an Xvfb that was killed leaves it behind, so the
# server itself is asked.

display_answers() {
    xdpyinfo -display "$1" >/dev/null 2>&1
}

# ensure_display: exports DISPLAY; sets started_xvfb_pid when this call started the
# server (empty otherwise).  Parallel callers serialise on a lock so that one server
# starts; a display that does not answer within ten seconds is an error.
ensure_display() {
    started_xvfb_pid=""
    if [ -n "${DISPLAY:-}" ] && display_answers "$DISPLAY"; then return 0; fi
    local number=${VORLAN_XVFB_DISPLAY:-97}
    export DISPLAY=":$number"
    display_answers "$DISPLAY" && return 0
    local status=1
    {
        flock 8
        if display_answers "$DISPLAY"; then
            status=0
        else
            # Xvfb itself replaces a lock file whose process is gone, and its old socket.
            setsid Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 8>&- &
            started_xvfb_pid=$!
            for _ in $(seq 100); do
                if display_answers "$DISPLAY"; then status=0; break; fi
                sleep 0.1
            done
        fi
    } 8>"/tmp/.vorlan-xvfb-$number.lock"
    [ "$status" = 0 ] && return 0
    echo "no X display: Xvfb on $DISPLAY did not answer" >&2
    return 1
}
