# Sourced by the scripts that drive quorlax-studio on a private X server, after
# tests/support/private_display.sh: they set $pid (the studio), $window (its window) and a
# fail function that reports and exits.

# Waits up to $3 seconds for a line matching the extended regex $2 (whole line) in file $1.
wait_in() {
    for ((i = 0; i < $3 * 10; i++)); do
        grep -Eqx "$2" "$1" && return 0
        kill -0 "$pid" 2>/dev/null || fail "the studio exited while waiting for '$2'"
        sleep 0.1
    done
    fail "no line '$2' in ${1##*/} within $3 s"
}
# Mean brightness (0-255) of the window's picture between the overlay's panel and its timeline.
shot() {
    import -window "$window" "$work/$1.png" &&
        convert "$work/$1.png" -crop 320x60+0+100 +repage -format '%[fx:int(255*mean)]' info:
}
