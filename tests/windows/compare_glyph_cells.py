#!/usr/bin/env python3
"""Compares two glyph atlases written by `quorlax-capture glyphs` (binary PGM, 1024 x 1024, 16 x 16
cells of 64 x 64): every code that has ink in both must keep it inside its own cell, with its top
no higher than the character box 8 pixels below the cell's top (antialiasing may add a pixel or
two), and in the same place on both sides: centres and tops within a few pixels. The faces differ
between systems, so the places are compared, not the pixels.
Exit 0 when they agree, 1 with a line per disagreeing code otherwise."""
import sys

CELL, GRID, CENTRE, BOX_TOP, SLACK = 64, 16, 21, 8, 6


def read_pgm(path):
    header = b"P5\n%d %d\n255\n" % (CELL * GRID, CELL * GRID)
    data = open(path, "rb").read()
    if not data.startswith(header) or len(data) != len(header) + (CELL * GRID) ** 2:
        sys.exit(f"{path}: not the {CELL * GRID} x {CELL * GRID} PGM that quorlax-capture glyphs writes")
    return data[len(header):]


def ink_box(pixels, code):
    """The ink of the cell of `code` as (left, top, right, bottom) in cell pixels, or None."""
    x0, y0 = code % GRID * CELL, code // GRID * CELL
    xs, ys = [], []
    for y in range(CELL):
        row = (y0 + y) * CELL * GRID + x0
        for x in range(CELL):
            if pixels[row + x] > 127:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def main():
    first, second = read_pgm(sys.argv[1]), read_pgm(sys.argv[2])
    faults, compared = [], 0
    # Code 0 is placed by its left edge and the control codes draw nothing or a default box.
    for code in range(33, 256):
        boxes = [ink_box(first, code), ink_box(second, code)]
        if None in boxes:
            continue
        compared += 1
        for box, name in zip(boxes, sys.argv[1:3]):
            left, top, right, bottom = box
            if left == 0 or top == 0 or right == CELL - 1 or bottom == CELL - 1:
                faults.append(f"code {code}: ink {box} of {name} reaches the cell's edge")
            if top < BOX_TOP - 2 or abs((left + right) / 2 - CENTRE) > SLACK + (right - left) / 2:
                faults.append(f"code {code}: ink {box} of {name} is not centred on x {CENTRE} below y {BOX_TOP}")
        (l1, t1, r1, _), (l2, t2, r2, _) = boxes
        if abs((l1 + r1) - (l2 + r2)) / 2 > SLACK or abs(t1 - t2) > SLACK:
            faults.append(f"code {code}: ink {boxes[0]} and {boxes[1]} lie in different places")
    # Letters and digits must be found on both systems.
    for code in list(range(48, 58)) + list(range(65, 91)) + list(range(97, 123)):
        if ink_box(first, code) is None or ink_box(second, code) is None:
            faults.append(f"code {code}: no ink on one side")
    print(f"{compared} codes compared, {len(faults)} faults")
    for fault in faults[:20]:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
