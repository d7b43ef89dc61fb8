#!/usr/bin/env bash
# Drives build/bin/quorlax on a private X server (Xvfb with openbox) the way a viewer would, and
# checks what the screen shows. Usage: show_under_xvfb.sh QUORLAX CHECK, CHECK one of dialog,
# windowed, fullscreen, failure. Every wait is bounded; the servers and the program are stopped on
# every way out.
set -uo pipefail
quorlax=$1
check=$2
work=$(mktemp -d /tmp/quorlax-xvfb.XXXXXX)
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work HOME=$work
# No sound is made: the dummy device plays silence in real time and still drives the clock.
export SDL_AUDIODRIVER=dummy
unset WAYLAND_DISPLAY
pids=()

cleanup() {
    # QUORLAX_XVFB_KEEP=DIR keeps the pictures taken, to look at them.
    [ -n "${QUORLAX_XVFB_KEEP:-}" ] && cp "$work"/*.png "$QUORLAX_XVFB_KEEP"/ 2>/dev/null
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($check): $*" >&2
    [ -f "$work/err" ] && sed 's/^/quorlax: /' "$work/err" >&2
    exit 1
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1280x720x24 -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")"
    # The windowed check runs without a window manager: no title bar then pushes a window of the
    # screen's size partly off the screen, so all of it can be looked at.
    if [ "$check" != windowed ]; then
        openbox --sm-disable >"$work/openbox.log" 2>&1 &
        pids+=($!)
        sleep 1
    fi
}

start_quorlax() {
    "$quorlax" >"$work/out" 2>"$work/err" &
    quorlax_pid=$!
    pids+=("$quorlax_pid")
}

# The id of the window titled exactly $1, or nothing.
window_id() {
    xwininfo -root -tree 2>/dev/null | awk -v name="\"$1\":" '$2 == name || index($0, " " name " ") { print $1; exit }'
}

wait_window() {
    local seconds=$2 id
    for _ in $(seq $((seconds * 10))); do
        id=$(window_id "$1")
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$quorlax_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Waits for quorlax to end within $1 seconds and fails unless its exit code is 0.
expect_exit_0() {
    for _ in $(seq $(($1 * 10))); do
        kill -0 "$quorlax_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$quorlax_pid" 2>/dev/null && fail "quorlax still runs after $1 s"
    wait "$quorlax_pid"
    local code=$?
    [ "$code" -eq 0 ] || fail "exit code $code"
}

# Brightest channel value (0-255) of the area W x H + X + Y of a picture file.
brightest() {
    convert "$1" -crop "$2" +repage -format '%[fx:int(255*maxima)]' info:
}

screen_size() {
    xdpyinfo | awk '/dimensions:/ { print $2 }'
}

# The dialog's keys: focus starts on the drop-down, Tab moves to the check box, Run, Quit.
dialog_keys() {
    local id
    id=$(wait_window "Varnholt - Quorlax" 30) || fail "no setup dialog"
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 || xdotool windowfocus --sync "$id"
    sleep 0.3
    xdotool key --delay 150 "$@"
}

# A picture of the screen with the mouse pointer drawn in, as the viewer sees it.
grab_with_pointer() {
    ffmpeg -loglevel error -y -f x11grab -draw_mouse 1 -video_size 1280x720 -i "$DISPLAY" -frames:v 1 "$1"
}

start_display
start_quorlax
case $check in
dialog)
    # Without any display: one line pointing at the capture tool, exit code 0.
    line=$(env -u DISPLAY "$quorlax") || fail "exit code $? without a display"
    [ "$(echo "$line" | wc -l)" -eq 1 ] && [[ $line == *quorlax-capture* ]] || fail "without a display: $line"
    dialog_id=$(wait_window "Varnholt - Quorlax" 30) || fail "no setup dialog"
    sleep 0.5
    import -window root "$work/dialog.png"
    [ -z "$(window_id "Varnholt Quorlax")" ] || fail "presentation window before the dialog ended"
    # Escape, Enter and the window manager's close (Alt+F4) leave the dialog open.
    dialog_keys Escape Return alt+F4
    sleep 1
    [ "$(window_id "Varnholt - Quorlax")" = "$dialog_id" ] || fail "the dialog was dismissed without a button"
    xdotool key --delay 150 Tab Tab Tab space
    expect_exit_0 10
    [ -s "$work/out" ] && fail "Quit printed: $(cat "$work/out")"
    ;;
windowed)
    dialog_keys Tab space Tab space
    id=$(wait_window "Varnholt Quorlax" 30) || fail "no presentation window"
    read -r w h < <(xwininfo -id "$id" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    [ "$w x $h" = "1280 x 720" ] || fail "client area $w x $h"
    # During the 5 s pause the bar stands at 50/256 of the width: 250 pixels.
    sleep 2
    import -window "$id" "$work/progress.png"
    [ "$(brightest "$work/progress.png" 240x50+4+326)" -eq 255 ] || fail "no progress bar"
    [ "$(brightest "$work/progress.png" 1000x50+260+326)" -eq 0 ] || fail "progress bar wider than 250"
    # A scene shows colour above and below the rows of the bar, between black letter-box bands;
    # the progress pictures are black there.
    scene=0
    for _ in $(seq 60); do
        import -window "$id" "$work/scene.png"
        if [ "$(brightest "$work/scene.png" 1280x230+0+90)" -gt 8 ] &&
            [ "$(brightest "$work/scene.png" 1280x240+0+390)" -gt 8 ]; then
            scene=1
            break
        fi
        sleep 3
    done
    [ "$scene" -eq 1 ] || fail "no scene picture"
    [ "$(brightest "$work/scene.png" 1280x8+0+0)" -eq 0 ] || fail "no letter-box at the top"
    [ "$(brightest "$work/scene.png" 1280x8+0+712)" -eq 0 ] || fail "no letter-box at the bottom"
    xdotool key Escape
    expect_exit_0 90
    ;;
fullscreen)
    before=$(screen_size)
    xdotool mousemove 100 100
    dialog_keys Tab Tab space
    id=$(wait_window "Varnholt Quorlax" 30) || fail "no presentation window"
    xdotool mousemove 100 100
    sleep 2
    xwininfo -id "$id" | grep -q "Absolute upper-left X:  0" || fail "window not at the screen's left edge"
    xwininfo -id "$id" | grep -q "Absolute upper-left Y:  0" || fail "window not at the screen's top"
    read -r w h < <(xwininfo -id "$id" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    [ "$w x $h" = "1280 x 720" ] || fail "window $w x $h does not cover the screen"
    grab_with_pointer "$work/hidden.png"
    [ "$(brightest "$work/hidden.png" 40x40+90+90)" -eq 0 ] || fail "cursor shown over the presentation"
    xdotool key Escape
    expect_exit_0 90
    [ "$(screen_size)" = "$before" ] || fail "display left at $(screen_size), was $before"
    grab_with_pointer "$work/shown.png"
    [ "$(brightest "$work/shown.png" 40x40+90+90)" -gt 0 ] || fail "cursor not back after the show"
    ;;
failure)
    before=$(screen_size)
    kill "$quorlax_pid"
    wait "$quorlax_pid" 2>/dev/null
    QUORLAX_FORCE_FAILURE=window start_quorlax
    dialog_keys Tab Tab space
    # The warning box is the program's only window now.
    for _ in $(seq 100); do
        box=$(xdotool search --pid "$quorlax_pid" 2>/dev/null | head -1)
        [ -n "$box" ] && break
        sleep 0.1
    done
    [ -n "${box:-}" ] || fail "no message box"
    sleep 0.5
    [ -z "$(window_id "Varnholt Quorlax")" ] || fail "presentation window left open"
    import -window root "$work/failure.png"
    grep -qz "no memory?.no music?.no shades?" "$work/err" || fail "message text"
    xdotool windowactivate --sync "$box" >/dev/null 2>&1
    xdotool key Return
    expect_exit_0 10
    [ "$(screen_size)" = "$before" ] || fail "display left at $(screen_size), was $before"
    ;;
*)
    fail "unknown check"
    ;;
esac
echo "ok ($check)"
