#!/usr/bin/env python3
"""Writes the soundtrack: the patch (sixteen instruments and the mix) and the song (notes and
controller automation) of "Varnholt Quorlax".

The composition lives here as code because much of it is patterned (drum grids, arpeggios,
automation ramps); the sources the build compiles are what this script writes:

    src/music/generate.py --toml src/music      # the sources (after a change here)
    src/music/generate.py --blobs DIR           # song.bin and patch.bin straight from the model
    src/music/generate.py --plan                # the section table and the flash accents

Time is counted in clock ticks: eight to a beat at 125 beats per minute, 32 to a bar, bar b
starting at tick 32 b. Clock tick t is sample t * 2646; the sequencer works in ticks of 64
samples, so a clock tick is 41.34375 sequencer ticks and events are rounded to the nearest one.
"""

import json
import math
import os
import struct
import sys

# ---- Grid -----------------------------------------------------------------------------------

SONG_FRAMES = 9733716
SAMPLES_PER_TICK = 64
TEMPO = 125.0
SAMPLES_PER_CLOCK = 2646
BAR = 32
BEAT = 8
STEP = 2  # a sixteenth note


def seq(t):
    """The sequencer tick nearest clock tick t (t may be fractional)."""
    return int(math.floor(t * SAMPLES_PER_CLOCK / SAMPLES_PER_TICK + 0.5))


LAST_SEQ_TICK = (SONG_FRAMES + SAMPLES_PER_TICK - 1) // SAMPLES_PER_TICK - 1

# The picture's white flashes: where a fade key below 1 runs linearly to a key of 1.
FLASHES = [
    134, 149, 166, 197, 214, 230, 262, 278, 294, 306, 312, 326, 340, 358, 388, 400, 418, 452,
    470, 483, 515, 533, 547, 561, 566, 581, 595, 636, 892, 918, 935, 943, 950, 966, 982, 998,
    1008, 1015, 1026, 1044, 1060, 1072, 1080, 1094, 1110, 1126, 1136, 1144, 1156, 1173, 1186,
    1200, 1205, 1221, 1237, 1253, 1264, 1268, 1284, 1302, 1316, 1324, 1349, 1364, 1376, 1384,
    1388, 1393, 1402, 1661, 1727, 1789, 1853, 1916, 1940, 1957, 1970, 1974, 2005, 2023, 2033,
    2037, 2048, 2057, 2070, 2083, 2098, 2120, 2134, 2150, 2158, 2162, 2166, 2170, 2300,
]
FINAL_BLINK = 3638  # the last fade keys (3638 to 3644) close the show

# Sections: (name, first tick, end tick, what the picture shows, what the music does).
SECTIONS = [
    ("opening", 0, 636, "dark blue metaballs over a navy plasma, 27 irregular flashes",
     "D minor, drone and pad swelling in, deep impacts on every flash"),
    ("star", 636, 892, "a pink branch star",
     "half-time groove enters, the lead motif is stated"),
    ("tunnel", 892, 1402, "a misty tunnel, a flash about every 16 ticks",
     "the driving part: four on the floor, sixteenth arpeggio, motif answered"),
    ("sun", 1402, 1661, "a sun behind dark strands, no flash",
     "breakdown: no drums, the motif slowed down on bells over warm chords"),
    ("foam", 1661, 1916, "hue-shifting foam, a flash every 62 to 66 ticks",
     "build over an A pedal: filter opens, snare roll, risers peak on the flashes"),
    ("cave", 1916, 2048, "a teal cave, 8 flashes", "intense: full kit, stabs on the flashes"),
    ("gyroid", 2048, 2300, "a holed gyroid, 11 flashes then a long gap",
     "climax with the motif in thirds, then everything falls away into chimes"),
    ("solids", 2300, 3679, "morphing solids with title, credits and greetings",
     "calm and melodic in F major, bells and strings, ending on the last blink"),
]

# ---- Harmony --------------------------------------------------------------------------------

NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
SCALE = [2, 4, 5, 7, 9, 10, 0]  # D natural minor; F major has the same notes


def note(name):
    """'D4' -> 62, 'Bb3' -> 58."""
    pc = NAMES[name[0]]
    rest = name[1:]
    if rest.startswith("b"):
        pc -= 1
        rest = rest[1:]
    elif rest.startswith("#"):
        pc += 1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + pc


# Chords as pitch classes from the root; every chord used is diatonic to D minor.
CHORDS = {
    "Dm": ("D", [0, 3, 7]), "Dm9": ("D", [0, 3, 7, 10, 14]), "Dm7": ("D", [0, 3, 7, 10]),
    "Bb": ("Bb", [0, 4, 7]), "Bbmaj7": ("Bb", [0, 4, 7, 11]), "F": ("F", [0, 4, 7]),
    "Fmaj7": ("F", [0, 4, 7, 11]), "Fmaj9": ("F", [0, 4, 7, 11, 14]), "C": ("C", [0, 4, 7]),
    "Csus4": ("C", [0, 5, 7]), "Gm": ("G", [0, 3, 7]), "Gm7": ("G", [0, 3, 7, 10]),
    "Gm9": ("G", [0, 3, 7, 10, 14]), "Am": ("A", [0, 3, 7]), "Am7": ("A", [0, 3, 7, 10]),
    "Asus4": ("A", [0, 5, 7]), "Em7b5": ("E", [0, 3, 6, 10]),
}

# One chord per bar, bars 0 to 114.
PROGRESSION = (
    ["Dm9"] * 4 + ["Bbmaj7"] * 4 + ["Gm9"] * 4 + ["Dm9"] * 4 + ["Asus4"] * 2 + ["Am7"] * 2   # 0-19
    + ["Bbmaj7", "C", "Dm", "Dm", "Bbmaj7", "C", "Am7", "Am7"]                              # 20-27
    + ["Dm", "Dm", "Bb", "Bb", "F", "F", "C", "C",
       "Dm", "Bb", "F", "C", "Gm", "Bb", "Csus4", "C"]                                      # 28-43
    + ["Bbmaj7", "Bbmaj7", "F", "F", "Gm7", "Gm7", "Csus4", "C"]                            # 44-51
    + ["Dm", "Dm", "Bb", "Bb", "Gm", "Gm", "Asus4", "Am"]                                   # 52-59
    + ["Dm", "Bb", "C", "Am"]                                                               # 60-63
    + ["Dm", "Bb", "F", "C", "Bbmaj7", "Bbmaj7", "Gm9", "Gm9"]                              # 64-71
    + ["Fmaj7", "Am7", "Bbmaj7", "C", "Fmaj7", "Am7", "Bbmaj7", "Csus4",
       "Dm9", "Bbmaj7", "Gm7", "C", "C"]                                                    # 72-84
    + ["Dm", "Bb", "F", "C", "Dm", "Bb", "Gm7", "C", "Dm", "Bb", "F", "C"]                  # 85-96
    + ["Bbmaj7", "F", "Gm7", "Fmaj7", "Bbmaj7", "Am7", "Gm7", "C", "Bbmaj7", "Am7", "Dm9"]  # 97-107
    + ["Bbmaj7", "C", "Fmaj9", "Fmaj9", "Dm9", "Dm9", "Dm9"]                                # 108-114
)
assert len(PROGRESSION) == 115


def chord(bar):
    return CHORDS[PROGRESSION[min(bar, len(PROGRESSION) - 1)]]


def root_pc(bar):
    return (NAMES[chord(bar)[0][0]] - (1 if "b" in chord(bar)[0] else 0)) % 12


def chord_pcs(bar):
    r = root_pc(bar)
    return [(r + i) % 12 for i in chord(bar)[1]]


def nearest(pc, around):
    """The note of pitch class pc nearest to `around`."""
    base = around - ((around - pc) % 12)
    return base if around - base <= 6 else base + 12


def voicing(bar, low, count):
    """Close voicing of the bar's chord from `low` up, `count` notes."""
    r = root_pc(bar)
    ivs = chord(bar)[1]
    root = low + ((r - low) % 12)
    notes = []
    octave = 0
    while len(notes) < count:
        for i in ivs:
            n = root + i + 12 * octave
            if n >= low and len(notes) < count:
                notes.append(n)
        octave += 1
    return sorted(set(notes))[:count]


def degree(d, octave=4):
    """Scale degree d of D minor (0 = D) as a note, octaves counted from D`octave`."""
    o, i = divmod(d, 7)
    pc = SCALE[i]
    n = 12 * (octave + 1 + o) + pc
    if pc < 2:
        n += 12  # C lies above D in the octave of D
    return n


# ---- Song model -----------------------------------------------------------------------------


class Song:
    def __init__(self):
        self.notes = {c: [] for c in range(16)}  # (on seq tick, off seq tick, note, velocity)
        self.ctl = {}  # (channel, controller) -> list of (seq tick, value)

    def add(self, ch, t, length, n, vel, exact=False):
        """A note at clock tick t lasting `length` clock ticks."""
        on = seq(t)
        off = max(on + 1, seq(t + length))
        vel = max(1, min(127, int(round(vel))))
        assert 0 <= n <= 127, n
        self.notes[ch].append((on, min(off, LAST_SEQ_TICK), n, vel))

    def cc(self, ch, ctl, t, value):
        self.ctl.setdefault((ch, ctl), []).append((seq(t), max(0, min(127, int(round(value))))))

    def ramp(self, ch, ctl, t0, t1, v0, v1, every=4):
        t = t0
        while t < t1:
            self.cc(ch, ctl, t, v0 + (v1 - v0) * (t - t0) / (t1 - t0))
            t += every
        self.cc(ch, ctl, t1, v1)

    def tidy(self):
        """Sorts each channel and cuts a note short where the same pitch starts again."""
        for ch, notes in self.notes.items():
            notes.sort()
            last_on = {}
            fixed = []
            for on, off, n, v in reversed(notes):
                nxt = last_on.get(n)
                if nxt is not None and off > nxt:
                    off = max(on + 1, nxt)
                    if off > nxt:  # two notes of one pitch on one tick: keep the later
                        continue
                last_on[n] = on
                fixed.append((on, off, n, v))
            self.notes[ch] = sorted(fixed)
        for k in self.ctl:
            events = sorted(self.ctl[k])
            dedup = []
            for e in events:
                if dedup and dedup[-1][0] == e[0]:
                    dedup[-1] = e
                else:
                    dedup.append(e)
            # Drop repeats of the same value.
            out = []
            for e in dedup:
                if not out or out[-1][1] != e[1]:
                    out.append(e)
            self.ctl[k] = out


