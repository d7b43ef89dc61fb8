#!/usr/bin/env bash
# Drives quorlax-studio --sync on a private X server with SDL's dummy audio against the test
# suite's sync editor (sync-test-editor) serving the show's track source, over a temporary copy
# of the sources: the link comes up and asks for the fifteen tracks, a key the editor sends
# changes the picture, rows go both ways, the editor pauses and plays the studio, SAVE_TRACKS
# writes a track source that trackc compiles, and the studio notices the editor going and coming.
# Usage: sync_under_xvfb.sh QUORLAX_STUDIO SYNC_TEST_EDITOR TRACKC. Every wait is bounded; the
# server and the programs are stopped on every way out. QUORLAX_XVFB_KEEP=DIR keeps the pictures.
set -uo pipefail
studio=$1 editor=$2 trackc=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/support/private_display.sh" quorlax-sync
source "$root/tests/studio/studio_checks.sh"
fail() {
    echo "FAIL: $*" >&2
    echo "--- state lines:" >&2; cat "$work/out" >&2
    echo "--- errors:" >&2; cat "$work/err" >&2
    echo "--- editor:" >&2; cat "$work/editor" >&2
    exit 1
}
# Takes shot $1 until its brightness passes the arithmetic test $2 (on $b), for up to 30 s: a busy
# machine redraws late after keys arrive. Prints the last brightness.
shot_until() {
    for ((t = 0; t < 30; t++)); do
        b=$(shot "$1")
        (($2)) && break
        sleep 1
    done
    echo "$b"
}
# Sends one command line to the editor.
tell() { echo "$1" >&3; }

start_display 640x480x24
mkdir -p "$work/tree/src"
cp -r "$root/src/shaders" "$root/src/music" "$root/src/tracks" "$work/tree/src/"
source_file=$work/tree/src/tracks/show.rocket

# Opened both ways first, so that neither end waits for the other to open; started here rather
# than through bg, whose background command would read /dev/null instead.
mkfifo "$work/commands"
exec 3<>"$work/commands"
"$editor" "$source_file" <"$work/commands" >"$work/editor" 2>&1 &
pids+=($!)
for ((i = 0; i < 50; i++)); do grep -q '^listening ' "$work/editor" && break; sleep 0.1; done
port=$(sed -n 's/^listening //p' "$work/editor")
[ -n "$port" ] || { cat "$work/editor" >&2; echo "FAIL: the editor does not listen" >&2; exit 1; }

bg "$studio" --size 320x180 --scale 0.25 --paused --tick 636 --print-state --sources "$work/tree" \
    --sync "$port" >>"$work/out" 2>"$work/err"
pid=$!
for ((i = 0; i < 300; i++)); do
    window=$(xdotool search --name '^Varnholt Quorlax Studio$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled 'Varnholt Quorlax Studio'"

# The link: greeting, the fifteen tracks in registration order, the studio's row.
wait_in "$work/out" "link connected 127.0.0.1:$port" 120
wait_in "$work/editor" 'track scene \(sent [0-9]+ keys\)' 30
names=$(sed -n 's/^track \([a-z0-9]*\) .*/\1/p' "$work/editor" | tr '\n' ' ')
[ "$names" = "mbrotate mbzoom scratch fadetime fadecolor scenetime invert radialblur cameraposz sectiontime textsection morphingtime1 morphingtime2 shape scene " ] ||
    fail "the tracks asked for: $names"
grep -qx 'greeting hello, synctracker!' "$work/editor" || fail "no greeting"
wait_in "$work/editor" 'row 636' 30
wait_in "$work/out" 'tick 636.00 scene 2 paused' 60
before=$(shot_until before 'b > 10')
[ "$before" -gt 10 ] && [ "$before" -lt 200 ] || fail "no picture of scene 2 at tick 636: $before"

# Keys from the editor: scene 2 fades fully to white from tick 636 on. The screen shows the frame
# before through the depth of field, so the editor moves on to 640, where the frames primed
# before it are white too.
tell "key fadecolor 636 1 0"
tell "key fadetime 636 0 0"
tell "row 640"
wait_in "$work/out" 'tick 640.00 scene 2 paused' 60
after=$(shot_until after "b - $before > 100")
[ $((after - before)) -gt 100 ] || fail "the picture did not fade to white: $before -> $after"

# Rows both ways: the editor seeks, the studio's own move reaches the editor.
tell "row 892"
wait_in "$work/out" 'tick 892.00 scene 3 paused' 60
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Right
wait_in "$work/out" 'tick 900.00 scene 3 paused' 60
wait_in "$work/editor" 'row 900' 30
grep -qx 'row 892' "$work/editor" && fail "the studio echoed the editor's own row"

# Pause and play from the editor.
tell "pause 0"
wait_in "$work/out" 'tick [0-9.]+ scene 3 (waiting|playing)' 60
tell "pause 1"
wait_in "$work/out" 'tick [0-9.]+ scene [0-9] paused' 60

# SAVE_TRACKS: the track source holds the editor's keys, compiles, and the studio reloads it.
tell "save"
wait_in "$work/err" "sync 127.0.0.1:$port: saved the tracks to $source_file" 30
grep -q '<track name="fadetime">' "$source_file" || fail "no fadetime track in the saved file"
saved_fadetime=$(sed -n '/<track name="fadetime">/,/<\/track>/p' "$source_file")
grep -q '<key row="636" value="0" interpolation="0"/>' <<<"$saved_fadetime" ||
    fail "the saved fadetime lacks the editor's key: $(grep -E 'row="6[0-9][0-9]"' <<<"$saved_fadetime" | tr -d '\t')"
"$trackc" "$source_file" --cpp "$work/tracks.cpp" || fail "trackc refuses the saved file"

# The editor goes: the studio says so and keeps the keys; it comes back within the retry time.
: >"$work/out" # the studio appends: later waits look only at what comes after
tell "close"
wait_in "$work/out" "link disconnected 127.0.0.1:$port" 30
wait_in "$work/out" "link connected 127.0.0.1:$port" 30

xdotool windowfocus --sync "$window" 2>/dev/null
xdotool key Escape
for ((i = 0; i < 300; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 30 s after Escape"
wait "$pid" || fail "exit code $?"
exit 0
