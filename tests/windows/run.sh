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
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
started=$SECONDS
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLAX_BENCH=OFF -DQUORLAX_WERROR="$werror" >/dev/null
targets=(quorlax-capture test_framework test_synth)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
echo "windows: built in $((SECONDS - started)) s"

work=$(mktemp -d /tmp/quorlax-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
wine=/usr/lib/wine/wine64
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() { # NAME COMMAND...: runs one check and counts it
    local name=$1 at=$SECONDS
    shift
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
same_cells() {
    "$root/build/bin/quorlax-capture" glyphs "$work/native.pgm" &&
        on_wine 60 "$build/bin/quorlax-capture.exe" glyphs "$work/wine.pgm" &&
        python3 "$here/compare_glyph_cells.py" "$work/native.pgm" "$work/wine.pgm"
}
# Linux-only cases (SDL's drivers, XDG paths) are left out.
suite() { on_wine 300 "$build/bin/test_$1.exe" --gtest_brief=1 --gtest_filter='-*Linux*:*Sdl*'; }

check "song equal bit for bit to the native one (60 s)" same_song
check "GDI and FreeType glyphs in the same cells" same_cells
check "framework suite under Wine" suite framework
check "synth suite under Wine" suite synth

echo "windows: $failures failed, $((SECONDS - started)) s in all"
[ "$failures" -eq 0 ]