# Channels.
PAD, BASS, KICK, SNARE, HATS, PERC, LEAD, ARP, STAB, RISER, ATMOS, BELL, IMPACT, STRINGS, CHIME, DRONE = range(16)
CHANNEL_NAMES = ["pad", "bass", "kick", "snare", "hats", "perc", "lead", "arp", "stab", "riser",
                 "atmosphere", "bell", "impact", "strings", "chime", "drone"]
# Channels whose note-ons count as accents.
ACCENT_CHANNELS = [KICK, SNARE, STAB, IMPACT]

# Note numbers of the drum and effect instruments (see the patch's key ranges).
KICK_NOTE = 33
SNARE_NOTE, CLAP_NOTE = 40, 52
HAT_CLOSED, HAT_OPEN = 44, 48
TOM_LOW, RIM = 41, 64
BOOM, CRASH, ZAP = 29, 57, 81
RISE_1BAR, RISE_2BAR, RISE_4BAR, FALL = 38, 26, 50, 62

# The motif: (start, length, scale degree) in clock ticks over two bars; degree 0 is D4.
MOTIF_A = [(0, 6, -3), (6, 2, 0), (8, 8, 2), (16, 4, 1), (20, 4, 0), (24, 8, -1),
           (32, 6, 0), (38, 2, 1), (40, 12, 2), (52, 4, 3), (56, 8, 4)]
MOTIF_B = [(0, 6, -3), (6, 2, 0), (8, 8, 2), (16, 4, 1), (20, 4, 0), (24, 8, -1),
           (32, 6, 0), (38, 2, -1), (40, 12, -2), (52, 4, -3), (56, 8, 0)]
# A variation: the leap widened to an octave and the line turned upward at its end.
MOTIF_C = [(0, 4, -3), (4, 4, 4), (8, 6, 2), (14, 2, 3), (16, 4, 4), (20, 4, 2), (24, 8, 1),
           (32, 4, 0), (36, 4, 1), (40, 8, 2), (48, 4, 4), (52, 4, 5), (56, 8, 7)]


def play_motif(song, ch, motif, t0, octave=4, shift=0, vel=100, stretch=1, legato=0.9,
               harmony=None):
    for start, length, d in motif:
        n = degree(d + shift, octave)
        v = vel + (8 if start % 32 == 0 else 0) - (6 if length <= 2 else 0)
        song.add(ch, t0 + start * stretch, length * stretch * legato, n, v)
        if harmony is not None:
            song.add(harmony[0], t0 + start * stretch, length * stretch * legato,
                     degree(d + shift + harmony[1], octave), v - 14)


def bars(first, last):
    return range(first, last + 1)


