# The presentation's checks under Wine, sourced by run.sh (which sets wine, exe, work, check).
# Screens are read with ImageMagick; QUORLAX_WINE_PICTURES=DIR keeps the pictures taken.
pictures=${QUORLAX_WINE_PICTURES:-$work}
mkdir -p "$pictures"

# Where the dialog's parts are on the 1920 x 1080 screen.
readonly run_button="913 590" quit_button="1000 590" fullscreen_box="983 555"
readonly list_arrow="1042 513" first_entry="890 529" second_entry="890 541" third_entry="890 553"
readonly caption="960 470" caption_blue="srgb(50,150,250)" highlight="srgb(48,150,250)"

# Start-up builds eight scene programs on llvmpipe: minutes on a busy machine, so waits are long
# but bounded.
start_show() {
    timeout --kill-after=5 420 "$wine" "$exe" >"$work/show.out" 2>&1 &
    show_pid=$!
}
stop_show() { kill "$show_pid" 2>/dev/null; wait "$show_pid" 2>/dev/null; }
# SECONDS: 0 when the program ends in time with exit code 0.
ended_with_0() {
    local rc
    for _ in $(seq $(($1 * 10))); do kill -0 "$show_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$show_pid" 2>/dev/null && { echo "still running after $1 s"; stop_show; return 1; }
    wait "$show_pid"
    rc=$?
    [ "$rc" -eq 0 ] || echo "exit code $rc"
    return "$rc"
}
shot() { import -window root "$pictures/$1.png"; }
pixel() { convert "$pictures/$1.png" -format "%[pixel:p{$2,$3}]" info:; }
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.7; }
# The brightest value (0-255) of a region WxH+X+Y.
brightest() { convert "$pictures/$1.png" -crop "$2" -format '%[fx:int(255*maxima)]' info:; }
# "OFFSET LENGTH" of the span from the first to the last black pixel of a region WxH+X+Y.
black_span() { # PICTURE REGION x|y
    local format='%X %w'
    [ "$3" = y ] && format='%Y %h'
    convert "$pictures/$1.png" -crop "$2" +repage -fill white +opaque black -negate -trim -format "$format" info: |
        tr -d +
}
until_true() { # SECONDS COMMAND...
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 2))); do "$@" && return 0; sleep 0.5; done
    return 1
}
dialog_shown() { shot dialog && [ "$(pixel dialog $caption)" = "$caption_blue" ]; }
desktop_size() { xdotool search --name "Wine desktop" getwindowgeometry 2>/dev/null | awk '/Geometry:/ { print $2; exit }'; }

# Without Wine's desktop every window is an X window that can be looked for by name.
show_quit() {
    start_show
    until_true 60 xdotool search --name "^Varnholt - Quorlax$" >/dev/null || { echo "no dialog"; stop_show; return 1; }
    sleep 1
    shot dialog-plain
    click $quit_button
    # No presentation window while the program ends.
    for _ in $(seq 100); do
        kill -0 "$show_pid" 2>/dev/null || break
        xdotool search --name "^Varnholt Quorlax$" >/dev/null && { echo "a presentation window"; stop_show; return 1; }
        sleep 0.2
    done
    ended_with_0 1
}

# Mode changes need Wine's desktop, which also offers the common modes below the screen's size.
use_wine_desktop() {
    on_wine 60 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null &&
        on_wine 60 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

show_mode_list() {
    start_show
    until_true 60 dialog_shown || { echo "no dialog"; stop_show; return 1; }
    click $list_arrow
    shot list
    click $list_arrow
    click $quit_button
    ended_with_0 20 || return 1
    # 1280x720 then 1920x1080 (selected), nothing more: Wine's other modes are not offered.
    [ "$(pixel list $first_entry)" = "srgb(255,255,255)" ] && [ "$(pixel list $second_entry)" = "$highlight" ] &&
        [ "$(pixel list $third_entry)" = "srgb(245,245,245)" ]
}

client_shown() { shot window && [ "$(pixel window 960 540)" = "srgb(0,0,0)" ]; }
# Below the progress bar (which ends at row 379), so only a drawn frame can light it.
scene_shown() { shot scene && [ "$(brightest scene "1280x300+$left+$((top + 400))")" -gt 40 ]; }

show_windowed() {
    start_show
    until_true 60 dialog_shown || { echo "no dialog"; stop_show; return 1; }
    click $list_arrow
    click $first_entry
    click $fullscreen_box
    click $run_button
    until_true 60 client_shown || { echo "no window"; stop_show; return 1; }
    local top height left width
    read -r top height < <(black_span window 2x1080+1500+0 y)
    read -r left width < <(black_span window "1920x2+0+$((top + 100))" x)
    [ "$width x $height" = "1280 x 720" ] || { echo "client $width x $height at $left, $top"; stop_show; return 1; }
    # Centred on the screen (the title bar takes its share above the client area).
    [ "$left" -eq 320 ] || { echo "client left edge at $left"; stop_show; return 1; }
    # The bar during the 5 s pause: 50/256 of 1280 = 250 pixels, bottom at 720 * 135 / 256 = 379.
    sleep 1
    shot progress
    [ "$(brightest progress "240x50+$((left + 4))+$((top + 326))")" -eq 255 ] &&
        [ "$(brightest progress "1000x50+$((left + 260))+$((top + 326))")" -eq 0 ] || { echo "no progress bar"; stop_show; return 1; }
    until_true 300 scene_shown || { echo "no scene"; stop_show; return 1; }
    xdotool key Escape
    ended_with_0 60
}

show_fullscreen() {
    start_show
    until_true 60 dialog_shown || { echo "no dialog"; stop_show; return 1; }
    click $list_arrow
    click $first_entry
    click $run_button
    until_true 60 eval '[ "$(desktop_size)" = 1280x720 ]' || { echo "mode $(desktop_size)"; stop_show; return 1; }
    sleep 2
    shot fullscreen
    xdotool key Escape
    local restored=no
    for _ in $(seq 120); do
        [ "$(desktop_size)" = 1920x1080 ] && restored=yes
        kill -0 "$show_pid" 2>/dev/null || break
        sleep 0.5
    done
    ended_with_0 10 || return 1
    [ "$(desktop_size)" = 1920x1080 ] && restored=yes
    [ "$restored" = yes ] || { echo "mode left at $(desktop_size)"; return 1; }
}
