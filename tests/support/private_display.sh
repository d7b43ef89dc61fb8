# Sourced by the scripts that drive a program on a private X server with SDL's dummy audio: a
# work folder, the background processes (stopped last first on every way out, the folder removed
# after them) and the server. QUORLAX_XVFB_KEEP=DIR keeps the folder's pictures.
work=$(mktemp -d "/tmp/$1.XXXXXX")
pids=()
export XDG_RUNTIME_DIR=$work HOME=$work SDL_AUDIODRIVER=dummy # silent, still a real-time clock
unset WAYLAND_DISPLAY
cleanup() {
    [ -n "${QUORLAX_XVFB_KEEP:-}" ] && cp "$work"/*.png "$QUORLAX_XVFB_KEEP"/ 2>/dev/null
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
bg() { "$@" & pids+=($!); }
# Starts the server with one screen of WxHxD and the further options given, and exports DISPLAY.
start_display() {
    bg Xvfb -displayfd 3 -screen 0 "$@" -nolisten tcp 3>"$work/display" 2>/dev/null
    for ((i = 0; i < 50; i++)); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$work/display")"
}
