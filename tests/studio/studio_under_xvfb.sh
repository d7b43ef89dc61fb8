#!/usr/bin/env bash
# Drives quorlax-studio on a private X server with SDL's dummy audio, over a temporary copy of the
# sources, and checks what it prints (--print-state) and what it shows.
# Usage: studio_under_xvfb.sh QUORLAX_STUDIO transport|shaders|music|tracks. Every wait is bounded;
# the server and the program are stopped on every way out. QUORLAX_XVFB_KEEP=DIR keeps the pictures.
set -uo pipefail
studio=$1 check=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/support/private_display.sh" quorlax-studio
source "$root/tests/studio/studio_checks.sh"
fail() {
    echo "FAIL ($check): $*" >&2
    echo "--- state lines:" >&2; cat "$work/out" >&2
    echo "--- errors:" >&2; cat "$work/err" >&2
    exit 1
}

# Waits up to $2 seconds for a state line matching the extended regex $1 (whole line).
wait_line() { wait_in "$work/out" "$1" "$2"; }
# Sends keys to the studio's window, then waits for the state line $2.
key_then() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key "$1"
    wait_line "$2" 60
    # Later waits look only at what comes after (the program appends).
    : >"$work/out"
}
alive() { kill -0 "$pid" 2>/dev/null || fail "not running after $1"; }
# Saves a file as editors do: a new file renamed over the old one.
save() { cat >"$1.new" && mv "$1.new" "$1"; }

start_display 640x480x24
mkdir -p "$work/tree/src"
cp -r "$root/src/shaders" "$root/src/music" "$root/src/tracks" "$work/tree/src/"
tree=$work/tree/src

start() {
    bg "$studio" --size 320x180 --scale 0.25 --paused --print-state --sources "$work/tree" "$@" >>"$work/out" 2>"$work/err"
    pid=$!
    for ((i = 0; i < 300; i++)); do
        window=$(xdotool search --name '^Varnholt Quorlax Studio$' 2>/dev/null | head -1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window titled 'Varnholt Quorlax Studio'"
}
quit() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key Escape
    for ((i = 0; i < 300; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "still running 30 s after Escape"
    wait "$pid" || fail "exit code $?"
    grep -Eq '^quit frames [0-9]+ mean [0-9.]+ ms$' "$work/out" || fail "no quit line"
}

case $check in
transport) # each key moves the playhead by its documented amount; the scene starts are 636 and 892
    start --tick 636
    wait_line 'tick 636.00 scene 2 paused' 120
    : >"$work/out"
    while read -r keys expected; do
        key_then "$keys" "tick $expected paused"
    done <<'TABLE'
Right 644.00 scene 2
shift+Right 676.00 scene 2
Left 668.00 scene 2
shift+Left 636.00 scene 2
Next 892.00 scene 3
Prior 636.00 scene 2
Prior 0.00 scene 1
3 892.00 scene 3
2 636.00 scene 2
Home 0.00 scene 1
TABLE
    key_then l "tick 0.00 scene 1 paused loop 0.00:636.00"
    key_then l "tick 0.00 scene 1 paused"
    key_then space "tick 0.00 scene 1 (waiting|playing)"
    key_then space "tick [0-9.]+ scene 1 paused"
    import -window "$window" "$work/overlay.png"
    [ "$(convert "$work/overlay.png" -crop 150x40+6+6 +repage -format '%[fx:int(255*maxima)]' info:)" -gt 200 ] ||
        fail "no overlay text"
    key_then h "tick [0-9.]+ scene 1 paused overlay off"
    sleep 2 && import -window "$window" "$work/hidden.png"
    [ "$(convert "$work/hidden.png" -crop 150x40+6+6 +repage -format '%[fx:int(255*maxima)]' info:)" -lt 100 ] ||
        fail "the overlay stays after H"
    quit
    ;;
shaders) # an edit changes the picture; a broken one prints the mapped file:line and the picture stays
    start --tick 636
    wait_line 'tick 636.00 scene 2 paused' 120
    before=$(shot before)
    [ "$before" -gt 10 ] || fail "no picture of scene 2 at tick 636: $before"
    : >"$work/out"
    sed 's/^    outColor0.a = 1.0;$/    outColor0.rgb = 1.0 - outColor0.rgb;\n    outColor0.a = 1.0;/' "$tree/shaders/scene2.glsl" |
        save "$tree/shaders/scene2.glsl"
    wait_line 'reload shaders ok scene2.glsl' 60
    wait_line 'tick 636.00 scene 2 paused' 60 # the frame drawn with the new program is on the screen
    after=$(shot after)
    [ $((after - before)) -gt 60 ] || fail "the inverted picture is not brighter: $before -> $after"
    sed -i '42a float brokenValue = missingName * 2.0;' "$tree/shaders/common.inl" # written in place
    wait_line 'reload shaders error src/shaders/common.inl:43' 60
    grep -q "^src/shaders/common.inl:43: .*missingName" "$work/err" || fail "no mapped error on stderr"
    sleep 2 && broken=$(shot broken)
    [ $((broken - after)) -le 8 ] && [ $((after - broken)) -le 8 ] || fail "the picture changed: $after -> $broken"
    head -c 2000 "$tree/shaders/scene2.glsl" >"$work/half" && cp "$work/half" "$tree/shaders/scene2.glsl"
    sleep 3 && alive "a half-written program"
    quit
    ;;
music) # an edit re-renders and switches; a broken source keeps the old music
    start --tick 40
    wait_line 'music [0-9a-f]{8}' 120
    first=$(grep -Ex 'music [0-9a-f]{8}' "$work/out" | tail -1)
    : >"$work/out"
    sed 's/velocity = 2 }/velocity = 3 }/' "$tree/music/song.toml" | save "$tree/music/song.toml"
    wait_line 'reload music ok rendering' 60
    wait_line 'music [0-9a-f]{8}' 120
    second=$(grep -Ex 'music [0-9a-f]{8}' "$work/out" | tail -1)
    [ "$second" != "$first" ] || fail "the same music after the edit ($first)"
    : >"$work/out"
    printf 'tempo = "fast"\n' >>"$tree/music/song.toml"
    wait_line 'reload music error src/music/song.toml:[0-9]+' 60
    sleep 3
    grep -Eqx 'music [0-9a-f]{8}' "$work/out" && fail "the music changed after a broken edit"
    quit
    ;;
tracks) # an edit moves scene 2's start; a half-written or deleted file keeps the old tracks
    start --tick 0
    wait_line 'tick 0.00 scene 1 paused' 120
    cp "$tree/tracks/show.rocket" "$work/show.rocket"
    sed '/<track name="scene">/,/<\/track>/ s/<key row="636"/<key row="660"/' "$work/show.rocket" | save "$tree/tracks/show.rocket"
    wait_line 'reload tracks ok [0-9]+ tracks' 60
    : >"$work/out"
    key_then 2 "tick 660.00 scene 2 paused"
    head -c 5000 "$work/show.rocket" >"$tree/tracks/show.rocket"
    wait_line 'reload tracks error src/tracks/show.rocket:[0-9]+' 60
    rm "$tree/tracks/show.rocket"
    sleep 2 && alive "the track file was deleted"
    key_then 3 "tick 892.00 scene 3 paused"
    key_then 2 "tick 660.00 scene 2 paused"
    quit
    ;;
*)
    echo "usage: $0 QUORLAX_STUDIO transport|shaders|music|tracks" >&2
    exit 2
    ;;
esac
exit 0
