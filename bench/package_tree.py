#!/usr/bin/env python3
"""Writes the file tree of a benchmark game package, the same for the same arguments.

    package_tree.py <folder> <MiB> <files>

Makes <folder>/game with about <MiB> MiB in <files> files: sizes from a few bytes to
tens of MiB (a few large files, the rest spread evenly over the orders of magnitude
between 8 bytes and 512 KiB), about half of them text that deflates well and half
random bytes that does not, in folders up to four levels below game/.
"""
import os
import random
import sys

MiB = 1 << 20


def folder_names(rng):
    folders = ["game"]
    for top in ["bin", "data", "res", "maps", "sound", "ui", "config", "movies"]:
        folders.append(f"game/{top}")
        for sub in range(rng.randint(1, 4)):
            folders.append(f"game/{top}/part{sub}")
            for deeper in range(rng.randint(0, 3)):
                folders.append(f"game/{top}/part{sub}/set{deeper}")
                if rng.random() < 0.3:
                    folders.append(f"game/{top}/part{sub}/set{deeper}/extra")
    return folders


def file_sizes(rng, total_bytes, count):
    large = [40 * MiB, 24 * MiB, 16 * MiB, 12 * MiB, 8 * MiB][: max(0, min(5, count // 100))]
    small = [int(8 * (512 * 1024 / 8) ** rng.random()) for _ in range(count - len(large))]
    # Scale the small files so that the whole comes near the asked total.
    room = total_bytes - sum(large)
    scale = max(room, 0) / max(sum(small), 1)
    small = [max(1, int(size * scale)) for size in small]
    sizes = large + small
    rng.shuffle(sizes)
    return sizes


def text_pool(rng, size):
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(3000)]
    pieces, length = [], 0
    while length < size:
        line = " ".join(rng.choices(words, k=rng.randint(4, 14))) + ("\r\n" if rng.random() < 0.5 else ". ")
        pieces.append(line)
        length += len(line)
    return "".join(pieces).encode("ascii")[:size]


def main():
    root, mib, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(20240601 + mib * 7919 + count)
    folders = folder_names(rng)
    for folder in folders:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    pool = text_pool(rng, 8 * MiB)
    for index, size in enumerate(file_sizes(rng, mib * MiB, count)):
        folder = rng.choice(folders)
        extension = rng.choice([".dat", ".pak", ".txt", ".ini", ".dll", ".bin", ".lua"])
        path = os.path.join(root, folder, f"f{index:05d}{extension}")
        with open(path, "wb") as out:
            if rng.random() < 0.5:
                while size > 0:
                    start = rng.randrange(len(pool) - 1)
                    piece = pool[start:start + size]
                    out.write(piece)
                    size -= len(piece)
            else:
                out.write(rng.randbytes(size))


if __name__ == "__main__":
    main()
