# The presentation's checks under Wine, sourced by run.sh (which sets wine, wineserver, exe, work,
# on_wine and check). Screens are read with ImageMagick; QUORLAX_WINE_PICTURES=DIR keeps the
# pictures taken. Wine answers in its own time, the more so on a busy machine: every step waits
# for what it needs to see, polling with a bound, and never for a fixed time.
pictures=${QUORLAX_WINE_PICTURES:-$work}
mkdir -p "$pictures"

# Where the dialog's parts are on the 1920 x 1080 screen, and the colours that show their state.
readonly run_button="913 590" quit_button="1000 590" fullscreen_box="983 555" check_mark="982 556"
readonly list_arrow="1042 513" first_entry="890 529" second_entry="890 541" third_entry="890 553"
readonly caption="960 470" caption_blue="srgb(50,150,250)" highlight="srgb(48,150,250)"
readonly white="srgb(255,255,255)" dialog_grey="srgb(245,245,245)" black="srgb(0,0,0)"

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
# The brightest value (0-255) of a region WxH+X+Y.
brightest() { convert "$pictures/$1.png" -crop "$2" -format '%[fx:int(255*maxima)]' info:; }
# "OFFSET LENGTH" of the span from the first to the last black pixel of a region WxH+X+Y.
black_span() { # PICTURE REGION x|y
    local format='%X %w'
    [ "$3" = y ] && format='%Y %h'
    convert "$pictures/$1.png" -crop "$2" +repage -fill white +opaque black -negate -trim -format "$format" info: |
        tr -d +
}
until_true() { # SECONDS COMMAND...: polls (every $poll seconds, default 0.5) until COMMAND succeeds
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep "${poll:-0.5}"
    done
}
shows() { shot "$1" && [ "$(pixel "$1" "$2" "$3")" = "$4" ]; } # PICTURE X Y COLOUR
# A click, then the wait until it shows: a click sent before the list has opened or closed
# lands on whatever was there before.
click() { # X Y PICTURE X Y COLOUR
    xdotool mousemove "$1" "$2" click 1
    until_true 20 shows "${@:3}" || { echo "$3: $(pixel "$3" "$4" "$5") at $4, $5 after a click at $1, $2"; return 1; }
}
press() { xdotool mousemove "$1" "$2" click 1; }
desktop_size() { xdotool search --name "Wine desktop" getwindowgeometry 2>/dev/null | awk '/Geometry:/ { print $2; exit }'; }
dialog_on_desktop() {
    until_true 60 shows dialog $caption "$caption_blue" && return 0
    xdotool search --name "Wine desktop" >/dev/null && echo "no dialog" || echo "no Wine desktop"
    stop_show
    return 1
}
# The list open, then 1280x720 chosen from it (the list closed again).
choose_1280x720() {
    click $list_arrow list $second_entry "$highlight" && click $first_entry chosen $first_entry "$dialog_grey"
}

# Without Wine's desktop every window is an X window that can be looked for by name.
show_quit() {
    start_show
    until_true 60 xdotool search --name "^Varnholt - Quorlax$" >/dev/null || { echo "no dialog"; stop_show; return 1; }
    sleep 1
    shot dialog-plain
    press $quit_button
    # No presentation window while the program ends.
    for _ in $(seq 100); do
        kill -0 "$show_pid" 2>/dev/null || break
        xdotool search --name "^Varnholt Quorlax$" >/dev/null && { echo "a presentation window"; stop_show; return 1; }
        sleep 0.2
    done
    ended_with_0 1
}

# Mode changes need Wine's desktop, which also offers the common modes below the screen's size.
# The desktop is made when a server's first process opens it: a server still running keeps the
# one it has, so the server is ended and the setting read back before the next program starts.
use_wine_desktop() {
    local key='HKCU\Software\Wine\Explorer'
    on_wine 60 reg add "$key" /v Desktop /d Default /f >/dev/null &&
        on_wine 60 reg add "$key\\Desktops" /v Default /d 1920x1080 /f >/dev/null || return 1
    "$wineserver" -k 2>/dev/null
    "$wineserver" -w
    on_wine 60 reg query "$key\\Desktops" /v Default | grep -q 1920x1080 || { echo "windows: no desktop setting"; return 1; }
}

