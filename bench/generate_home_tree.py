#!/usr/bin/env python3
"""Generates a reproducible home-like tree: FOLDERS folders holding FILES files in all.

Usage: generate_home_tree.py ROOT [FILES] [FOLDERS]
Most files are small (a few KiB, like sources and caches); one in a thousand is a few MiB.
"""
import os
import random
import sys


def main():
    root = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 500_000
    folders = int(sys.argv[3]) if len(sys.argv) > 3 else 50_000
    rng = random.Random(20261206)
    os.makedirs(root, exist_ok=True)

    # A random tree: each new folder hangs below an earlier one, favouring recent ones so the
    # tree gets project-like depth.
    paths, depths = [root], [0]
    for i in range(1, folders):
        parent = max(0, len(paths) - 1 - int(rng.expovariate(1 / 40)))
        if depths[parent] >= 12:
            parent = rng.randrange(min(len(paths), 64))
        path = os.path.join(paths[parent], f"d{i:05}")
        os.mkdir(path)
        paths.append(path)
        depths.append(depths[parent] + 1)

    blob = bytes(rng.getrandbits(8) for _ in range(1 << 16))
    for i in range(files):
        folder = paths[rng.randrange(len(paths))]
        if i % 1000 == 999:
            size = rng.randrange(1 << 20, 4 << 20)
        else:
            size = min(int(rng.expovariate(1 / 3000)), 60000)
        with open(os.path.join(folder, f"f{i:06}.dat"), "wb") as out:
            remaining = size
            while remaining > 0:
                chunk = blob[: min(remaining, len(blob))]
                out.write(chunk)
                remaining -= len(chunk)


if __name__ == "__main__":
    main()
