#!/usr/bin/env bash
# Drives quorlax on a private 1280x720 X server as a viewer would and checks the screen.
# Usage: show_under_xvfb.sh QUORLAX dialog|windowed|fullscreen|failure|signals|nofonts|brief. Every wait is
# bounded; the servers and the program are stopped on every way out. QUORLAX_XVFB_KEEP=DIR keeps
# the pictures. `brief` only starts the show windowed, waits for the first scene and ends it:
# scripts/sanitize runs it so that LeakSanitizer sees one whole start-up and shut-down.
set -uo pipefail
quorlax=$1 check=$2
source "$(dirname "${BASH_SOURCE[0]}")/../support/private_display.sh" quorlax-xvfb
export NO_AT_BRIDGE=1 # the private server has no accessibility bus for GTK's bridge to join
fail() { echo "FAIL ($check): $*" >&2; cat "$work/err" >&2; exit 1; }

# Window id of the window titled exactly $1, waiting up to $2 seconds (0: just look).
window() {
    for ((i = 0; i <= $2 * 10; i++)); do
        # awk reads the whole list: an early exit would fail the pipeline with SIGPIPE.
        found=$(xwininfo -root -tree | awk -v name=" \"$1\": " 'index($0, name) && !n++ { print $1 }')
        [ -n "$found" ] && echo "$found" && return 0
        [ "$2" -gt 0 ] && sleep 0.1
    done
    return 1
}
expect_exit_0() {
    for ((i = 0; i < $1 * 10; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "still running after $1 s"
    wait "$pid" || fail "exit code $?"
}
# Brightest channel (0-255) of the area WxH+X+Y of a picture.
brightest() { convert "$1" -crop "$2" +repage -format '%[fx:int(255*maxima)]' info:; }
size() { xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
screen() { xdpyinfo | awk '/dimensions:/ { print $2 }'; }
# A scene has colour above and below the progress bar's rows (black in every progress picture).
scene_shown() {
    import -window "$1" "$work/scene.png"
    [ "$(brightest "$work/scene.png" 1280x230+0+90)" -gt 8 ] && [ "$(brightest "$work/scene.png" 1280x240+0+390)" -gt 8 ]
}
wait_for_scene() {
    for ((i = 0; i < 60; i++)); do scene_shown "$1" && return 0; sleep 3; done
    fail "no scene picture"
}
grab_with_pointer() { ffmpeg -loglevel error -y -f x11grab -draw_mouse 1 -video_size 1280x720 -i "$DISPLAY" -frames:v 1 "$1"; }
# Focus starts on the drop-down; Tab goes to the check box, Run, Quit.
dialog_keys() {
    id=$(window "Varnholt - Quorlax" 30) || fail "no setup dialog"
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
    sleep 0.3
    xdotool key --delay 150 "$@"
}

start_display 1280x720x24 -br
# Without a window manager a window of the screen's size has no title bar pushing it off screen.
[ "$check" = windowed ] || [ "$check" = brief ] || { bg openbox --sm-disable >/dev/null 2>&1; sleep 1; }
[ "$check" = failure ] && export QUORLAX_FORCE_FAILURE=window
# The fonts this system has, none of them: GTK would lay the dialog out off the screen.
[ "$check" = nofonts ] && printf '<?xml version="1.0"?>\n<fontconfig><cachedir>%s</cachedir></fontconfig>\n' \
    "$work/fc" >"$work/fonts.conf" && export FONTCONFIG_FILE=$work/fonts.conf
# Job control, so that a program started in the background does not start with SIGINT ignored.
[ "$check" = signals ] && set -m
before=$(screen)
launch() { bg "$quorlax" >"$work/out" 2>"$work/err"; pid=$!; }
launch
case $check in
dialog)
    line=$(env -u DISPLAY "$quorlax") && [ "$(echo "$line" | wc -l)" = 1 ] && [[ $line == *quorlax-capture* ]] ||
        fail "without a display: $line"
    window "Varnholt - Quorlax" 30 >/dev/null || fail "no setup dialog"
    window "Varnholt Quorlax" 0 && fail "presentation window before the dialog ended"
    sleep 0.5 && import -window root "$work/dialog.png"
    dialog_keys Escape Return alt+F4
    sleep 1
    window "Varnholt - Quorlax" 0 >/dev/null && kill -0 "$pid" || fail "dismissed without a button"
    xdotool key --delay 150 Tab Tab Tab space
    expect_exit_0 10
    [ -s "$work/out" ] && fail "Quit printed: $(cat "$work/out")"
    ;;
windowed)
    dialog_keys Tab space Tab space
    id=$(window "Varnholt Quorlax" 30) || fail "no presentation window"
    [ "$(size "$id")" = 1280x720 ] || fail "client area $(size "$id")"
    sleep 2 && import -window "$id" "$work/progress.png" # the 5 s pause: the bar at 50/256, 250 pixels
    [ "$(brightest "$work/progress.png" 240x50+4+326)" = 255 ] || fail "no progress bar"
    [ "$(brightest "$work/progress.png" 1000x50+260+326)" = 0 ] || fail "progress bar wider than 250"
    wait_for_scene "$id" # and black letter-box bands around it
    [ "$(brightest "$work/scene.png" 1280x8+0+0)$(brightest "$work/scene.png" 1280x8+0+712)" = 00 ] ||
        fail "no letter-box"
    xdotool key Escape
    expect_exit_0 90
    ;;
brief)
    dialog_keys Tab space Tab space
    id=$(window "Varnholt Quorlax" 60) || fail "no presentation window"
    wait_for_scene "$id"
    xdotool key Escape
    expect_exit_0 90 # a leak report ends the program with LeakSanitizer's exit code
    ;;
