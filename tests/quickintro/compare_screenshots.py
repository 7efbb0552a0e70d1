#!/usr/bin/python3
"""Checks the wizard's screenshots (tools/wizard-screenshots.sh):

    compare_screenshots.py same KEPT-DIR SHOT-DIR
    compare_screenshots.py scaled SHOT-DIR-AT-96 SHOT-DIR FACTOR

"same": every screenshot kept in KEPT-DIR has one of the same name in
SHOT-DIR, of the same size, with every pixel the same. "scaled": every
screenshot at 96 dpi has one in SHOT-DIR whose width and height are FACTOR
times its own, within 2 % (the window's frame and caption, which Windows
draws, need not scale exactly as the client area does).

Prints a line for each difference (how many pixels differ, and where) and a
summary. Exit status: 0 when all match, 1 when any does not, 2 for a wrong
command line.
"""
import sys
from pathlib import Path

from PIL import Image, ImageChops


def pairs(base_dir, shot_dir, problems):
    """Each PNG of base_dir with the one of the same name in shot_dir; a
    missing one is a problem."""
    bases = sorted(Path(base_dir).glob("*.png"))
    if not bases:
        problems.append(f"{base_dir}: no screenshots")
    for base_file in bases:
        shot_file = Path(shot_dir) / base_file.name
        if shot_file.is_file():
            yield base_file, shot_file
        else:
            problems.append(f"{shot_file}: missing")


def differences_same(kept_dir, shot_dir):
    problems = []
    for kept_file, shot_file in pairs(kept_dir, shot_dir, problems):
        expected, actual = Image.open(kept_file).convert("RGB"), Image.open(shot_file).convert("RGB")
        if expected.size != actual.size:
            problems.append(f"{shot_file}: {actual.size[0]} x {actual.size[1]}, not {expected.size[0]} x {expected.size[1]}")
            continue
        difference = ImageChops.difference(expected, actual)
        box = difference.getbbox()
        if box:
            count_differing = sum(1 for pixel in difference.getdata() if pixel != (0, 0, 0))
            problems.append(f"{shot_file}: {count_differing} pixels differ from {kept_file}, within {box}")
    return problems


def differences_scaled(base_dir, shot_dir, factor):
    problems = []
    for base_file, shot_file in pairs(base_dir, shot_dir, problems):
        base, shot = Image.open(base_file).size, Image.open(shot_file).size
        for side, name in ((0, "width"), (1, "height")):
            if abs(shot[side] - factor * base[side]) > 0.02 * factor * base[side]:
                problems.append(f"{shot_file}: {name} {shot[side]}, not {factor} x {base[side]}")
    return problems


def main(argv):
    if len(argv) == 4 and argv[1] == "same":
        problems = differences_same(argv[2], argv[3])
    elif len(argv) == 5 and argv[1] == "scaled":
        problems = differences_scaled(argv[2], argv[3], float(argv[4]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    count = len(list(Path(argv[2]).glob("*.png")))
    for problem in problems:
        print(problem)
    failed = len({problem.split(": ")[0] for problem in problems})
    print(f"{max(count - failed, 0)} of {count} screenshots as they should be ({argv[1]})")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