# 1280x720 then 1920x1080 (selected), nothing more: Wine's other modes are not offered.
two_modes_listed() {
    shows list $second_entry "$highlight" && [ "$(pixel list $first_entry)" = "$white" ] &&
        [ "$(pixel list $third_entry)" = "$dialog_grey" ]
}
show_mode_list() {
    start_show
    dialog_on_desktop || return 1
    press $list_arrow
    until_true 20 two_modes_listed || { echo "list: $(pixel list $first_entry) $(pixel list $third_entry)"; stop_show; return 1; }
    # Closed before Quit is pressed, as a click beside an open list only closes it.
    click $list_arrow closed $first_entry "$dialog_grey" || { stop_show; return 1; }
    press $quit_button
    ended_with_0 20
}

client_shown() { shot window && [ "$(pixel window 960 540)" = "$black" ]; }
# The bar during the fixed 5 s pause of the scenes' start, stage 50 of 256: 250 of 1280 pixels,
# bottom at 720 * 135 / 256 = 379, in a client area at LEFT, TOP.
bar_shown() { # PICTURE LEFT TOP
    shot "$1" && [ "$(brightest "$1" "240x50+$(($2 + 4))+$(($3 + 326))")" -eq 255 ] &&
        [ "$(brightest "$1" "1000x50+$(($2 + 260))+$(($3 + 326))")" -eq 0 ]
}
# Below the progress bar (which ends at row 379), so only a drawn frame can light it.
scene_shown() { shot scene && [ "$(brightest scene "1280x300+$left+$((top + 400))")" -gt 40 ]; }

show_windowed() {
    start_show
    dialog_on_desktop || return 1
    choose_1280x720 && click $fullscreen_box windowed $check_mark "$white" || { stop_show; return 1; }
    press $run_button
    until_true 60 client_shown || { echo "no window"; stop_show; return 1; }
    local top height left width
    read -r top height < <(black_span window 2x1080+1500+0 y)
    read -r left width < <(black_span window "1920x2+0+$((top + 100))" x)
    [ "$width x $height" = "1280 x 720" ] || { echo "client $width x $height at $left, $top"; stop_show; return 1; }
    # Centred on the screen (the title bar takes its share above the client area).
    [ "$left" -eq 320 ] || { echo "client left edge at $left"; stop_show; return 1; }
    until_true 10 bar_shown progress "$left" "$top" || { echo "no progress bar"; stop_show; return 1; }
    # Each frame takes seconds on llvmpipe: fewer pictures leave it more of the machine.
    poll=2 until_true 300 scene_shown || { echo "no scene"; stop_show; return 1; }
    # Read once the frame being drawn is shown.
    xdotool key Escape
    ended_with_0 120
}

# The desktop window's sizes, in order, as X announced them while the program ran (a size
# announced twice counted once).
desktop_sizes() {
    grep -o 'width [0-9]*, height [0-9]*' "$work/desktop.xev" | sed 's/width \(.*\), height /\1x/' | uniq | paste -sd ' '
}
show_fullscreen() {
    start_show
    dialog_on_desktop || return 1
    # The mode is given back just before the program ends, when the desktop may go at once too:
    # X's own record of the desktop's sizes cannot miss it.
    xev -id "$(xdotool search --name "Wine desktop" | head -1)" -event structure >"$work/desktop.xev" 2>&1 &
    local xev=$!
    choose_1280x720 || { stop_show; kill "$xev"; return 1; }
    press $run_button
    until_true 60 eval '[ "$(desktop_size)" = 1280x720 ]' || { echo "mode $(desktop_size)"; stop_show; kill "$xev"; return 1; }
    # The window covers the whole mode: the bar starts at the screen's left edge.
    until_true 30 bar_shown fullscreen 0 0 || { echo "no progress bar across the mode"; stop_show; kill "$xev"; return 1; }
    # Escape is read once the show has started.
    xdotool key Escape
    ended_with_0 180
    local rc=$?
    kill "$xev" 2>/dev/null
    wait "$xev" 2>/dev/null
    [ "$rc" -eq 0 ] || return 1
    [ "$(desktop_sizes)" = "1280x720 1920x1080" ] || { echo "desktop sizes: $(desktop_sizes)"; return 1; }
}