fullscreen)
    xdotool mousemove 100 100
    dialog_keys Tab Tab space
    id=$(window "Varnholt Quorlax" 30) || fail "no presentation window"
    sleep 2
    xwininfo -id "$id" | grep -Pzq 'upper-left X:  0\n.*upper-left Y:  0' || fail "not at the screen's corner"
    [ "$(size "$id")" = 1280x720 ] || fail "window $(size "$id") does not cover the screen"
    grab_with_pointer "$work/hidden.png"
    [ "$(brightest "$work/hidden.png" 40x40+90+90)" = 0 ] || fail "cursor shown over the presentation"
    xdotool key Escape
    expect_exit_0 90
    grab_with_pointer "$work/shown.png"
    [ "$(brightest "$work/shown.png" 40x40+90+90)" -gt 0 ] || fail "cursor not back after the show"
    ;;
failure)
    dialog_keys Tab Tab space
    for ((i = 0; i < 100; i++)); do box=$(xdotool search --pid "$pid" | head -1) && [ -n "$box" ] && break; sleep 0.1; done
    [ -n "${box:-}" ] || fail "no message box"
    sleep 0.5 && import -window root "$work/failure.png"
    window "Varnholt Quorlax" 0 && fail "presentation window left open"
    grep -qz "no memory?.no music?.no shades?" "$work/err" || fail "message text"
    xdotool windowactivate --sync "$box" key Return
    expect_exit_0 10
    ;;
signals) # Ctrl-C and SIGTERM in each phase end the program as Quit or Escape would, exit code 0
    window "Varnholt - Quorlax" 30 >/dev/null || fail "no setup dialog"
    kill -TERM "$pid"
    expect_exit_0 5
    window "Varnholt - Quorlax" 0 && fail "dialog left after SIGTERM"
    xdotool mousemove 100 100
    launch
    dialog_keys Tab Tab space # full screen
    window "Varnholt Quorlax" 30 >/dev/null || fail "no presentation window"
    sleep 1 && kill -INT "$pid" # in the 5 s pause of the start-up
    expect_exit_0 30
    window "Varnholt Quorlax" 0 && fail "presentation window left after SIGINT"
    grab_with_pointer "$work/shown.png"
    [ "$(brightest "$work/shown.png" 40x40+90+90)" -gt 0 ] || fail "cursor not back after SIGINT in the start-up"
    # No sound device: the program's own line, not ALSA's.
    SDL_AUDIODRIVER=alsa ALSA_CARD=quorlax-no-card launch
    dialog_keys Tab Tab space
    id=$(window "Varnholt Quorlax" 30) || fail "no presentation window"
    wait_for_scene "$id"
    grep -q "^quorlax: no sound device could be opened; the show runs silently" "$work/err" || fail "no line for no sound"
    grep -q "ALSA" "$work/err" && fail "ALSA's messages shown"
    kill -TERM "$pid"
    expect_exit_0 90
    grab_with_pointer "$work/shown.png"
    [ "$(brightest "$work/shown.png" 40x40+90+90)" -gt 0 ] || fail "cursor not back after SIGTERM in the show"
    ;;
nofonts)
    expect_exit_0 10
    window "Varnholt - Quorlax" 0 && fail "a dialog without fonts"
    grep -q "^quorlax: no fonts are installed, so the setup dialog cannot be shown" "$work/err" || fail "no line for no fonts"
    ;;
*) fail "unknown check" ;;
esac
[ "$(screen)" = "$before" ] || fail "display left at $(screen), was $before"
echo "ok ($check)"