def compose():
    s = Song()

    # ---- Pads, strings and drone: the harmony ------------------------------------------
    def pad_bar(b, vel, count=4, low=50, length=BAR):
        for n in voicing(b, low, count):
            s.add(PAD, b * BAR, length, n, vel)

    def pad_chord_runs(first, last, vel, low=50, count=4):
        """Holds each chord for as long as it lasts (one note-on per chord change)."""
        b = first
        while b <= last:
            e = b
            while e + 1 <= last and PROGRESSION[e + 1] == PROGRESSION[b]:
                e += 1
            for n in voicing(b, low, count):
                s.add(PAD, b * BAR, (e - b + 1) * BAR - 1, n, vel)
            b = e + 1

    pad_chord_runs(2, 19, 70, low=48)
    pad_chord_runs(20, 27, 76)
    for b in bars(28, 43):  # the tunnel: each chord pushed an eighth ahead of the next bar
        for n in voicing(b, 53, 4):
            s.add(PAD, b * BAR - (4 if b > 28 else 0), 28, n, 72)
    pad_chord_runs(44, 51, 82, low=52, count=5)
    pad_chord_runs(52, 59, 78)
    for b in bars(60, 67):
        for n in voicing(b, 55, 4):
            s.add(PAD, b * BAR, 14, n, 84)
            s.add(PAD, b * BAR + 16, 14, n, 76)
    s.add(PAD, 2172, 1, 0, 1) if False else None
    for n in voicing(68, 50, 5):
        s.add(PAD, 68 * BAR, 4 * BAR - 6, n, 64)
    pad_chord_runs(72, 113, 66, low=52)

    def strings_line(first, last, vel, low=60):
        for b in bars(first, last):
            v = voicing(b, low, 3)
            s.add(STRINGS, b * BAR, BAR - 1, v[0], vel)
            s.add(STRINGS, b * BAR, BAR - 1, v[2], vel - 8)

    strings_line(12, 19, 58, low=57)
    strings_line(36, 43, 66)
    strings_line(48, 51, 70)
    strings_line(56, 59, 74)
    strings_line(64, 67, 84, low=64)
    strings_line(85, 107, 60)

    for b0, b1, n in [(0, 19, "D2"), (44, 51, "F2"), (108, 114, "D2")]:
        length = (b1 - b0 + 1) * BAR - (24 if b1 == 114 else 2)
        s.add(DRONE, b0 * BAR, length, note(n), 84)
        s.add(DRONE, b0 * BAR, length, note(n) + 7, 64)
    for b0 in (68, 70):
        s.add(DRONE, b0 * BAR, 2 * BAR - 2, note("G1"), 70)

    # ---- Bass ----------------------------------------------------------------------------
    def bass_root(b):
        return nearest(root_pc(b), 38)

    for b in bars(22, 27):  # star: half-time roots
        r = bass_root(b)
        s.add(BASS, b * BAR, 10, r, 104)
        s.add(BASS, b * BAR + 14, 4, r, 84)
        s.add(BASS, b * BAR + 20, 10, r + 12 if b % 2 else r, 92)
    for b in bars(28, 43):  # tunnel: driving eighths on the offbeats with octave jumps
        r = bass_root(b)
        for i in range(8):
            t = b * BAR + i * 4
            if i % 2 == 0:
                s.add(BASS, t, 2, r, 80)
            else:
                s.add(BASS, t, 3, r + (12 if i == 7 else 0), 112)
    for b in bars(52, 59):  # foam: A pedal in eighths, louder as it builds
        for i in range(8):
            s.add(BASS, b * BAR + i * 4, 3, note("A1"), 70 + (b - 52) * 6 + (8 if i % 2 else 0))
    for b in bars(60, 67):  # cave and climax: sixteenths
        r = bass_root(b)
        for i in range(16):
            t = b * BAR + i * 2
            n = r + (12 if i in (6, 14) else 0) + (7 if i == 11 else 0)
            s.add(BASS, t, 1.6, n, 118 if i % 4 == 2 else 92)
    for b in bars(85, 107):  # closing: long roots and a walk to the next chord
        r = bass_root(b)
        s.add(BASS, b * BAR, 22, r, 88)
        nxt = bass_root(b + 1)
        step = r + (2 if nxt > r else -2)
        if step % 12 not in SCALE:
            step += 1 if nxt > r else -1
        s.add(BASS, b * BAR + 24, 6, step, 70)
    s.add(BASS, 2300, 4 * BAR, note("F1"), 96)
    for b in bars(108, 111):
        s.add(BASS, b * BAR, BAR - 2, bass_root(b), 82)

    # ---- Drums ---------------------------------------------------------------------------
    def kick_bar(b, pattern, vel=118):
        for i in pattern:
            s.add(KICK, b * BAR + i * STEP, 2, KICK_NOTE, vel - (10 if i % 4 else 0))

    for b in bars(22, 27):
        kick_bar(b, [0, 10])
    for b in bars(28, 43):
        kick_bar(b, [0, 4, 8, 12] + ([14] if b % 4 == 3 else []))
    for b in bars(56, 58):
        kick_bar(b, [0, 4, 8, 12])
    kick_bar(59, [0, 2, 4, 6, 8, 10, 12, 13, 14, 15])
    for b in bars(60, 67):
        kick_bar(b, [0, 4, 8, 12, 14] if b % 2 else [0, 4, 8, 11, 12])
    for b in bars(85, 106):
        kick_bar(b, [0, 10] if b % 4 != 3 else [0, 6, 10], vel=100)

    for b in bars(22, 27):
        s.add(SNARE, b * BAR + 16, 2, CLAP_NOTE, 100)
    for b in bars(28, 43):
        for i in (4, 12):
            s.add(SNARE, b * BAR + i * STEP, 2, SNARE_NOTE, 112)
        if b % 2:
            s.add(SNARE, b * BAR + 15 * STEP, 1, SNARE_NOTE, 56)  # ghost
        if b % 8 == 3:
            s.add(SNARE, b * BAR + 7 * STEP, 1, SNARE_NOTE, 48)
    # The build: quarters, eighths, sixteenths, then thirty-seconds, rising.
    for b in bars(52, 59):
        stage = (b - 52) // 2
        every = [8, 4, 2, 1][stage]
        for t in range(0, BAR, every):
            v = 44 + (b - 52) * 9 + t // 4
            s.add(SNARE, b * BAR + t, 1, SNARE_NOTE, v)
    for b in bars(60, 67):
        for i in (4, 12):
            s.add(SNARE, b * BAR + i * STEP, 2, SNARE_NOTE, 116)
            s.add(SNARE, b * BAR + i * STEP, 2, CLAP_NOTE, 90)
        s.add(SNARE, b * BAR + 14 * STEP + 1, 1, SNARE_NOTE, 52)
    for b in bars(85, 106):
        s.add(SNARE, b * BAR + 16, 2, CLAP_NOTE, 84)

    def hats(b, sixteenths, vel=80, opens=(2, 6, 10, 14)):
        for i in range(16):
            if i % 2 == 1 and not sixteenths:
                continue
            if i in opens:
                s.add(HATS, b * BAR + i * STEP, 3, HAT_OPEN, vel)
            else:
                accent = 12 if i % 4 == 2 else 0
                s.add(HATS, b * BAR + i * STEP, 1, HAT_CLOSED, vel - 22 + accent)

    for b in bars(24, 27):
        hats(b, False, 64, opens=())
    for b in bars(28, 43):
        hats(b, True, 84 if b >= 36 else 74)
    for b in bars(54, 59):
        hats(b, b >= 56, 70 + (b - 54) * 4, opens=(2, 6, 10, 14) if b >= 58 else ())
    for b in bars(60, 67):
        hats(b, True, 90)
    for b in bars(76, 106):
        hats(b, b >= 97, 58 if b >= 85 else 50, opens=(6, 14) if b >= 97 else ())
    for b in bars(52, 53):
        hats(b, True, 56, opens=())

    # Toms and rims: a syncopated figure every other bar, and fills into sections.
    def perc_figure(b, vel):
        for i, n in [(3, RIM), (6, TOM_LOW + 5), (11, RIM), (13, TOM_LOW)]:
            s.add(PERC, b * BAR + i * STEP, 2, n, vel)

    for b in bars(29, 43):
        if b % 2:
            perc_figure(b, 84)
    for b in bars(60, 67):
        perc_figure(b, 96)
    for b in (27, 43, 63):
        for i, n in enumerate([TOM_LOW + 9, TOM_LOW + 7, TOM_LOW + 5, TOM_LOW + 3,
                               TOM_LOW + 2, TOM_LOW, TOM_LOW - 2, TOM_LOW - 4]):
            s.add(PERC, b * BAR + 16 + i * STEP, 2, n, 70 + i * 5)
    for b in bars(97, 106):
        s.add(PERC, b * BAR + 3 * STEP, 2, RIM, 62)
        s.add(PERC, b * BAR + 11 * STEP, 2, RIM, 54)

    # ---- Arpeggio, lead, bells, chimes ---------------------------------------------------
    def arp_bar(b, step, pattern, low, vel, length=None):
        tones = voicing(b, low, 4)
        tones = tones + [tones[0] + 12]
        for i in range(BAR // step):
            n = tones[pattern[i % len(pattern)]]
            accent = 14 if (i * step) % BEAT == 0 else 0
            s.add(ARP, b * BAR + i * step, length or step * 0.8, n, vel + accent)

    up = [0, 1, 2, 3, 4, 3, 2, 1]
    weave = [0, 2, 1, 3, 2, 4, 3, 1]
    for b in bars(20, 27):
        arp_bar(b, 4, up, 62, 62)
    for b in bars(28, 43):
        arp_bar(b, 2, weave if b >= 36 else up, 62, 66)
    for b in bars(48, 51):
        arp_bar(b, 4, up, 67, 50, length=6)
    for b in bars(54, 59):
        arp_bar(b, 2, up, 62, 52 + (b - 54) * 6)
    for b in bars(60, 67):
        arp_bar(b, 2, weave, 64, 74)
    for b in bars(85, 107):
        arp_bar(b, 4, weave if b >= 97 else up, 65, 50 if b >= 97 else 44, length=5)

    # The motif: stated in the star, answered in the tunnel, slowed in the breakdown, cut up
    # in the build, in thirds at the climax, in major on bells at the close.
    play_motif(s, LEAD, MOTIF_A, 22 * BAR, vel=84)
    play_motif(s, LEAD, MOTIF_B, 24 * BAR, vel=88)
    play_motif(s, LEAD, MOTIF_A, 26 * BAR, vel=90, shift=0)
    for b0, m in [(36, MOTIF_A), (38, MOTIF_B), (40, MOTIF_C), (42, MOTIF_B)]:
        play_motif(s, LEAD, m, b0 * BAR, vel=100, octave=4 if b0 < 40 else 5, shift=0)
    play_motif(s, BELL, MOTIF_A, 44 * BAR, stretch=2, vel=86, octave=5)
    play_motif(s, BELL, MOTIF_B, 48 * BAR, stretch=2, vel=80, octave=5)
    for b in bars(52, 58):  # the head of the motif, a step higher every bar
        for start, length, d in MOTIF_A[:3]:
            s.add(LEAD, b * BAR + start, length * 0.9, degree(d + (b - 52), 4), 70 + (b - 52) * 6)
    for b0, m in [(64, MOTIF_A), (66, MOTIF_C)]:
        play_motif(s, LEAD, m, b0 * BAR, vel=112, octave=5, harmony=(STRINGS, -2))
    play_motif(s, LEAD, MOTIF_B, 60 * BAR, vel=104, octave=5)
    # The close: the motif a third higher (in F major) on bells, then on lead, then the echo.
    for b0, m, ch, v in [(76, MOTIF_A, BELL, 84), (80, MOTIF_B, BELL, 80), (89, MOTIF_A, LEAD, 78),
                         (91, MOTIF_B, LEAD, 78), (93, MOTIF_C, LEAD, 82), (95, MOTIF_B, LEAD, 76),
                         (100, MOTIF_A, BELL, 80), (102, MOTIF_C, BELL, 80), (104, MOTIF_B, BELL, 76),
                         (108, MOTIF_A, BELL, 70)]:
        play_motif(s, ch, m, b0 * BAR, vel=v, octave=5 if ch == BELL else 4, shift=2)
    for b in bars(72, 75):  # the title: a bell arpeggio rising out of the flash
        for i, n in enumerate(voicing(b, 65, 4)):
            s.add(BELL, b * BAR + i * 6, 12, n, 72 - i * 4)

    # Chimes: plain notes in the opening, gate controllers in the pause and in the coda.
    for t, n in [(40, "A5"), (104, "F5"), (168, "E5"), (232, "D5"), (296, "C6"), (360, "A5"),
                 (424, "G5"), (488, "F5"), (552, "E5"), (616, "A5")]:
        s.add(CHIME, t, 16, note(n), 60)
    gates = [(2176, 121, 90), (2188, 117, 80), (2200, 119, 76), (2212, 114, 70),
             (2232, 121, 72), (2244, 124, 66), (2262, 117, 60), (2280, 114, 56),
             (3460, 117, 60), (3476, 121, 58), (3492, 124, 56), (3524, 119, 54), (3556, 114, 52)]
    for t, ctl, v in gates:
        s.cc(CHIME, ctl, t, v)
        s.cc(CHIME, ctl, t + 10, 0)

    # ---- Risers, atmosphere -----------------------------------------------------------------
    for t, n, v in [(19 * BAR, RISE_1BAR, 80), (27 * BAR, RISE_1BAR, 84), (42 * BAR, RISE_2BAR, 90),
                    (56 * BAR, RISE_4BAR, 96), (59 * BAR, RISE_1BAR, 100), (62 * BAR, RISE_2BAR, 96),
                    (83 * BAR, RISE_2BAR, 70), (96 * BAR, RISE_1BAR, 66)]:
        length = {RISE_1BAR: 1, RISE_2BAR: 2, RISE_4BAR: 4}[n] * BAR
        s.add(RISER, t - 4, length, n, v)  # peaks on the half-beat pickup
    for t in (1402, 2172, 2300):
        s.add(RISER, t, 24, FALL, 96)
    # Build swells peaking on the foam's flashes.
    for f in (1727, 1789, 1853):
        s.add(RISER, f - 32, 32, RISE_1BAR, 76)

    for b0, b1, n in [(0, 19, "A3"), (0, 19, "D4"), (44, 51, "C4"), (68, 71, "D4"),
                      (108, 114, "A3"), (72, 84, "F3")]:
        length = (b1 - b0 + 1) * BAR - (30 if b1 == 114 else 2)
        s.add(ATMOS, b0 * BAR + (6 if b0 == 0 else 0), length, note(n), 90)

    # ---- Accents on the flashes ---------------------------------------------------------
    def section_of(t):
        for name, a, e, _, _ in SECTIONS:
            if a <= t < e:
                return name
        return SECTIONS[-1][0]

    for f in FLASHES:
        sec = section_of(f)
        on_grid = f % STEP == 0
        if sec == "opening":
            s.add(IMPACT, f, 12, BOOM, 100 + (f * 7) % 24)
            s.add(IMPACT, f, 8, CRASH, 64 + (f * 5) % 20)
        elif sec in ("tunnel",):
            s.add(IMPACT, f, 8, CRASH, 96 if f % 16 in (4, 5, 6) else 80)
            if on_grid:
                s.add(STAB, f, 3, voicing(f // BAR, 62, 1)[0], 90)
        elif sec in ("cave", "gyroid"):
            s.add(IMPACT, f, 8, CRASH if f < 2150 else ZAP, 104)
            for n in voicing(f // BAR, 60, 4):
                s.add(STAB, f, 4, n, 104)
        else:  # section starts, the foam's flashes, the closing flash
            s.add(IMPACT, f, 16, BOOM, 118)
            s.add(IMPACT, f, 16, CRASH, 100)
            for n in voicing(max(f, f + 4) // BAR if f % BAR > 24 else f // BAR, 60, 4):
                s.add(STAB, f, 6, n, 110)
    s.add(IMPACT, FINAL_BLINK, 40, BOOM, 96)
    for n in voicing(113, 62, 4):
        s.add(BELL, FINAL_BLINK, 40, n, 84)
    s.add(PAD, FINAL_BLINK, 36, note("D3"), 70)

    # ---- Automation: channel 0, controller 1 opens the pads' filter; 2 is the pump -------
    s.ramp(PAD, 1, 0, 600, 20, 62, every=8)
    s.ramp(PAD, 1, 636, 890, 56, 78, every=8)
    s.ramp(PAD, 1, 892, 1400, 70, 96, every=8)
    s.ramp(PAD, 1, 1402, 1656, 40, 70, every=8)
    s.ramp(PAD, 1, 1661, 1912, 30, 118, every=2)
    s.ramp(PAD, 1, 1916, 2170, 110, 124, every=8)
    s.ramp(PAD, 1, 2172, 2296, 100, 36, every=4)
    s.ramp(PAD, 1, 2300, 3640, 58, 80, every=16)
    for t0, t1, depth in [(0, 892, 0), (892, 1402, 84), (1402, 1661, 0), (1661, 1916, 40),
                          (1916, 2172, 100), (2172, 3679, 0)]:
        s.cc(PAD, 2, t0, depth)
    s.tidy()
    return s


# ---- Patch model ----------------------------------------------------------------------------

TYPES = {
    "Multiply": 0, "ChannelOutput": 1, "Sum": 2, "VoicePool": 3, "VoiceOutput": 4, "Envelope": 5,
    "Lfo": 6, "Oscillator": 7, "Noise": 8, "BiquadFilter": 9, "Panner": 13, "Add": 17,
    "Crossfade": 20, "ChannelSelect": 22, "EnvelopeActive": 27, "Controller": 29, "Shaper": 30,
    "ChannelBlend": 31, "Delay": 32, "EchoDelay": 33, "DcBlocker": 34, "RandomValue": 35,
    "Reverb": 36, "GraphicEq": 37, "StateVariableFilter": 43, "Negate": 45, "SampleHold": 55,
    "ThreeBandEq": 58, "VoiceIncrement": 65, "VoiceNote": 66, "VoiceVelocity": 67,
    "VoiceTrigger": 68, "VoiceGate": 69,
}
PARAM_WORDS = {3: 2, 5: 1, 6: 1, 7: 1, 9: 1, 22: 1, 29: 1, 30: 1, 32: 1, 33: 1, 43: 1, 55: 1}

# Parameter-word flags.
SINE, SAW, SQUARE, TRIANGLE, TWO_TRIANGLES, TWO_PULSES, RANDOM_HARMONIC = 0, 1, 2, 3, 5, 6, 7
KEYTRACK, RANDOM_PHASE = 0x800, 0x1000
LFO_BIPOLAR, LFO_SYNC = 0x200, 0x800
ENV_VOICE, ENV_EXP = 0x30, 0x40
LOWPASS, HIGHPASS, BANDPASS, BANDPASS_PEAK, NOTCH, LOW_SHELF = 0, 1, 2, 3, 4, 7
VOICES_8, VOICES_16 = 3 << 13, 2 << 13


def unison(n):
    return (n - 1) << 8


class Node:
    def __init__(self, name, type_name, inputs, params, shared):
        self.name, self.type, self.inputs, self.params, self.shared = name, type_name, inputs, params, shared
        assert len(params) == PARAM_WORDS.get(TYPES[type_name], 0), (name, type_name, params)
        assert len(inputs) <= 16, name


class Patch:
    def __init__(self):
        self.nodes = {}
        self.order = []

    def add(self, name, type_name, inputs, params=(), shared=False):
        assert name not in self.nodes, name
        self.nodes[name] = Node(name, type_name, list(inputs), list(params), shared)
        self.order.append(name)
        return name


def q(x):
    """A control value rounded to 1/128 (so constants pool)."""
    return round(x * 128) / 128


def build_patch():
    p = Patch()
    S = True  # shared

    def env(name, a, d, s, r, gain, flags=ENV_VOICE | ENV_EXP):
        return p.add(name, "Envelope", [0.0, 0.0, a, d, s, r, gain], [flags])

    def voice(name, signal, amp):
        p.add(name, "VoiceOutput", [signal, amp, amp + ".on"])
        return p.add(amp + ".on", "EnvelopeActive", [amp])

    def pool(name, template, low, high, flags):
        return p.add(name, "VoicePool", [template, 0.0, 0.0, 0.0], [low | high << 8, flags], shared=S)

    def velocity(prefix, scale=1.0):
        return p.add(prefix + ".vel", "VoiceVelocity", [scale])

    # Shared modulators.
    p.add("ctl.cutoff", "Controller", [1.0], [1], shared=S)                   # channel 0, ctl 1
    p.add("ctl.pump", "Controller", [1.0], [2], shared=S)                     # channel 0, ctl 2
    p.add("lfo.slow", "Lfo", [q(0.36), 0.0, 0.5, 1.0], [TRIANGLE], shared=S)  # ~0.2 Hz, 0..1
    p.add("lfo.vibrato", "Lfo", [q(0.62), 0.0, 0.5, 0.00012], [SINE | LFO_BIPOLAR], shared=S)
    p.add("lfo.beat", "Lfo", [0.5, 0.0, 1.0, 1.0], [SAW | LFO_SYNC], shared=S)   # one ramp a beat
    p.add("lfo.sixteenth", "Lfo", [q(0.5 + 24 / 128), 0.0, 0.5, 1.0], [SQUARE | LFO_SYNC], shared=S)
    p.add("noise.shared", "Noise", [0.0, 1.0], shared=S)
    p.add("sh.steps", "SampleHold", ["noise.shared", "lfo.sixteenth"], [0x10], shared=S)
    # The pump: 1 between beats, dipping on each beat by the controlled depth.
    p.add("pump.depth", "Multiply", ["ctl.pump", q(0.55)], shared=S)
    p.add("pump.curve", "Crossfade", [1.0, "lfo.beat", "pump.depth"], shared=S)

    # ---- Channel 0: pad. Unison saws, state-variable low-pass opened by controller 1.
    p.add("pad.osc", "Oscillator", [0.0, 0.0, 1.0, 0.0, (-0.0625, 0.0625), q(0.3), q(0.3)],
          [SAW | unison(2) | KEYTRACK | RANDOM_PHASE])
    p.add("pad.cut.a", "Multiply", ["ctl.cutoff", q(0.46)], shared=S)
    p.add("pad.cut.b", "Multiply", ["lfo.slow", q(0.06)], shared=S)
    p.add("pad.cut.c", "Add", ["pad.cut.a", "pad.cut.b"], shared=S)
    p.add("pad.cut", "Add", ["pad.cut.c", q(0.36)], shared=S)
    p.add("pad.svf", "StateVariableFilter", ["pad.osc", "pad.cut", q(0.3)], [1])
    p.add("pad.pan.r", "RandomValue", [q(0.3)])
    p.add("pad.pan", "Add", ["pad.pan.r", 0.5])
    p.add("pad.panned", "Panner", ["pad.svf", "pad.pan"])
    env("pad.env", q(0.36), q(0.5), q(0.8), q(0.3), velocity("pad"))
    voice("pad.voice", "pad.panned", "pad.env")
    pool("pad.pool", "pad.voice", 24, 96, VOICES_16)

    # ---- Channel 1: bass. Detuned saw and a sine an octave down, low-pass with its own sweep,
    # saturated and narrowed to near mono.
    p.add("bass.saw", "Oscillator", [0.0, 0.0, 1.0, 0.0, (-0.0625, 0.0625), q(0.35), 0.0],
          [SAW | KEYTRACK])
    p.add("bass.sub", "Oscillator", [0.0, 0.0, 1.0, -0.09375, 0.0, q(0.5), 0.0], [SINE | KEYTRACK])
    p.add("bass.mix", "Add", ["bass.saw", "bass.sub"])
    env("bass.fenv", 0.0, q(0.26), 0.0, q(0.1), 1.0)
    p.add("bass.fmod", "Multiply", ["bass.fenv", q(0.24)])
    p.add("bass.cut", "Add", ["bass.fmod", q(0.4)])
    p.add("bass.lp", "BiquadFilter", ["bass.mix", "bass.cut", q(0.1), 0.0], [LOWPASS])
    p.add("bass.drive", "Shaper", ["bass.lp", q(0.2), q(0.7)], [0])
    env("bass.env", q(0.04), q(0.3), q(0.6), q(0.12), velocity("bass"))
    voice("bass.voice", "bass.drive", "bass.env")
    pool("bass.pool", "bass.voice", 24, 60, VOICES_8)

    # ---- Channel 2: kick. A sine swept down from above by a fast envelope, folded a little.
    env("kick.penv", 0.0, q(0.12), 0.0, q(0.1), 1.0)
    p.add("kick.fm", "Multiply", ["kick.penv", q(0.02)])
    p.add("kick.osc", "Oscillator", ["kick.fm", 0.0, 1.0, 0.0, 0.0, 1.0, 0.0], [SINE | KEYTRACK])
    p.add("kick.shape", "Shaper", ["kick.osc", q(0.12), 0.75], [4])
    env("kick.env", 0.0, q(0.34), 0.0, q(0.3), velocity("kick"))
    voice("kick.voice", "kick.shape", "kick.env")
    pool("kick.pool", "kick.voice", 24, 36, VOICES_8)

    # ---- Channel 3: snare and clap. Band-passed noise over a tuned body.
    p.add("snare.noise", "Noise", [0.0, 1.0])
    p.add("snare.bp", "BiquadFilter", ["snare.noise", q(0.74), -0.03125, 0.0], [BANDPASS_PEAK])
    p.add("snare.body", "Oscillator", [0.0, 0.0, 0.5, q(15 / 128), 0.0, q(0.5), 0.0],
          [TRIANGLE | KEYTRACK])
    p.add("snare.mix", "Add", ["snare.bp", "snare.body"])
    env("snare.env", 0.0, q(0.22), 0.0, q(0.2), velocity("snare"))
    voice("snare.voice", "snare.mix", "snare.env")
    pool("snare.pool", "snare.voice", 36, 47, VOICES_8)
    p.add("clap.noise", "Noise", [0.0, 1.0])
    p.add("clap.bp", "BiquadFilter", ["clap.noise", q(0.8), q(0.08), 0.0], [BANDPASS, ])
    p.add("clap.hp", "BiquadFilter", ["clap.bp", q(0.62), 0.0, 0.0], [HIGHPASS])
    env("clap.env", 0.0, q(0.26), 0.0, q(0.2), velocity("clap", 1.5))
    voice("clap.voice", "clap.hp", "clap.env")
    pool("clap.pool", "clap.voice", 48, 59, VOICES_8)

    # ---- Channel 4: hats. High-passed noise, each hit placed at random across the field.
    for name, low, high, decay in [("hatc", 40, 47, 0.16), ("hato", 48, 55, 0.3)]:
        p.add(name + ".noise", "Noise", [0.0, 1.0])
        p.add(name + ".hp", "BiquadFilter", [name + ".noise", q(0.86), q(0.05), 0.0], [HIGHPASS])
        p.add(name + ".pan.r", "RandomValue", [q(0.25)])
        p.add(name + ".pan", "Add", [name + ".pan.r", 0.5])
        p.add(name + ".panned", "Panner", [name + ".hp", name + ".pan"])
        env(name + ".env", 0.0, q(decay), 0.0, q(0.12), velocity(name))
        voice(name + ".voice", name + ".panned", name + ".env")
        pool(name + ".pool", name + ".voice", low, high, VOICES_8)

    # ---- Channel 5: toms panned by pitch, and a rim crushed by sample-and-hold.
    env("tom.penv", 0.0, q(0.1), 0.0, q(0.1), 1.0)
    p.add("tom.fm", "Multiply", ["tom.penv", q(0.006)])
    p.add("tom.osc", "Oscillator", ["tom.fm", 0.0, 1.0, q(12 / 128), 0.0, 1.0, 0.0], [SINE | KEYTRACK])
    p.add("tom.pos", "VoiceNote", [q(2.5)])
    p.add("tom.pan", "Add", ["tom.pos", -0.5])
    p.add("tom.panned", "Panner", ["tom.osc", "tom.pan"])
    env("tom.env", 0.0, q(0.3), 0.0, q(0.2), velocity("tom"))
    voice("tom.voice", "tom.panned", "tom.env")
    pool("tom.pool", "tom.voice", 24, 59, VOICES_8)
    p.add("rim.osc", "Oscillator", [0.0, 0.0, q(0.3), q(24 / 128), 0.0, q(0.6), 0.0], [SQUARE | KEYTRACK])
    p.add("rim.crush", "SampleHold", ["rim.osc", q(0.3125)], [0x40])
    p.add("rim.bp", "BiquadFilter", ["rim.crush", q(0.78), q(0.1), 0.0], [BANDPASS_PEAK])
    p.add("rim.panned", "Panner", ["rim.bp", q(0.7)])
    env("rim.env", 0.0, q(0.14), 0.0, q(0.1), velocity("rim", 1.5))
    voice("rim.voice", "rim.panned", "rim.env")
    pool("rim.pool", "rim.voice", 60, 72, VOICES_8)

    # ---- Channel 6: lead. Pulse and saw crossfaded by the slow LFO, delayed vibrato, low-pass.
    env("lead.vibenv", q(0.5), q(0.5), 1.0, q(0.3), 1.0)
    p.add("lead.vib", "Multiply", ["lfo.vibrato", "lead.vibenv"])
    p.add("lead.sq", "Oscillator", ["lead.vib", 0.0, q(0.3), 0.0, 0.0, q(0.3), 0.0], [SQUARE | KEYTRACK])
    p.add("lead.saw", "Oscillator", ["lead.vib", 0.0, 1.0, 0.0, (-0.125, 0.125), q(0.3), q(0.3)],
          [SAW | unison(2) | KEYTRACK])
    p.add("lead.blend", "Crossfade", ["lead.sq", "lead.saw", "lfo.slow"])
    env("lead.fenv", q(0.06), q(0.4), q(0.3), q(0.2), 1.0)
    p.add("lead.fmod", "Multiply", ["lead.fenv", q(0.22)])
    p.add("lead.cut", "Add", ["lead.fmod", q(0.58)])
    p.add("lead.lp", "BiquadFilter", ["lead.blend", "lead.cut", q(0.06), 0.0], [LOWPASS])
    env("lead.env", q(0.05), q(0.4), q(0.7), q(0.26), velocity("lead"))
    voice("lead.voice", "lead.lp", "lead.env")
    pool("lead.pool", "lead.voice", 48, 100, VOICES_8)

    # ---- Channel 7: arpeggio. Ramped pulses, cutoff stepped at random every sixteenth.
    p.add("arp.osc", "Oscillator", [0.0, q(0.25), q(0.3), 0.0, 0.0, q(0.4), 0.0], [TWO_PULSES | KEYTRACK])
    p.add("arp.rnd", "Multiply", ["sh.steps", q(0.12)], shared=S)
    p.add("arp.base", "Add", ["arp.rnd", q(0.6)], shared=S)
    env("arp.fenv", 0.0, q(0.2), 0.0, q(0.1), 1.0)
    p.add("arp.fmod", "Multiply", ["arp.fenv", q(0.2)])
    p.add("arp.cut", "Add", ["arp.base", "arp.fmod"])
    p.add("arp.lp", "BiquadFilter", ["arp.osc", "arp.cut", q(0.16), 0.0], [LOWPASS])
    p.add("arp.pan.r", "RandomValue", [q(0.35)])
    p.add("arp.pan", "Add", ["arp.pan.r", 0.5])
    p.add("arp.panned", "Panner", ["arp.lp", "arp.pan"])
    env("arp.env", 0.0, q(0.24), 0.0, q(0.14), velocity("arp"))
    voice("arp.voice", "arp.panned", "arp.env")
    pool("arp.pool", "arp.voice", 36, 100, VOICES_8)

    # ---- Channel 8: stabs. Two saws, one phase-inverted and detuned, folded, band-limited.
    p.add("stab.saw", "Oscillator", [0.0, 0.0, 1.0, 0.0, (-0.1875, 0.1875), q(0.3), q(0.5)],
          [SAW | unison(2) | KEYTRACK])
    p.add("stab.oct", "Oscillator", [0.0, 0.0, 1.0, 0.09375, 0.0, q(0.18), 0.0], [SAW | KEYTRACK])
    p.add("stab.inv", "Negate", ["stab.oct"])
    p.add("stab.mix", "Add", ["stab.saw", "stab.inv"])
    p.add("stab.fold", "Shaper", ["stab.mix", q(0.18), 0.75], [4])
    env("stab.fenv", 0.0, q(0.18), 0.0, q(0.1), 1.0)
    p.add("stab.fmod", "Multiply", ["stab.fenv", q(0.25)])
    p.add("stab.cut", "Add", ["stab.fmod", q(0.55)])
    p.add("stab.lp", "BiquadFilter", ["stab.fold", "stab.cut", q(0.05), 0.0], [LOWPASS])
    env("stab.env", 0.0, q(0.34), 0.0, q(0.2), velocity("stab"))
    voice("stab.voice", "stab.lp", "stab.env")
    pool("stab.pool", "stab.voice", 36, 100, VOICES_16)

    # ---- Channel 9: risers (noise swept open over one, two or four bars) and a fall.
    for name, low, high, attack in [("rise1", 36, 47, 0.585), ("rise2", 24, 35, 0.735),
                                    ("rise4", 48, 59, 0.93)]:
        env(name + ".env", q(attack), q(0.1), 0.0, q(0.22), velocity(name), flags=ENV_VOICE)
        p.add(name + ".noise", "Noise", [q(0.5), 1.0])
        p.add(name + ".sweep", "Multiply", [name + ".env", q(0.5)])
        p.add(name + ".cut", "Add", [name + ".sweep", q(0.4)])
        p.add(name + ".bp", "BiquadFilter", [name + ".noise", name + ".cut", q(0.15), 0.0], [BANDPASS])
        voice(name + ".voice", name + ".bp", name + ".env")
        pool(name + ".pool", name + ".voice", low, high, VOICES_8)
    env("fall.env", 0.0, q(0.55), 0.0, q(0.4), velocity("fall"))
    p.add("fall.fm", "Multiply", ["fall.env", q(0.01)])
    p.add("fall.osc", "Oscillator", ["fall.fm", 0.0, q(0.08), 0.0, 0.0, q(0.4), 0.0],
          [RANDOM_HARMONIC | KEYTRACK])
    voice("fall.voice", "fall.osc", "fall.env")
    pool("fall.pool", "fall.voice", 60, 72, VOICES_8)

    # ---- Channel 10: atmosphere. Pink noise through a resonant band-pass at the note's pitch,
    # breathing with the slow LFO; coloured by the graphic equaliser on the channel.
    p.add("atmos.noise", "Noise", [1.0, 1.0])
    p.add("atmos.bp", "StateVariableFilter", ["atmos.noise", 0.0, q(0.9)], [4 | 0x80])
    p.add("atmos.breath", "Multiply", ["atmos.bp", "lfo.slow"])
    env("atmos.env", q(0.72), q(0.5), 1.0, q(0.8), velocity("atmos"))
    voice("atmos.voice", "atmos.breath", "atmos.env")
    pool("atmos.pool", "atmos.voice", 24, 96, VOICES_8)

    # ---- Channel 11: bells. A pulse-width sine and two triangles, FM from an inharmonic sine.
    p.add("bell.mod", "Oscillator", [0.0, 0.0, 1.0, q(21.69 / 128), 0.0, 1.0, 0.0], [SINE | KEYTRACK])
    p.add("bell.mdepth", "Multiply", ["bell.mod", "bell.env"])
    p.add("bell.fm", "Multiply", ["bell.mdepth", q(0.03)])
    p.add("bell.tone", "Oscillator", ["bell.fm", 0.0, q(0.7), 0.0, 0.0, q(0.5), 0.0], [SINE | KEYTRACK])
    p.add("bell.pan.r", "RandomValue", [q(0.3)])
    p.add("bell.pan", "Add", ["bell.pan.r", 0.5])
    p.add("bell.panned", "Panner", ["bell.tone", "bell.pan"])
    env("bell.env", 0.0, q(0.56), 0.0, q(0.4), velocity("bell"))
    voice("bell.voice", "bell.panned", "bell.env")
    pool("bell.pool", "bell.voice", 48, 100, VOICES_8)

    # ---- Channel 12: impacts. A boom swept down from far above, a stereo noise crash, a zap.
    env("boom.penv", 0.0, q(0.2), 0.0, q(0.2), 1.0)
    p.add("boom.fm", "Multiply", ["boom.penv", q(0.04)])
    p.add("boom.osc", "Oscillator", ["boom.fm", 0.0, 1.0, 0.0, 0.0, 1.0, 0.0], [SINE | KEYTRACK])
    p.add("boom.shape", "Shaper", ["boom.osc", q(0.4), q(0.72)], [0])
    env("boom.env", 0.0, q(0.55), 0.0, q(0.4), velocity("boom"))
    voice("boom.voice", "boom.shape", "boom.env")
    pool("boom.pool", "boom.voice", 24, 47, VOICES_8)
    p.add("crash.noise", "Noise", [0.0, 1.0])
    p.add("crash.hp", "BiquadFilter", ["crash.noise", q(0.7), 0.0, 0.0], [HIGHPASS])
    p.add("crash.notch", "BiquadFilter", ["crash.hp", q(0.84), 0.0, 0.0], [NOTCH])
    env("crash.env", 0.0, q(0.58), 0.0, q(0.5), velocity("crash"))
    voice("crash.voice", "crash.notch", "crash.env")
    pool("crash.pool", "crash.voice", 48, 71, VOICES_8)
    p.add("zap.osc", "Oscillator", [0.0, 0.0, q(0.3), 0.0, 0.0, q(0.5), 0.0], [RANDOM_HARMONIC | KEYTRACK])
    p.add("zap.shelf", "BiquadFilter", ["zap.osc", q(0.5), 0.0, q(0.55)], [LOW_SHELF])
    env("zap.env", 0.0, q(0.45), 0.0, q(0.3), velocity("zap"))
    voice("zap.voice", "zap.shelf", "zap.env")
    pool("zap.pool", "zap.voice", 72, 100, VOICES_8)

    # ---- Channel 13: strings. Four detuned saws, two low-pass sections, slow envelope.
    p.add("str.osc", "Oscillator", [0.0, 0.0, 1.0, 0.0, (-0.09375, 0.09375), q(0.25), q(0.35)],
          [SAW | unison(2) | KEYTRACK | RANDOM_PHASE])
    p.add("str.lp", "BiquadFilter", ["str.osc", q(0.62), 0.0, 0.0], [LOWPASS])
    env("str.env", q(0.44), q(0.5), q(0.85), q(0.42), velocity("str"))
    voice("str.voice", "str.lp", "str.env")
    pool("str.pool", "str.voice", 36, 100, VOICES_16)

    # ---- Channel 14: chimes, played by notes and by the gate controllers 112-127.
    p.add("chime.osc", "Oscillator", [0.0, 0.0, 0.5, 0.09375, 0.0, q(0.5), 0.0], [SINE | KEYTRACK])
    p.add("chime.pan.r", "RandomValue", [q(0.4)])
    p.add("chime.pan", "Add", ["chime.pan.r", 0.5])
    p.add("chime.panned", "Panner", ["chime.osc", "chime.pan"])
    env("chime.env", 0.0, q(0.5), 0.0, q(0.4), velocity("chime"))
    voice("chime.voice", "chime.panned", "chime.env")
    pool("chime.pool", "chime.voice", 48, 100, VOICES_8)

    # ---- Channel 15: drone. Two triangles whose offset the slow LFO moves, low-passed.
    p.add("drone.phase", "Multiply", ["lfo.slow", q(0.4)], shared=S)
    p.add("drone.osc", "Oscillator", [0.0, "drone.phase", 0.5, 0.0, (-0.03125, 0.03125), q(0.3), 0.0],
          [TWO_TRIANGLES | KEYTRACK])
    p.add("drone.lp", "BiquadFilter", ["drone.osc", q(0.42), 0.0, 0.0], [LOWPASS])
    env("drone.env", q(0.8), q(0.5), 1.0, q(0.7), velocity("drone"))
    voice("drone.voice", "drone.lp", "drone.env")
    pool("drone.pool", "drone.voice", 12, 60, VOICES_8)

    # ---- Channels: routing sums, inserts, outputs --------------------------------------------
    pools = {
        PAD: ["pad.pool"], BASS: ["bass.pool"], KICK: ["kick.pool"], SNARE: ["snare.pool", "clap.pool"],
        HATS: ["hatc.pool", "hato.pool"], PERC: ["tom.pool", "rim.pool"], LEAD: ["lead.pool"],
        ARP: ["arp.pool"], STAB: ["stab.pool"], RISER: ["rise2.pool", "rise1.pool", "rise4.pool", "fall.pool"],
        ATMOS: ["atmos.pool"], BELL: ["bell.pool"], IMPACT: ["boom.pool", "crash.pool", "zap.pool"],
        STRINGS: ["str.pool"], CHIME: ["chime.pool"], DRONE: ["drone.pool"],
    }
    # Inserts between a channel's routing sum and its output.
    inserts = {}
    # Bass: narrowed towards mono.
    inserts[BASS] = p.add("bass.narrow", "ChannelBlend", ["route.1", q(0.4)], shared=S)
    # Atmosphere: low end cut away, presence lifted, on the ten-band equaliser.
    inserts[ATMOS] = p.add("atmos.eq", "GraphicEq",
                           ["route.10", 0.0, q(0.5), q(0.66), q(0.75), q(0.78), q(0.8), q(0.8), q(0.78),
                            q(0.72), q(0.66)], shared=S)
    # Strings: a chorus from a delay swept by the slow LFO, mixed half and half.
    p.add("str.sweep", "Multiply", ["lfo.slow", 160.0], shared=S)
    p.add("str.time", "Add", ["str.sweep", 480.0], shared=S)
    p.add("str.delay", "Delay", ["route.13", "str.time"], [4], shared=S)
    inserts[STRINGS] = p.add("str.chorus", "Crossfade", ["route.13", "str.delay", 0.5], shared=S)
    # Risers: the left lane of their stereo noise on both sides, a narrow sweep that the
    # reverb then widens.
    inserts[RISER] = p.add("riser.mono", "ChannelSelect", ["route.9"], [0], shared=S)

    gains = {PAD: 0.4, BASS: 0.5, KICK: 0.6, SNARE: 0.3, HATS: 0.17, PERC: 0.25, LEAD: 0.36,
             ARP: 0.3, STAB: 0.2, RISER: 0.14, ATMOS: 0.1, BELL: 0.3, IMPACT: 0.3,
             STRINGS: 0.36, CHIME: 0.3, DRONE: 0.16}
    # The pads duck on every beat by the depth of controller 2 (a pump in the driving parts).
    p.add("pad.gain", "Multiply", ["pump.curve", q(gains[PAD])], shared=S)
    gains[PAD] = "pad.gain"
    p.add("master", "Multiply", ["master.dc", q(0.625)], shared=S)
    for c in range(16):
        gain = gains[c] if isinstance(gains[c], str) else q(gains[c])
        p.add("out.%d" % c, "ChannelOutput", [inserts.get(c, "route.%d" % c), gain], shared=S)
    for c in range(16):
        p.add("route.%d" % c, "Sum", pools[c], shared=S)

    # Mix: dry channels, an echo and a reverb fed by sends.
    p.add("mix.dry", "Sum", ["out.%d" % c for c in range(16)], shared=S)
    # Sends in groups of one level each: fewer nodes to run every sample.
    p.add("echo.group", "Sum", ["out.%d" % c for c in (LEAD, ARP, BELL, STAB, CHIME)], shared=S)
    p.add("echo.in", "Multiply", ["echo.group", q(0.4)], shared=S)
    p.add("echo", "EchoDelay", ["echo.in", q(14.5 / 32), q(0.42), q(0.35), 1.0], [128], shared=S)
    sends = [("near", (PAD, ARP, PERC, SNARE, LEAD), 0.34), ("far", (STAB, BELL, IMPACT, STRINGS, CHIME, ATMOS, RISER), 0.6)]
    for name, channels, amount in sends:
        p.add("rev.group." + name, "Sum", ["out.%d" % c for c in channels], shared=S)
        p.add("rev.send." + name, "Multiply", ["rev.group." + name, q(amount)], shared=S)
    p.add("echo.to.rev", "Multiply", ["echo", q(0.5)], shared=S)
    p.add("rev.in", "Sum", ["rev.send.near", "rev.send.far", "echo.to.rev"], shared=S)
    p.add("rev", "Reverb", ["rev.in", q(0.3), q(0.72), q(0.45), 1.0, 1.0], shared=S)
    p.add("mix.wet", "Sum", ["echo", "rev"], shared=S)
    p.add("mix.all", "Sum", ["mix.dry", "mix.wet"], shared=S)
    p.add("master.eq", "ThreeBandEq", ["mix.all", q(0.77), q(0.74), q(0.78)], shared=S)
    p.add("master.clip", "Shaper", ["master.eq", q(0.16), 0.75], [0], shared=S)
    p.add("master.dc", "DcBlocker", ["master.clip", 0.99765], shared=S)
    return p


# ---- Binary assembly (the layout of the song and patch blocks) --------------------------------

def assemble_patch(p):
    first = ["master"] + ["out.%d" % c for c in range(16)] + ["route.%d" % c for c in range(16)]
    rest = [n for n in p.order if n not in first]
    order = first + rest
    at, word = {}, 0
    for name in order:
        node = p.nodes[name]
        at[name] = word
        word += 1 + len(node.inputs) + len(node.params)
    assert word <= 1536, "records take %d words" % word
    for c in range(16):
        assert at["out.%d" % c] == 3 * (c + 1)
    assert at["route.0"] == 51
    mono, stereo = [], []

    def const_index(v):
        if isinstance(v, tuple):
            key = (struct.unpack("<f", struct.pack("<f", v[0]))[0], struct.unpack("<f", struct.pack("<f", v[1]))[0])
            if key not in stereo:
                stereo.append(key)
            return 1796 + 4 * stereo.index(key)
        key = struct.unpack("<f", struct.pack("<f", float(v)))[0]
        if key not in mono:
            mono.append(key)
        return 1536 + 2 * mono.index(key)

    words = [0] * 1848
    for name in order:
        node = p.nodes[name]
        w = at[name]
        words[w] = TYPES[node.type] | len(node.inputs) << 8 | (0x8000 if node.shared else 0)
        for k, inp in enumerate(node.inputs):
            words[w + 1 + k] = at[inp] if isinstance(inp, str) else const_index(inp)
        for k, prm in enumerate(node.params):
            words[w + 1 + len(node.inputs) + k] = prm
    assert len(mono) <= 130 and len(stereo) <= 11, (len(mono), len(stereo))
    for i, v in enumerate(mono):
        b = struct.unpack("<I", struct.pack("<f", v))[0]
        words[1536 + 2 * i], words[1537 + 2 * i] = b & 0xFFFF, b >> 16
    for i, (l, r) in enumerate(stereo):
        for j, v in enumerate((l, r)):
            b = struct.unpack("<I", struct.pack("<f", v))[0]
            words[1796 + 4 * i + 2 * j], words[1797 + 4 * i + 2 * j] = b & 0xFFFF, b >> 16
    stats = {"records": len(order), "words": word, "mono": len(mono), "stereo": len(stereo)}
    return struct.pack("<1848H", *words), stats


def streams_of(song):
    """(stream word, planes) in storage order: per channel its note-offs, note-ons, controllers."""
    out = []
    for c in range(16):
        notes = song.notes[c]
        offs = sorted((off, n) for on, off, n, v in notes)
        ons = [(on, n, v) for on, off, n, v in notes]
        out.append((c << 28 | len(offs), [[t & 255 for t, _ in offs], [t >> 8 & 255 for t, _ in offs],
                                           [t >> 16 for t, _ in offs], [n for _, n in offs]]))
        out.append((c << 28 | 1 << 24 | len(ons),
                    [[t & 255 for t, _, _ in ons], [t >> 8 & 255 for t, _, _ in ons],
                     [t >> 16 for t, _, _ in ons], [n for _, n, _ in ons], [v for _, _, v in ons]]))
        for (ch, ctl), events in sorted(song.ctl.items()):
            if ch != c:
                continue
            out.append((c << 28 | 3 << 24 | ctl << 16 | len(events),
                        [[t & 255 for t, _ in events], [t >> 8 & 255 for t, _ in events],
                         [t >> 16 for t, _ in events], [v for _, v in events]]))
    return out


def assemble_song(song):
    area = bytearray()
    for word, planes in streams_of(song):
        area += struct.pack("<I", word)
        for plane in planes:
            area += bytes(plane)
    coded = bytearray(len(area))
    prev = 0
    for i, b in enumerate(area):
        coded[i] = (b - prev) & 255
        prev = b
    return struct.pack("<fiii", TEMPO, SONG_FRAMES, SAMPLES_PER_TICK, len(area)) + bytes(coded) + \
        struct.pack("<I", 0xFFFFFFFF)


def plan(song):
    rows = []
    tonal = [PAD, BASS, LEAD, ARP, STAB, BELL, STRINGS, CHIME, DRONE, ATMOS]
    for name, a, e, picture, music in SECTIONS:
        classes = {}
        for c in tonal:
            for on, _, n, _ in song.notes[c]:
                if seq(a) <= on < seq(e):
                    classes[PITCH_NAMES[n % 12]] = classes.get(PITCH_NAMES[n % 12], 0) + 1
        in_key = sum(v for k, v in classes.items() if PITCH_NAMES.index(k) in SCALE)
        rows.append({"section": name, "ticks": [a, e], "bars": [a / BAR, e / BAR], "picture": picture,
                     "music": music, "flashes": [f for f in FLASHES if a <= f < e],
                     "pitch classes": classes, "in D minor / F major": "%d of %d" % (in_key, sum(classes.values()))})
    accents = []
    for f in FLASHES:
        target = f * SAMPLES_PER_CLOCK / SAMPLES_PER_TICK
        hits = [c for c in ACCENT_CHANNELS for on, _, _, _ in song.notes[c] if abs(on - target) <= 1]
        accents.append({"tick": f, "seq": seq(f), "channels": sorted(set(hits))})
    return {"sections": rows, "accents": accents,
            "notes": {CHANNEL_NAMES[c]: len(song.notes[c]) for c in range(16)},
            "controller_events": {"%d/%d" % k: len(v) for k, v in song.ctl.items()}}


# ---- Sources for the compiler -----------------------------------------------------------------

ROLES = {
    "Multiply": ["signal", "gain"], "VoiceOutput": ["signal", "gain", "active"],
    "Envelope": ["trigger", "gate", "attack", "decay", "sustain", "release", "gain"],
    "Lfo": ["rate", "phase", "width", "amount"],
    "Oscillator": ["fm", "phase", "width", "transpose", "fine", "amplitude", "detune"],
    "Noise": ["colour", "amount"], "BiquadFilter": ["signal", "cutoff", "resonance", "shelf"],
    "Panner": ["signal", "position"], "Add": ["a", "b"], "Crossfade": ["a", "b", "amount"],
    "ChannelSelect": ["signal"], "EnvelopeActive": ["envelope"], "Controller": ["scale"],
    "Shaper": ["signal", "drive", "level"], "ChannelBlend": ["signal", "amount"],
    "Delay": ["signal", "time"], "EchoDelay": ["signal", "time", "feedback", "damping", "mix"],
    "DcBlocker": ["signal", "pole"], "RandomValue": ["range"],
    "Reverb": ["signal", "gain", "room", "damping", "mix", "width"],
    "GraphicEq": ["signal", "hz31", "hz62", "hz125", "hz250", "hz500", "hz1k", "hz2k", "hz4k", "hz8k", "hz16k"],
    "StateVariableFilter": ["signal", "cutoff", "resonance"], "Negate": ["signal"],
    "SampleHold": ["signal", "rate"], "ThreeBandEq": ["signal", "low", "mid", "high"],
    "VoiceIncrement": ["scale"], "VoiceNote": ["scale"], "VoiceVelocity": ["scale"],
    "VoiceTrigger": ["scale"], "VoiceGate": ["scale"],
}
WAVES = ["sine", "saw", "square", "triangle", None, "double_triangle", "double_pulse", "random_harmonic"]
BIQUAD_MODES = ["lowpass", "highpass", "bandpass", "bandpass_peak", "notch", None, None, "lowshelf"]
RESPONSES = {1: "lowpass", 2: "highpass", 3: "notch", 4: "bandpass", 9: "peak"}
CURVES = {0: "saturate", 1: "expand", 4: "sine"}
TIME_MODES = ["tempo", "short", "medium", "long", "samples"]
PITCH_NAMES = ["C", "C#", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "Bb", "B"]


def note_name(n):
    return "%s%d" % (PITCH_NAMES[n % 12], n // 12 - 1)


def fields(node):
    """The parameter word as named fields."""
    if not node.params:
        return []
    w = node.params[0]
    t = node.type
    out = []

    def flag(name, bit):
        if w >> bit & 1:
            out.append((name, "true"))

    if t == "Envelope":
        for name, bit in [("voice_trigger", 4), ("voice_gate", 5), ("exponential", 6), ("level_gain", 7)]:
            flag(name, bit)
    elif t in ("Lfo", "Oscillator"):
        out.append(("wave", '"%s"' % WAVES[w & 0xFF]))
        if t == "Oscillator":
            if (w >> 8 & 7) > 0:
                out.append(("unison", str((w >> 8 & 7) + 1)))
            flag("keytrack", 11)
            flag("random_phase", 12)
        else:
            flag("negative", 8)
            flag("bipolar", 9)
            flag("tempo_sync", 11)
    elif t == "BiquadFilter":
        out.append(("mode", '"%s"' % BIQUAD_MODES[w & 15]))
        flag("squared", 6)
        flag("note_cutoff", 7)
        if w >> 8 & 15:
            out.append(("sections", str(2 * (w >> 8 & 15))))
    elif t == "StateVariableFilter":
        out.append(("response", '"%s"' % RESPONSES[w & 15]))
        flag("squared", 6)
        flag("note_cutoff", 7)
        if w >> 8 & 15:
            out.append(("stages", str(2 * (w >> 8 & 15))))
    elif t == "Shaper":
        out.append(("curve", '"%s"' % CURVES[w]))
    elif t == "ChannelSelect":
        out.append(("lane", '"left"' if w == 0 else '"right"'))
    elif t == "Controller":
        out.append(("controller", str(w & 127)))
        out.append(("channel", str(w >> 7 & 15)))
    elif t in ("Delay", "EchoDelay"):
        out.append(("time_mode", '"%s"' % TIME_MODES[w & 15]))
        if t == "EchoDelay":
            flag("ping_pong", 7)
    elif t == "SampleHold":
        flag("track_hold", 4)
        flag("squared", 6)
        flag("note_cutoff", 7)
    else:
        raise ValueError(node.name)
    return out


def number_text(v):
    f = struct.unpack("<f", struct.pack("<f", float(v)))[0]
    text = repr(f)
    return text if "." in text or "e" in text else text + ".0"


def write_patch_toml(p, path):
    pools = [n for n in p.order if p.nodes[n].type == "VoicePool"]
    # Each pool's instrument: the per-voice nodes reachable from its template.
    member = {}
    instruments = []
    for pool in pools:
        root = p.nodes[pool].inputs[0]
        name = root.split(".")[0]
        seen, stack = [], [root]
        while stack:
            n = stack.pop(0)
            if n in seen:
                continue
            seen.append(n)
            for i in p.nodes[n].inputs:
                if isinstance(i, str) and not p.nodes[i].shared:
                    stack.append(i)
        ordered = [root] + [n for n in p.order if n in seen and n != root]
        for n in ordered:
            member[n] = name
        instruments.append((name, pool, ordered))
    channel_of_route = {"route.%d" % c: CHANNEL_NAMES[c] for c in range(16)}
    channel_of_out = {"out.%d" % c: CHANNEL_NAMES[c] for c in range(16)}

    def ref(name, scope):
        if not isinstance(name, str):
            if isinstance(name, tuple):
                return "[%s, %s]" % (number_text(name[0]), number_text(name[1]))
            return number_text(name)
        if name in channel_of_route:
            return '"%s.pools"' % channel_of_route[name]
        if name in channel_of_out:
            return '"%s"' % channel_of_out[name]
        if name in member:
            assert member[name] == scope, (name, scope)
            return '"%s"' % name.split(".", 1)[1].replace(".", "_")
        return '"%s"' % name.replace(".", "_")

    def node_line(name, scope):
        node = p.nodes[name]
        local = name.split(".", 1)[1].replace(".", "_") if scope else name.replace(".", "_")
        parts = ['type = "%s"' % node.type]
        if node.type == "Sum":
            parts.append("inputs = [%s]" % ", ".join(ref(i, scope) for i in node.inputs))
        else:
            for role, i in zip(ROLES[node.type], node.inputs):
                parts.append("%s = %s" % (role, ref(i, scope)))
        parts += ["%s = %s" % kv for kv in fields(node)]
        return "%s = { %s }" % (local, ", ".join(parts))

    lines = ["# The soundtrack's patch: sixteen channels of instruments and the mix.",
             "# Written by src/music/generate.py --toml src/music; edit the generator, not this file.", ""]
    master = p.nodes["master"]
    lines.append("master = { type = \"Multiply\", signal = %s, gain = %s }" % (ref(master.inputs[0], None), ref(master.inputs[1], None)))
    route_pools = {}
    for c in range(16):
        route_pools[c] = p.nodes["route.%d" % c].inputs
    for c in range(16):
        out = p.nodes["out.%d" % c]
        lines += ["", "[channels.%s]" % CHANNEL_NAMES[c], "number = %d" % c, "volume = %s" % ref(out.inputs[1], None)]
        if out.inputs[0] != "route.%d" % c:
            lines.append("signal = %s" % ref(out.inputs[0], None))
        entries = []
        for pool in route_pools[c]:
            node = p.nodes[pool]
            keys, flags = node.params
            low, high = keys & 255, keys >> 8
            voices = 64 >> (flags >> 13 & 3)
            entries.append('    { instrument = "%s", keys = "%s..%s", voices = %d },' % (
                node.inputs[0].split(".")[0], note_name(low), note_name(high), voices))
        lines += ["pools = ["] + entries + ["]"]
    lines += ["", "[nodes]"]
    skip = {"master"} | set(channel_of_route) | set(channel_of_out)
    for name in p.order:
        node = p.nodes[name]
        if name in skip or name in member or node.type == "VoicePool":
            continue
        assert node.shared, name
        lines.append(node_line(name, None))
    for name, pool, ordered in instruments:
        lines += ["", "[instruments.%s]" % name]
        for n in ordered:
            lines.append(node_line(n, name))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


PATTERN_TICKS_PER_BEAT = 384


def pattern_tick(s):
    """The first pattern tick (384 to the beat) that falls in sequencer tick s."""
    return -(-s * 512 // 441)


def position(k):
    bar, rest = divmod(k, 4 * PATTERN_TICKS_PER_BEAT)
    beat, tick = divmod(rest, PATTERN_TICKS_PER_BEAT)
    return "%d:%d:%d" % (bar + 1, beat + 1, tick)


def write_song_toml(song, path):
    lines = ["# The soundtrack's song: notes per channel and section, and the controller automation.",
             "# Written by src/music/generate.py --toml src/music; edit the generator, not this file.",
             "# Positions count 384 ticks to the beat, so that every event lands on the sequencer",
             "# tick chosen for it (a clock tick of the pictures is 48 of them).", "",
             "tempo = %s" % TEMPO, "ticks_per_beat = %d" % PATTERN_TICKS_PER_BEAT, "length = %d # samples" % SONG_FRAMES,
             "", "[channels]"]
    lines += ["%s = %d" % (CHANNEL_NAMES[c], c) for c in range(16)]
    arrangement = []
    lines += ["", "[patterns]"]
    for c in range(16):
        for name, a, e, _, _ in SECTIONS:
            notes = [n for n in song.notes[c] if seq(a) <= n[0] < (seq(e) if e < 3679 else LAST_SEQ_TICK + 1)]
            if not notes:
                continue
            origin = pattern_tick(notes[0][0])
            tokens, bar = [], None
            for i, (on, off, n, v) in enumerate(notes):
                k_on, k_off = pattern_tick(on), pattern_tick(off)
                this_bar = on * 64 // (SAMPLES_PER_CLOCK * BAR)
                if bar is not None and this_bar != bar:
                    tokens.append("|\n")
                bar = this_bar
                tokens.append("%s:%d@%d&" % (note_name(n), k_off - k_on, v))
                if i + 1 < len(notes):
                    gap = pattern_tick(notes[i + 1][0]) - k_on
                    if gap:
                        tokens.append("r:%d" % gap)
            text = " ".join(tokens).replace(" |\n ", " |\n")
            pname = "%s_%s" % (name, CHANNEL_NAMES[c])
            lines.append('%s = """\n%s"""' % (pname, text + "\n"))
            arrangement.append((origin, CHANNEL_NAMES[c], pname))
    for origin, ch, pname in sorted(arrangement, key=lambda x: (x[1], x[0])):
        lines += ["", "[[arrangement]]", 'at = "%s"' % position(origin), 'channel = "%s"' % ch, 'play = "%s"' % pname]
    for (ch, ctl), events in sorted(song.ctl.items()):
        lines += ["", "[[automation]]", 'channel = "%s"' % CHANNEL_NAMES[ch], "controller = %d" % ctl, "points = ["]
        for k in range(0, len(events), 6):
            lines.append("    " + " ".join('"%s = %d",' % (position(pattern_tick(t)), v) for t, v in events[k:k + 6]))
        lines.append("]")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main(argv):
    song = compose()
    patch = build_patch()
    if "--blobs" in argv:
        out = argv[argv.index("--blobs") + 1]
        os.makedirs(out, exist_ok=True)
        words, stats = assemble_patch(patch)
        with open(os.path.join(out, "patch.bin"), "wb") as f:
            f.write(words)
        with open(os.path.join(out, "song.bin"), "wb") as f:
            f.write(assemble_song(song))
        stats["notes"] = sum(len(v) for v in song.notes.values())
        stats["controller events"] = sum(len(v) for v in song.ctl.values())
        print(json.dumps(stats))
    if "--toml" in argv:
        out = argv[argv.index("--toml") + 1]
        os.makedirs(out, exist_ok=True)
        write_patch_toml(patch, os.path.join(out, "patch.toml"))
        write_song_toml(song, os.path.join(out, "song.toml"))
    if "--plan" in argv:
        print(json.dumps(plan(song), indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
