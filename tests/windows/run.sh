#!/usr/bin/env bash
# Builds the Windows executables with mingw-w64 into build-win/ and proves them under Wine:
# the song's samples equal the native build's bit for bit, both glyph rasterisers place every
# character in its cell, the suites that need no GL pass, and the presentation behaves.
# Needs the native build (build/bin/quorlax-capture). QUORLAX_SKIP_WINDOWS=1 skips it all.
set -euo pipefail
[ "${QUORLAX_SKIP_WINDOWS:-}" = 1 ] && { echo "windows: skipped (QUORLAX_SKIP_WINDOWS=1)"; exit 0; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
here=$root/tests/windows

# Everything runs inside a private X server, as Wine's windows need one.
if [ -z "${QUORLAX_WINDOWS_IN_XVFB:-}" ]; then
    exec env QUORLAX_WINDOWS_IN_XVFB=1 xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$@"
fi

build=$root/build-win
source "$root/scripts/build_env"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
started=$SECONDS
quorlax_configure "$build" -S "$root" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAX_BENCH=OFF -DQUORLAX_WERROR="$werror" \
    -DQUORLAX_HOST_SONGC="$root/build/bin/songc"
targets=(quorlax quorlax-capture test_base test_framework test_synth test_win32)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
echo "windows: built in $((SECONDS - started)) s"

work=$(mktemp -d /tmp/quorlax-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
wine=/usr/lib/wine/wine64
# Not on PATH where Wine is installed as wine64 alone.
wineserver=$(dirname "$wine")/wineserver
# No client may start a PulseAudio server of its own (it would answer where none should).
export PULSE_CLIENTCONFIG=$work/pulse-client.conf
echo "autospawn = no" >"$PULSE_CLIENTCONFIG"
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    # Wine's last processes may still be writing into the prefix for a moment.
    for _ in 1 2 3 4 5; do rm -rf "$work" 2>/dev/null && return 0; sleep 1; done
    echo "windows: could not remove $work" >&2
}
trap cleanup EXIT

failures=0
# QUORLAX_WINDOWS_CHECKS=REGEX runs only the checks whose names match.
check() { # NAME COMMAND...: runs one check and counts it
    local name=$1 at=$SECONDS
    shift
    [[ "$name" =~ ${QUORLAX_WINDOWS_CHECKS:-.} ]] || return 0
    if "$@"; then echo "PASS $name ($((SECONDS - at)) s)"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
on_wine() { # SECONDS PROGRAM ARGS...: a Windows program under Wine, bounded in time
    local limit=$1
    shift
    timeout --kill-after=5 "$limit" "$wine" "$@"
}

# A fresh prefix; Courier New is served by its metric twin, as Wine ships no such face.
at=$SECONDS
on_wine 120 wineboot --init >/dev/null 2>&1
on_wine 60 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /d "Liberation Mono" /f >/dev/null
echo "windows: Wine prefix ready in $((SECONDS - at)) s"

same_song() { # the first 60 s of the song, rendered natively and under Wine
    "$root/build/bin/quorlax-capture" wav --frames 2646000 "$work/native.wav" >/dev/null &&
        on_wine 120 "$build/bin/quorlax-capture.exe" wav --frames 2646000 "$work/wine.wav" >/dev/null &&
        cmp "$work/native.wav" "$work/wine.wav"
}
# The music sources compiled by the Windows build equal the built-in music, and the file they are
# written to replaces an existing one whole, with no temporary file left beside it.
sources_over_existing_file() {
    local music=$root/src/music out=$work/replaced/sources.wav
    mkdir -p "$work/replaced" && echo stale >"$out" &&
        "$root/build/bin/quorlax-capture" wav --frames 88200 "$work/builtin.wav" >/dev/null &&
        on_wine 120 "$build/bin/quorlax-capture.exe" wav --frames 88200 --song "$music/song.toml" \
            --patch "$music/patch.toml" "$out" >/dev/null &&
        cmp "$work/builtin.wav" "$out" && [ "$(ls -A "$work/replaced")" = sources.wav ]
}
same_cells() {
    "$root/build/bin/quorlax-capture" glyphs "$work/native.pgm" &&
        on_wine 60 "$build/bin/quorlax-capture.exe" glyphs "$work/wine.pgm" &&
        python3 "$here/compare_glyph_cells.py" "$work/native.pgm" "$work/wine.pgm"
}
# Linux-only cases are left out: SDL's drivers, XDG paths, and the per-thread CPU clock of the
# real-time cursor (winpthreads cannot read another thread's; it answers with the wall clock).
suite() { on_wine 300 "$build/bin/test_$1.exe" --gtest_brief=1 --gtest_filter='-*Linux*:*Sdl*:*RealTimeCursor*'; }

# The executable: GUI subsystem, system DLLs only, dialog 106 and the manifest among its resources.
exe=$build/bin/quorlax.exe
objdump=x86_64-w64-mingw32-objdump
imports_only_system() {
    local headers dlls
    headers=$("$objdump" -p "$exe") || return 1
    dlls=$(awk '/DLL Name:/ { print toupper($3) }' <<<"$headers" | sort | tr '\n' ' ')
    [ "$dlls" = "GDI32.DLL KERNEL32.DLL MSVCRT.DLL OPENGL32.DLL USER32.DLL WINMM.DLL " ] || { echo "imports: $dlls"; return 1; }
    grep -q '^Subsystem.*(Windows GUI)' <<<"$headers"
}
resources_hold_dialog_and_manifest() {
    local rc
    rc=$(x86_64-w64-mingw32-windres --input-format=coff --output-format=rc -i "$exe") || return 1
    grep -q '^106 DIALOGEX 0, 0, 149, 92$' <<<"$rc" && grep -q 'CAPTION "Varnholt - Quorlax"' <<<"$rc" &&
        grep -q 'CONTROL "", 1012, "COMBOBOX", 0x50210003, 9, 15, 128, 60' <<<"$rc" &&
        grep -q '^1 24 ' <<<"$rc" && grep -q 'level=""asInvoker"" uiAccess=""false""' <<<"$rc"
}
check "quorlax.exe imports only system DLLs, GUI subsystem" imports_only_system
check "resources hold dialog 106 and the asInvoker manifest" resources_hold_dialog_and_manifest

check "song equal bit for bit to the native one (60 s)" same_song
check "music sources compiled under Wine, written over a file" sources_over_existing_file
check "GDI and FreeType glyphs in the same cells" same_cells
check "base suite under Wine" suite base
check "framework suite under Wine" suite framework
check "synth suite under Wine" suite synth

# waveOut: without a sound server no device opens and the wall clock drives the show's clock; with
# a PulseAudio null sink the device opens and its play position does.
wave_out() { QUORLAX_EXPECT_WAVE_OUT=$1 on_wine 60 "$build/bin/test_win32.exe" --gtest_brief=1; }
with_null_sink() {
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=file:"$work/pulse.log" \
        --load=module-native-protocol-unix --load="module-null-sink sink_name=quorlax" \
        --load="module-always-sink" >/dev/null 2>&1 &
    local pulse=$! ok=1
    # Each Wine process looks for a sound server when it loads its audio driver: the socket must
    # be there first.
    for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break; sleep 0.1; done
    if [ -S "$XDG_RUNTIME_DIR/pulse/native" ]; then wave_out 1 && ok=0; else echo "no PulseAudio socket"; fi
    kill "$pulse" 2>/dev/null
    wait "$pulse" 2>/dev/null
    return "$ok"
}
check "no sound device: the wall clock drives the clock" wave_out 0
check "PulseAudio null sink: the waveOut position drives the clock" with_null_sink

# The presentation under Wine, driven like a viewer would. Screen positions are those of the
# dialog centred on the 1920 x 1080 screen (the same with and without Wine's desktop).
source "$here/show_under_wine.sh"
check "Quit ends the dialog with exit code 0 and no window" show_quit
use_wine_desktop || failures=$((failures + 1))
check "dialog offers 1280x720 and 1920x1080, the latter selected" show_mode_list
check "windowed 1280x720: client size, progress bar, a scene, Escape exits 0" show_windowed
check "full screen 1280x720 changes the mode and restores it" show_fullscreen

echo "windows: $failures failed, $((SECONDS - started)) s in all"
[ "$failures" -eq 0 ]
